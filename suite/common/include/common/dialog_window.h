// The window class of a suite dialog: one object of each dialog class,
// made on first use and reached by the class's static dialog procedure
// through its own pointer, and Show, which brings an open dialog forward
// instead of opening a second. Base is a CDialogBase (with the plug-in's
// RunTemplate); Self names its template with TemplateId().
#pragma once

#include <memory>

#include "common/dialog_base.h"

namespace suite {

template <class Base, class Self>
class CDialogWindow : public Base {
 public:
  static Self* Instance() {
    if (!s_instance) s_instance.reset(new Self());
    return s_instance.get();
  }
  static Self* Existing() { return s_instance.get(); }
  static void DeleteInstance() { s_instance.reset(); }

  // Brings an open dialog forward; else stamps the opening and runs the
  // dialog. Returns its end code.
  INT_PTR Show(HWND parent) { return this->ShowTemplate(static_cast<Self*>(this)->TemplateId(), parent, &StaticProc); }

 protected:
  using Base::Base;

 private:
  static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!s_instance) return FALSE;
    return CDialogBase::DialogProc(s_instance.get(), hwnd, message, wParam, lParam);
  }

  static inline std::unique_ptr<Self> s_instance;
};

}  // namespace suite
