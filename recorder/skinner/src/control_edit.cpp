#include "skinner/control_edit.h"

#include <algorithm>

#include "ce/aygshell.h"
#include "ce/crt.h"
#include "ce/windows.h"
#include "os/log.h"
#include "skinner/canvas.h"
#include "skinner/device_caps.h"
#include "skinner/form.h"
#include "skinner/form_impl.h"
#include "skinner/menu_item.h"
#include "skinner/menu_manager_impl.h"

namespace skinner {

namespace {

bool is_blank(wchar_t c) { return ce::iswspace(static_cast<wint_t>(c)) != 0; }

std::wstring hwnd_text(HWND window) { return std::to_wstring(reinterpret_cast<std::uintptr_t>(window)); }

}  // namespace

// --- The native window (Smartphone) ------------------------------------------------

ControlEditNativeImpl::ControlEditNativeImpl(ControlEdit& edit) : edit_(edit), monitor_(*this) {
  draws_itself_ = false;
  Form* form = Form::of(edit);
  HWND form_window = form != nullptr ? form->get_window() : nullptr;
  if (form_window != nullptr) monitor_.subclass(form_window);
  window_ = CreateWindowExW(0, L"edit", L"", WS_CHILD | WS_BORDER, 0, 0, 100, 30, form_window, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ != nullptr) subclass(window_);
  os::get_log() << L"ControlEditNativeImpl::ControlEditNativeImpl hwnd=" << hwnd_text(window_) << L" form_hwnd="
                << hwnd_text(form_window) << L"\n";
}

ControlEditNativeImpl::~ControlEditNativeImpl() {
  if (window_ != nullptr) DestroyWindow(window_);
  unsubclass();
  monitor_.unsubclass();
}

void ControlEditNativeImpl::set_input_mode(const std::wstring& mode) {
  if (!is_smartphone()) return;
  if (mode == L"TextDefault")
    SendMessageW(window_, EM_SETINPUTMODE, 0, 3);
  else if (mode == L"Numbers")
    SendMessageW(window_, EM_SETINPUTMODE, 0, 2);
}

void ControlEditNativeImpl::set_text(const std::wstring& text) { SetWindowTextW(window_, text.c_str()); }

bool ControlEditNativeImpl::acquire_focus() {
  SetFocus(window_);
  return true;
}

void ControlEditNativeImpl::set_selection(std::size_t start, std::size_t end) {
  SendMessageW(window_, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void ControlEditNativeImpl::set_readonly(bool readonly) { SendMessageW(window_, EM_SETREADONLY, readonly ? 1 : 0, 0); }

void ControlEditNativeImpl::set_visible(bool visible) { ShowWindow(window_, visible ? SW_SHOW : SW_HIDE); }

void ControlEditNativeImpl::on_focus_gained() {
  SetFocus(window_);
  SendMessageW(window_, EM_SETSEL, 0, static_cast<LPARAM>(edit_.get_text().size()));
}

void ControlEditNativeImpl::on_focus_lost() {
  Form* form = Form::of(edit_);
  if (form != nullptr && form == Form::current()) form->get_impl().set_focus_if_activated();
}

void ControlEditNativeImpl::set_rect(Point position, Point size) {
  SetWindowPos(window_, nullptr, position.x, position.y, size.x, size.y,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

LRESULT ControlEditNativeImpl::window_proc(UINT message, WPARAM wparam, LPARAM lparam, bool&) {
  Form* form = Form::of(edit_);
  switch (message) {
    case WM_KEYDOWN:
      if (form != nullptr) form->on_key_down(key_code_from_virtual_key(static_cast<std::uint32_t>(wparam)));
      break;
    case WM_KEYUP:
      if (form != nullptr) form->on_key_up(key_code_from_virtual_key(static_cast<std::uint32_t>(wparam)));
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      if (!is_smartphone()) break;
      const bool set = message == WM_SETFOCUS;
      HWND other = reinterpret_cast<HWND>(wparam);
      HWND parent = other != nullptr ? GetParent(other) : nullptr;
      HWND form_window = form != nullptr ? form->get_window() : nullptr;
      const wchar_t* name = set ? L"WM_SETFOCUS" : L"WM_KILLFOCUS";
      os::get_log() << L"ControlEditNativeImpl::" << name << L" hwnd=" << hwnd_text(window_)
                    << (set ? L" old_hwnd=" : L" new_hwnd=") << hwnd_text(other) << L" par=" << hwnd_text(parent)
                    << L"\n";
      const bool ours = other == form_window || parent == form_window;
      os::get_log() << L"ControlEditNativeImpl::" << name
                    << (ours ? (set ? L" from us\n" : L" to us\n")
                             : (set ? L" from another app\n" : L" to another app\n"));
      break;
    }
    default:
      break;
  }
  (void)lparam;
  return 0;
}

LRESULT ControlEditNativeImpl::ControlEditParentMonitor::window_proc(UINT message, WPARAM wparam, LPARAM lparam,
                                                                     bool&) {
  if (message == WM_COMMAND && HIWORD(wparam) == EN_CHANGE && reinterpret_cast<HWND>(lparam) == owner_.window_ &&
      owner_.window_ != nullptr)
    owner_.on_en_change();
  return 0;
}

void ControlEditNativeImpl::on_en_change() {
  const int length = GetWindowTextLengthW(window_);
  std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
  const int got = GetWindowTextW(window_, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::clamp(got, 0, std::max(length, 0))));
  if (text == edit_.get_text()) return;
  edit_.replace_text_from_native(text);
  os::get_log() << L"ControlEditNativeImpl::on_en_change text=" << text << L"\n";
}

// --- The edit ------------------------------------------------------------------------

ControlEdit::ControlEdit(Container& container, const std::wstring& name, NamingMode mode)
    : Control(container, name, mode) {
  text_ = read_text(L"Text", L"");
  set_gestures(true);
  // The caret's blink timer runs only while the edit has the focus (see
  // on_focus_gained): an edit that waits hidden, as the list's rename field
  // does, keeps an idle form from waking twenty times a second.
}

ControlEdit::~ControlEdit() = default;

template <typename Change>
void ControlEdit::change_text(Change change) {
  const std::wstring before = text_;
  change();
  clamp_selection();
  if (text_ != before) {
    raise_text_changed();
    invalidate();
  }
}

void ControlEdit::clamp_selection() {
  anchor_ = std::min(anchor_, text_.size());
  caret_ = std::min(caret_, text_.size());
}

bool ControlEdit::acquire_native_focus() { return impl_ ? impl_->acquire_focus() : false; }

void ControlEdit::on_focus_gained() {
  Form* form = Form::of(*this);
  if (is_enabled() && !readonly_ && form != nullptr) form->set_sip(true);
  invalidate();
  start_timer(0.05);
  if (impl_) impl_->on_focus_gained();
}

void ControlEdit::on_focus_lost() {
  anchor_ = 0;
  caret_ = 0;
  if (blink_counter_ != 0) invalidate();
  blink_counter_ = 0;
  if (Form* form = Form::of(*this)) form->set_sip(false);
  invalidate();
  stop_timer();
  if (impl_) impl_->on_focus_lost();
}

void ControlEdit::on_visible_changed(bool visible) {
  Control::on_visible_changed(visible);
  if (impl_) impl_->set_visible(visible);
}

ControlEdit::State ControlEdit::state() const {
  if (readonly_) return kReadonly;
  if (is_enabled()) return is_focused() ? kHighlighted : kNormal;
  return kDisabled;
}

bool ControlEdit::hit_test(Point point) const {
  if (!impl_ || !impl_->draws_itself()) return false;
  if (!Control::hit_test(point)) return false;
  const Picture& picture = pictures_[state()];
  if (picture.get_bitmap() == nullptr) return true;
  const Rect r = get_rect();
  return !picture.is_transparent_at(point, r.position(), r.size());
}

int ControlEdit::width_of(std::size_t count) const {
  if (count == 0 || prefix_widths_.empty()) return 0;
  return prefix_widths_[std::min(count, prefix_widths_.size()) - 1];
}

void ControlEdit::rebuild_prefix_widths(const FontDesc& font) {
  prefix_widths_.resize(text_.size());
  for (std::size_t i = 1; i <= text_.size(); ++i) prefix_widths_[i - 1] = measure_text(font, text_.substr(0, i)).x;
}

std::size_t ControlEdit::char_at(Point point) const {
  const int px = point.x - scroll_ - border_min_.x - get_rect().x;
  if (px < 0) return 0;
  const std::size_t n = std::min(text_.size(), prefix_widths_.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int previous = i == 0 ? 0 : prefix_widths_[i - 1];
    const int mid = (prefix_widths_[i] + previous) / 2;
    if (px < mid) return i;
  }
  return n;
}

bool ControlEdit::caret_visible() const { return !dragging_ && blink_counter_ < blink_period_ / 2 && is_focused(); }

void ControlEdit::draw(Canvas& canvas, const Rect& clip) {
  if (impl_ && impl_->draws_itself()) {
    const State s = state();
    const Rect r = get_rect();
    pictures_[s].draw(canvas, r.position(), r.size());
    const FontDesc& font = fonts_[s];
    const Colour colour = colours_[s];
    rebuild_prefix_widths(font);
    const int x = r.x + border_min_.x;
    const int y = r.y + border_min_.y;
    const int w = r.width - border_min_.x - border_max_.x;
    const int h = r.height - border_min_.y - border_max_.y;
    const int full = width_of(text_.size());
    const int cx = width_of(caret_);
    const int avail = w - caret_width_;
    if (scroll_ + full < avail) scroll_ = avail - full;
    if (scroll_ > 0) scroll_ = 0;
    const int c = scroll_ + cx;
    if (c < 0) scroll_ -= c;
    if (c > avail) scroll_ -= c - avail;
    const std::size_t s_pos = std::min(anchor_, caret_);
    const std::size_t e_pos = std::max(anchor_, caret_);
    const int ws = width_of(s_pos);
    const int we = width_of(e_pos);
    const bool visible = caret_visible();
    if (has_selection() || visible) {
      int left = scroll_ + ws;
      if (caret_ == s_pos && visible && caret_ < anchor_) left += caret_width_;
      int right = scroll_ + we;
      if (caret_ == e_pos && visible) right += caret_width_;
      left = std::clamp(left, 0, std::max(w, 0));
      right = std::clamp(right, 0, std::max(w, 0));
      if (right > left) selection_picture_.draw(canvas, Point{x + left, y}, Point{right - left, h});
    }
    const int caret_x = scroll_ + cx;
    // Left of the caret, right-aligned, so the overhang on the left is cut.
    if (has_selection() && anchor_ < caret_) {
      draw_text(font, canvas, selection_colour_, text_.substr(s_pos, e_pos - s_pos), Point{x, y}, Point{caret_x, h}, 2,
                1);
      if (caret_x > we - ws)
        draw_text(font, canvas, colour, text_.substr(0, s_pos), Point{x, y}, Point{caret_x - (we - ws), h}, 2, 1);
    } else {
      draw_text(font, canvas, colour, text_.substr(0, caret_), Point{x, y}, Point{caret_x, h}, 2, 1);
    }
    // Right of the caret, left-aligned.
    const int right_width = w - caret_x;
    if (has_selection() && anchor_ > caret_) {
      draw_text(font, canvas, selection_colour_, text_.substr(s_pos, e_pos - s_pos), Point{x + caret_x, y},
                Point{right_width, h}, 0, 1);
      if (right_width > we - ws)
        draw_text(font, canvas, colour, text_.substr(e_pos), Point{x + caret_x + (we - ws), y},
                  Point{right_width - (we - ws), h}, 0, 1);
    } else {
      draw_text(font, canvas, colour, text_.substr(caret_), Point{x + caret_x, y}, Point{right_width, h}, 0, 1);
    }
  }
  Control::draw(canvas, clip);
}

void ControlEdit::on_pointer_move(Point point) {
  if (!dragging_) return;
  caret_ = char_at(point);
  invalidate();
}

void ControlEdit::on_pointer_down(PointerKind kind, Point point, bool double_tap) {
  if (kind != PointerKind::Tap) return;
  dragging_ = true;
  caret_ = anchor_ = char_at(point);
  if (double_tap) {
    const std::size_t n = text_.size();
    while (caret_ < n && !is_blank(text_[caret_])) ++caret_;
    while (caret_ < n && is_blank(text_[caret_])) ++caret_;
    while (anchor_ > 0 && is_blank(text_[anchor_ - 1])) --anchor_;
    while (anchor_ > 0 && !is_blank(text_[anchor_ - 1])) --anchor_;
    if (anchor_ < n && is_blank(text_[anchor_])) ++anchor_;
  }
  last_down_ = point;
}

void ControlEdit::on_pointer_up(PointerKind kind, Point point, bool) {
  if (kind == PointerKind::Hold) {
    show_context_menu(point);
    return;
  }
  if (kind != PointerKind::Tap || !dragging_) return;
  dragging_ = false;
  if (point != last_down_) caret_ = char_at(point);
  raise_click();
  invalidate();
  blink_counter_ = 0;
}

void ControlEdit::on_control_timer() {
  if (!impl_ || !impl_->draws_itself() || !is_focused()) return;
  const bool before = blink_counter_ < blink_period_ / 2;
  blink_counter_ = (blink_counter_ + 1) % blink_period_;
  if ((blink_counter_ < blink_period_ / 2) != before) invalidate();
}

bool ControlEdit::set_rect(Point position, Point size) {
  if (impl_) impl_->set_rect(position, size);
  return Control::set_rect(position, size);
}

void ControlEdit::load_properties() {
  Control::load_properties();
  impl_.reset();
  border_min_ = read_scaled_point(L"BorderMin", Point{0, 0});
  border_max_ = read_scaled_point(L"BorderMax", border_min_);
  input_mode_ = read_text(L"InputMode", input_mode_);
  caret_width_ = 1;
  pictures_[kNormal] = read_picture(L"Normal", Picture());
  pictures_[kHighlighted] = read_picture(L"Highlighted", pictures_[kNormal]);
  pictures_[kDisabled] = read_picture(L"Disabled", pictures_[kNormal]);
  pictures_[kReadonly] = read_picture(L"Readonly", pictures_[kDisabled]);
  selection_picture_ = read_picture(L"Selection", Picture());
  fonts_[kNormal] = read_font(L"Normal", FontDesc(1.0));
  fonts_[kHighlighted] = fonts_[kNormal];
  fonts_[kDisabled] = read_font(L"Disabled", fonts_[kNormal]);
  fonts_[kReadonly] = read_font(L"Readonly", fonts_[kDisabled]);
  colours_[kNormal] = read_colour(L"Normal", Colour{});
  colours_[kHighlighted] = colours_[kNormal];
  colours_[kDisabled] = read_colour(L"Disabled", colours_[kNormal]);
  colours_[kReadonly] = read_colour(L"Readonly", colours_[kDisabled]);
  selection_colour_ = read_colour(L"Selection", colours_[kNormal]);
  readonly_ = read_int(L"Readonly", readonly_ ? 1 : 0) != 0;
  if (is_smartphone())
    impl_ = std::make_unique<ControlEditNativeImpl>(*this);
  else
    impl_ = std::make_unique<ControlEditImpl>();
  impl_->set_rect(get_position(), get_size());
  impl_->set_input_mode(input_mode_);
  impl_->set_readonly(readonly_);
  impl_->set_text(text_);
  impl_->set_visible(is_visible());
}

void ControlEdit::set_text(const std::wstring& text) {
  if (text == text_) return;
  anchor_ = 0;
  caret_ = text_.size();
  replace_selection(text);
  if (impl_) impl_->set_text(text_);
}

void ControlEdit::set_selection(std::size_t start, std::size_t end) {
  anchor_ = std::min(start, text_.size());
  caret_ = std::min(end, text_.size());
  if (impl_) impl_->set_selection(anchor_, caret_);
  invalidate();
}

void ControlEdit::replace_text_from_native(const std::wstring& text) {
  text_ = text;
  clamp_selection();
  raise_text_changed();
  invalidate();
}

void ControlEdit::delete_selection() {
  change_text([this] {
    const std::size_t s = std::min(anchor_, caret_);
    const std::size_t e = std::max(anchor_, caret_);
    text_.erase(s, e - s);
    anchor_ = caret_ = s;
  });
}

void ControlEdit::replace_selection(const std::wstring& text) {
  change_text([this, &text] {
    const std::size_t s = std::min(anchor_, caret_);
    const std::size_t e = std::max(anchor_, caret_);
    text_.erase(s, e - s);
    text_.insert(s, text);
    anchor_ = caret_ = s + text.size();
  });
}

void ControlEdit::select_all() {
  anchor_ = 0;
  caret_ = text_.size();
  if (impl_) impl_->set_selection(0, caret_);
  invalidate();
}

void ControlEdit::copy() {
  const std::size_t s = std::min(anchor_, caret_);
  const std::size_t e = std::max(anchor_, caret_);
  const std::wstring selected = text_.substr(s, e - s);
  const std::size_t bytes = (selected.size() + 1) * sizeof(wchar_t);
  HLOCAL memory = LocalAlloc(LMEM_MOVEABLE, bytes);
  if (memory == nullptr) return;
  auto* out = static_cast<wchar_t*>(LocalLock(memory));
  if (out == nullptr) {
    LocalFree(memory);
    return;
  }
  std::copy(selected.begin(), selected.end(), out);
  out[selected.size()] = L'\0';
  LocalUnlock(memory);
  if (!OpenClipboard(nullptr)) {
    LocalFree(memory);
    return;
  }
  EmptyClipboard();
  if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) LocalFree(memory);
  CloseClipboard();
}

void ControlEdit::paste() {
  if (!OpenClipboard(nullptr)) return;
  std::wstring text;
  bool usable = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    // A block of whole characters with room for the terminating zero; the
    // text ends at the block's end or at its first zero, whichever is first.
    const UINT size = LocalSize(data);
    if (size >= sizeof(wchar_t) && size % sizeof(wchar_t) == 0) {
      if (const auto* in = static_cast<const wchar_t*>(LocalLock(data))) {
        const std::size_t count = size / sizeof(wchar_t) - 1;
        for (std::size_t i = 0; i < count && in[i] != L'\0'; ++i)
          if (in[i] >= 32) text.push_back(in[i]);
        usable = true;
        LocalUnlock(data);
      }
    }
  }
  CloseClipboard();
  if (usable) replace_selection(text);
}

void ControlEdit::cut() {
  copy();
  delete_selection();
}

void ControlEdit::insert_text(const std::wstring& text) {
  os::get_log() << L"on_text" << text << L"\n";
  if (text.empty()) {
    set_text(L"");
    return;
  }
  replace_selection(text);
  blink_counter_ = 0;
}

bool ControlEdit::on_text(wchar_t character) {
  if (!impl_ || !impl_->draws_itself() || readonly_) return false;
  if (dragging_) return true;
  insert_text(std::wstring(1, character));
  return true;
}

bool ControlEdit::on_key_down(KeyCode key) {
  if (!impl_ || !impl_->draws_itself() || dragging_) return false;
  const bool ctrl = is_key_pressed(KeyCode::Ctrl);
  const bool shift = is_key_pressed(KeyCode::Shift);
  const auto letter = [](wchar_t c) { return static_cast<KeyCode>(20 + (c - L'A')); };
  if (ctrl && key == letter(L'C')) {
    copy();
    return true;
  }
  switch (key) {
    case KeyCode::Insert:
      if (ctrl) {
        copy();
        return true;
      }
      if (shift) {
        if (!readonly_) paste();
        return true;
      }
      return false;
    case KeyCode::Delete:
      if (shift) {
        if (!readonly_) cut();
      } else if (!readonly_) {
        if (has_selection()) {
          delete_selection();
        } else if (caret_ < text_.size()) {
          ++caret_;
          delete_selection();
        }
      }
      invalidate();
      return true;
    case KeyCode::Left: {
      std::size_t p = caret_ == 0 ? 0 : caret_ - 1;
      if (ctrl) {
        while (p > 0 && is_blank(text_[p])) --p;
        while (p >= 1 && !is_blank(text_[p - 1])) --p;
        if (p < text_.size() && is_blank(text_[p])) ++p;
      }
      if (!shift)
        caret_ = anchor_ = p;
      else if (caret_ != 0)
        caret_ = p;
      blink_counter_ = 0;
      invalidate();
      return true;
    }
    case KeyCode::Right: {
      std::size_t p = std::min(caret_ + 1, text_.size());
      if (ctrl) {
        while (p < text_.size() && !is_blank(text_[p])) ++p;
        while (p < text_.size() && is_blank(text_[p])) ++p;
      }
      caret_ = p;
      if (!shift) anchor_ = p;
      blink_counter_ = 0;
      invalidate();
      return true;
    }
    case KeyCode::Backspace:
      if (!readonly_) {
        // With a selection only the selection goes; the character before
        // it is the user's to keep.
        if (!has_selection() && caret_ > 0) --caret_;
        delete_selection();
      }
      invalidate();
      return true;
    case KeyCode::Home:
      caret_ = 0;
      if (!shift) anchor_ = 0;
      blink_counter_ = 0;
      invalidate();
      return true;
    case KeyCode::End:
      caret_ = text_.size();
      if (!shift) anchor_ = caret_;
      blink_counter_ = 0;
      invalidate();
      return true;
    case KeyCode::Apps: {
      const Rect r = get_rect();
      const int x = r.x + border_min_.x + scroll_ + width_of(caret_);
      const int y = r.y + border_min_.y + (r.height - border_min_.y - border_max_.y) / 2;
      show_context_menu(Point{x, y});
      return true;
    }
    default:
      break;
  }
  if (ctrl && key == letter(L'V')) {
    if (!readonly_) paste();
    return true;
  }
  if (ctrl && key == letter(L'X')) {
    if (!readonly_) cut();
    return true;
  }
  return false;
}

void ControlEdit::show_context_menu(Point point) {
  Form* form = Form::of(*this);
  if (form == nullptr) return;
  const bool selection = has_selection();
  const bool all = anchor_ == 0 ? caret_ == text_.size() : (caret_ == 0 && anchor_ == text_.size());
  VBCollection entries;
  auto add = [&](const wchar_t* name, const wchar_t* fallback, bool enabled, bool separator) {
    MenuItem item(name, translate(name, fallback));
    item.enabled = enabled;
    item.separator_after = separator;
    item.owner = this;
    entries.add(item);
  };
  add(L"menuCut", L"Cut", selection && !readonly_, false);
  add(L"menuCopy", L"Copy", selection, false);
  add(L"menuPaste", L"Paste", !readonly_, false);
  add(L"menuDelete", L"Delete", selection && !readonly_, true);
  add(L"menuSelectAll", L"Select All", !text_.empty() && !all, false);
  const std::wstring chosen =
      MenuManagerImplPocket::track_popup_menu(*form, entries, POINT{point.x, point.y}, 0, 0, nullptr);
  if (chosen == L"menuCut")
    cut();
  else if (chosen == L"menuCopy")
    copy();
  else if (chosen == L"menuPaste")
    paste();
  else if (chosen == L"menuDelete")
    delete_selection();
  else if (chosen == L"menuSelectAll")
    select_all();
}

}  // namespace skinner
