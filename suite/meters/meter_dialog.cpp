#include "meter_dialog.h"

#include <atomic>

#include "common/module_state.h"
#include "obj_banks.h"

namespace pelmora {

namespace {
std::atomic<int> g_dialogsOpen{0};
}  // namespace

int DialogsOpen() { return g_dialogsOpen.load(); }

HINSTANCE DialogModule() {
  HINSTANCE module = suite::ModuleInstance();
  return module != nullptr ? module : GetModuleHandleW(nullptr);
}

bool CMeterDialog::WindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM lParam, INT_PTR* result) {
  if (message != WM_HOTKEY) return false;
  if (suite::IsBackKeyUp(message, lParam)) Cancel(hwnd);
  *result = 1;
  return true;
}

INT_PTR CMeterDialog::RunTemplate(UINT templateId, HWND parent, DLGPROC procedure) {
  HINSTANCE module = DialogModule();
  LPCDLGTEMPLATEW found = suite::FindDialogTemplate(module, templateId);
  if (found == nullptr) return -1;
  ++g_dialogsOpen;
  const INT_PTR result = DialogBoxIndirectParamW(module, found, parent, procedure, 0);
  if (--g_dialogsOpen == 0) RequestRedraw();
  return result;
}

INT_PTR CMeterDialog::BroughtForwardResult() const { return -1; }

void CMeterDialog::DestroyPages(std::span<HWND> pages) {
  for (HWND& page : pages) {
    if (page != nullptr) DestroyWindow(page);
    page = nullptr;
  }
}

}  // namespace pelmora
