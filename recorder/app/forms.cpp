#include "forms.h"

#include "ce/shellapi.h"
#include "ce/windows.h"

namespace vocamo {

AboutForm::AboutForm(skinner::Form* parent, skinner::Properties* skin, const std::wstring& form_name,
                     const std::wstring& product_line)
    : Form(parent, skin, form_name) {
  menu_ = std::make_unique<skinner::ControlMenuMain>(*this, L"MenuMain");
  product_ = std::make_unique<skinner::ControlFrame>(*this, L"frmProduct");
  copyright_ = std::make_unique<skinner::ControlFrame>(*this, L"frmCopyright");
  link_ = std::make_unique<skinner::ControlButton>(*this, L"btnLink");
  product_->set_text(product_line);
}

AboutForm::~AboutForm() {
  link_.reset();
  copyright_.reset();
  product_.reset();
  menu_.reset();
}

void AboutForm::on_click(skinner::Control* sender, const skinner::ClickInfo&) {
  if (sender == nullptr) return;
  if (sender->get_name() == L"btnOk") {
    close();
  } else if (sender == link_.get()) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No process handle is asked for, so none is left open.
    info.fMask = 0;
    info.lpVerb = L"open";
    info.lpFile = L"iexplore.exe";
    info.lpParameters = kMakerAddress;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteEx(&info);
  }
}

void AboutForm::on_command(skinner::Control*, const std::wstring& command) {
  if (command == L"Ok") close();
}

bool AboutForm::on_key_down(skinner::KeyCode key) {
  if (Form::on_key_down(key)) return true;
  if (key != skinner::KeyCode::Esc) return false;
  close();
  return true;
}

FormMessage::FormMessage(skinner::Form* parent, skinner::Properties* skin, const std::wstring& caption,
                         const std::wstring& text, const std::wstring& form_name)
    : Form(parent, skin, form_name) {
  menu_ = std::make_unique<skinner::ControlMenuMain>(*this, L"MenuMain");
  caption_ = std::make_unique<skinner::ControlButton>(*this, L"btnCaption");
  text_ = std::make_unique<skinner::ControlFrame>(*this, L"frmText");
  caption_->set_text(caption);
  text_->set_text(text);
}

FormMessage::~FormMessage() {
  text_.reset();
  caption_.reset();
  menu_.reset();
}

bool FormMessage::on_key_down(skinner::KeyCode key) {
  if (Form::on_key_down(key)) return true;
  if (key != skinner::KeyCode::Esc) return false;
  close();
  return true;
}

void FormMessage::on_click(skinner::Control* sender, const skinner::ClickInfo&) {
  if (sender == nullptr || sender == caption_.get()) return;
  result_ = sender->get_name();
  close();
}

}  // namespace vocamo
