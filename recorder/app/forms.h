// The recorder's two small modal forms: the about box and the skinned
// message form that asks and reports for the recordings list.
#pragma once

#include <memory>
#include <string>

#include "skinner/control_button.h"
#include "skinner/control_frame.h"
#include "skinner/control_menu_main.h"
#include "skinner/form.h"

namespace vocamo {

// The maker's web page the about box opens (a reserved example domain);
// the skin's link shows the same address.
inline constexpr const wchar_t* kMakerAddress = L"http://www.example.org/";

class AboutForm : public skinner::Form {
 public:
  AboutForm(skinner::Form* parent, skinner::Properties* skin, const std::wstring& form_name,
            const std::wstring& product_line);
  ~AboutForm() override;
  void on_click(skinner::Control* sender, const skinner::ClickInfo& info) override;
  void on_command(skinner::Control* sender, const std::wstring& command) override;
  // Back (Escape on a desktop) closes it.
  bool on_key_down(skinner::KeyCode key) override;

 private:
  std::unique_ptr<skinner::ControlMenuMain> menu_;
  std::unique_ptr<skinner::ControlFrame> product_;
  std::unique_ptr<skinner::ControlFrame> copyright_;
  std::unique_ptr<skinner::ControlButton> link_;
};

class FormMessage : public skinner::Form {
 public:
  FormMessage(skinner::Form* parent, skinner::Properties* skin, const std::wstring& caption, const std::wstring& text,
              const std::wstring& form_name);
  ~FormMessage() override;
  void on_click(skinner::Control* sender, const skinner::ClickInfo& info) override;
  // Back (Escape on a desktop) closes it with no answer, as a refusal.
  bool on_key_down(skinner::KeyCode key) override;
  // The name of the button that closed the form; empty otherwise.
  const std::wstring& get_result() const { return result_; }

 private:
  std::unique_ptr<skinner::ControlMenuMain> menu_;
  std::unique_ptr<skinner::ControlButton> caption_;
  std::unique_ptr<skinner::ControlFrame> text_;
  std::wstring result_;
};

}  // namespace vocamo
