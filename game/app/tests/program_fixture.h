// Kestrune's window and application object made as the program makes them,
// on a device of the test's own and the virtual clock, and taken down again
// at the end of each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "ce/testing.h"
#include "ce/windows.h"
#include "ks_main.h"
#include "program.h"
#include "temp_device.h"

namespace ks::app::test {

class ProgramFixture : public ::testing::Test {
 protected:
  // No save or preference an earlier test left (a key map, a hand) changes
  // what this one sees.
  ce::test::TempDevice m_Device;
  void SetUp() override {
    ::setenv("DEVICE_PROGRAM_FOLDER", KS_KESTRUNE_DATA, 1);
    ce::testing::ReloadDevice();
    ce::testing::UseVirtualClock(1000, 0);
    m_Instance = GetModuleHandleW(nullptr);
    RegisterWindowClass(m_Instance);
    ASSERT_TRUE(InitInstance(m_Instance, SW_SHOW));
    ASSERT_NE(g_app, nullptr);
    m_Window = KestruneWindow();
  }
  void TearDown() override {
    if (m_Window != nullptr) DestroyWindow(m_Window);
    if (g_app != nullptr) {
      g_app->Shutdown();
      delete g_app;
      g_app = nullptr;
    }
    UnregisterClassW(L"KSN", m_Instance);
  }
  ksMain& App() { return *g_app; }
  HINSTANCE m_Instance = nullptr;
  HWND m_Window = nullptr;
};

}  // namespace ks::app::test
