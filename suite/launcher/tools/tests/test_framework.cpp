// The dialog framework: one dialog per window class, brought forward rather
// than opened twice; closing on a deactivation later than a second after
// activation (as WM_CLOSE: end code 1, the copy not restored); Cancel and
// the Back key putting the copy taken at opening back.
#include <gtest/gtest.h>

#include <string>

#include "ce/testing.h"
#include "settings_logic.h"
#include "test_host.h"
#include "common/dialog_window.h"
#include "tool_logic.h"

namespace tessivo {
namespace {

using test::RunSteps;
using test::TestHost;

// A tool over the empty template 167 that edits `NT`.
class ProbeDialog : public suite::CDialogWindow<CToolLogic, ProbeDialog> {
 public:
  ProbeDialog() : CDialogWindow(125) {}
  UINT TemplateId() const { return 167; }
  BOOL OnInitDialog(HWND hwnd) override {
    SetUpToolWindow(hwnd, {162, true, kToolDialogFlags});
    m_copy = GetToolHost()->Options().NT;
    ++opened;
    return CToolLogic::OnInitDialog(hwnd);
  }
  void OnOK(HWND hwnd, int id) override {
    GetToolHost()->SaveOptions();
    EndDialog(hwnd, id);
  }
  void Cancel(HWND hwnd) override {
    GetToolHost()->Options().NT = m_copy;
    GetToolHost()->SaveOptions();
    EndDialog(hwnd, 0);
  }
  int opened = 0;

 private:
  DWORD m_copy = 0;
};

class Framework : public ::testing::Test {
 protected:
  void TearDown() override { ProbeDialog::DeleteInstance(); }
  TestHost m_host;
};

HWND Probe() { return ProbeDialog::Existing()->Window(); }

TEST_F(Framework, DoneEndsWithItsIdAndTheTitleIsLoaded) {
  RunSteps({[] { PostMessageW(Probe(), WM_COMMAND, kCmdDone, 0); }});
  EXPECT_EQ(ProbeDialog::Instance()->Show(m_host.BarWindow()), kCmdDone);
  EXPECT_STREQ(ProbeDialog::Existing()->Title(), L"Tuneup");
  EXPECT_EQ(ProbeDialog::Existing()->Window(), nullptr);
  EXPECT_EQ(m_host.optionSaves, 1);
}

TEST_F(Framework, CancelAndTheBackKeyPutTheCopyBack) {
  for (bool backKey : {false, true}) {
    m_host.options.NT = 0;
    RunSteps({[] { GetToolHost()->Options().NT = 1; },
              [backKey] {
                if (backKey)
                  PostMessageW(Probe(), WM_HOTKEY, 0, MAKELPARAM(MOD_KEYUP, VK_ESCAPE));
                else
                  PostMessageW(Probe(), WM_COMMAND, kCmdCancel, 0);
              }});
    EXPECT_EQ(ProbeDialog::Instance()->Show(nullptr), 0) << backKey;
    EXPECT_EQ(m_host.options.NT, 0u) << backKey;
    EXPECT_EQ(m_host.saved.NT, 0u) << backKey;
  }
}

TEST_F(Framework, ASecondShowOnlyBringsTheOpenDialogForward) {
  INT_PTR inner = -2;
  RunSteps({[&inner] { inner = ProbeDialog::Instance()->Show(nullptr); },
            [] { PostMessageW(Probe(), WM_COMMAND, kCmdDone, 0); }});
  EXPECT_EQ(ProbeDialog::Instance()->Show(nullptr), kCmdDone);
  EXPECT_EQ(inner, 0);
  EXPECT_EQ(ProbeDialog::Existing()->opened, 1);
}

TEST_F(Framework, DeactivationWithinASecondKeepsTheDialogOpenLaterClosesIt) {
  m_host.options.NT = 0;
  bool openAfterEarly = false;
  RunSteps({[] {
              GetToolHost()->Options().NT = 1;
              SendMessageW(Probe(), WM_ACTIVATE, WA_ACTIVE, 0);
              SendMessageW(Probe(), WM_ACTIVATE, WA_INACTIVE, 0);
            },
            [&openAfterEarly] {
              openAfterEarly = Probe() != nullptr && IsWindowVisible(Probe());
              // Well over a second after the activation.
              SendMessageW(Probe(), WM_ACTIVATE, WA_INACTIVE, 0);
            }},
           1500);
  EXPECT_EQ(ProbeDialog::Instance()->Show(nullptr), 1);
  EXPECT_TRUE(openAfterEarly);
  EXPECT_EQ(m_host.options.NT, 1u);  // closing is not Cancel
}

// The settings dialogs' logic: no title until its dialog initialises, then
// string 119 cut to 40 characters.
class SettingsProbe : public suite::CDialogWindow<CSettingsLogic, SettingsProbe> {
 public:
  UINT TemplateId() const { return 167; }
};

TEST_F(Framework, SettingsLogicLoadsItsTitleWhenItsDialogInitialises) {
  std::wstring title = L"unset";
  RunSteps({[&title] {
    title = SettingsProbe::Existing()->Title();
    PostMessageW(SettingsProbe::Existing()->Window(), WM_COMMAND, kCmdDone, 0);
  }});
  EXPECT_STREQ(SettingsProbe::Instance()->Title(), L"");
  EXPECT_EQ(SettingsProbe::Existing()->Show(nullptr), kCmdDone);
  EXPECT_EQ(title, L"Settings of the bar, a title longer than");
  SettingsProbe::DeleteInstance();
}

}  // namespace
}  // namespace tessivo
