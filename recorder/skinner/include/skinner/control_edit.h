// The skin's single-line text field. On a Pocket PC it draws and edits
// itself: the state picture, the text around the caret, a selection
// picture that is also the caret, keys, text, the pen, the clipboard and a
// context menu. On a Smartphone a native "edit" window stands over it
// instead, so the phone's input modes work, and the field follows its text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "skinner/control.h"
#include "skinner/control_subclass.h"

namespace skinner {

class ControlEdit;

class ControlEditImpl {
 public:
  ControlEditImpl() = default;
  ControlEditImpl(const ControlEditImpl&) = delete;
  ControlEditImpl& operator=(const ControlEditImpl&) = delete;
  virtual ~ControlEditImpl() = default;

  virtual void set_input_mode(const std::wstring&) {}
  virtual void set_text(const std::wstring&) {}
  virtual bool acquire_focus() { return false; }
  virtual void set_selection(std::size_t, std::size_t) {}
  virtual void set_readonly(bool) {}
  virtual void set_visible(bool) {}
  virtual void on_focus_gained() {}
  virtual void on_focus_lost() {}
  virtual void set_rect(Point, Point) {}

  bool draws_itself() const { return draws_itself_; }

 protected:
  bool draws_itself_ = true;
};

class ControlEditNativeImpl : public ControlEditImpl, public ControlSubclass {
 public:
  explicit ControlEditNativeImpl(ControlEdit& edit);
  ~ControlEditNativeImpl() override;

  void set_input_mode(const std::wstring& mode) override;
  void set_text(const std::wstring& text) override;
  bool acquire_focus() override;
  void set_selection(std::size_t start, std::size_t end) override;
  void set_readonly(bool readonly) override;
  void set_visible(bool visible) override;
  void on_focus_gained() override;
  void on_focus_lost() override;
  void set_rect(Point position, Point size) override;
  LRESULT window_proc(UINT message, WPARAM wparam, LPARAM lparam, bool& pass_on) override;

  HWND get_window() const { return window_; }

  // Watches the form window for the native window's change notifications.
  class ControlEditParentMonitor : public ControlSubclass {
   public:
    explicit ControlEditParentMonitor(ControlEditNativeImpl& owner) : owner_(owner) {}
    LRESULT window_proc(UINT message, WPARAM wparam, LPARAM lparam, bool& pass_on) override;

   private:
    ControlEditNativeImpl& owner_;
  };

 private:
  void on_en_change();

  HWND window_ = nullptr;
  ControlEdit& edit_;
  ControlEditParentMonitor monitor_;
};

class ControlEdit : public Control {
 public:
  ControlEdit(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);
  ~ControlEdit() override;

  bool acquire_native_focus() override;
  void on_focus_gained() override;
  void on_focus_lost() override;
  void on_visible_changed(bool visible) override;
  void draw(Canvas& canvas, const Rect& clip) override;
  bool hit_test(Point point) const override;
  void on_pointer_move(Point point) override;
  void on_pointer_down(PointerKind kind, Point point, bool double_tap) override;
  void on_pointer_up(PointerKind kind, Point point, bool double_tap) override;
  bool on_text(wchar_t character) override;
  bool on_key_down(KeyCode key) override;
  bool on_key_up(KeyCode) override { return false; }
  void on_control_timer() override;
  bool set_rect(Point position, Point size) override;
  void load_properties() override;

  virtual void raise_text_changed() { on_text_changed(this); }
  virtual void raise_click() { on_click(this, ClickInfo{last_down_, false}); }

  const std::wstring& get_text() const { return text_; }
  void set_text(const std::wstring& text);
  void set_selection(std::size_t start, std::size_t end);
  std::size_t get_anchor() const { return anchor_; }
  std::size_t get_caret() const { return caret_; }
  bool is_readonly() const { return readonly_; }
  ControlEditImpl* get_impl() const { return impl_.get(); }
  int get_scroll() const { return scroll_; }

  // Text in a string of any length (text input, the input method).
  void insert_text(const std::wstring& text);
  // The native window's text took the place of ours.
  void replace_text_from_native(const std::wstring& text);

  void copy();
  void paste();
  void cut();
  void delete_selection();
  void replace_selection(const std::wstring& text);
  void select_all();
  // The context menu at a point of the form.
  void show_context_menu(Point point);
  // Whether the caret shows now.
  bool caret_visible() const;

 private:
  enum State { kNormal, kHighlighted, kDisabled, kReadonly };
  State state() const;
  void clamp_selection();
  void rebuild_prefix_widths(const FontDesc& font);
  int width_of(std::size_t count) const;
  std::size_t char_at(Point point) const;
  bool has_selection() const { return anchor_ != caret_; }
  // Runs an operation on the text; a change is reported and repainted.
  template <typename Change>
  void change_text(Change change);

  std::unique_ptr<ControlEditImpl> impl_;
  Picture pictures_[4];
  Picture selection_picture_;
  FontDesc fonts_[4];
  Colour colours_[4];
  Colour selection_colour_;
  Point last_down_;
  std::wstring input_mode_;
  std::wstring text_;
  std::size_t anchor_ = 0;
  std::size_t caret_ = 0;
  int blink_counter_ = 0;
  int blink_period_ = 10;
  int caret_width_ = 0;
  Point border_min_;
  Point border_max_;
  bool dragging_ = false;
  bool readonly_ = false;
  int scroll_ = 0;
  std::vector<int> prefix_widths_;
};

}  // namespace skinner
