// Keyboard: the toolkit's text entry. Closed, a one-line box showing its
// caption and the text typed so far; opened (Enter on it), a pad of 40 key
// buttons below the box that takes the key capture and edits the text,
// with a capital for the first letter and after a space. "Done", the "9"
// key or a tap outside close it and tell the parent. A desktop keyboard
// types into it too (letters, space, punctuation and Backspace; its digit
// keys are the device's keypad, which works the screen).
#pragma once

#include "ui/wnd.h"

class Button;

class Keyboard : public Wnd {
 public:
  static constexpr int kKeyCount = 40;
  static constexpr int kFirstKeyId = 1000;
  static constexpr int kTextChars = 256;  // including the terminating zero
  // Notification codes to the parent.
  static constexpr int kNotifyDone = 0x700;
  static constexpr int kNotifyNine = 0x200;
  // Key indices of the special keys.
  static constexpr int kKeyDel = 10;
  static constexpr int kKeyDone = 21;
  static constexpr int kKeyShift = 31;
  static constexpr int kKeySpace = 39;

  Keyboard();
  ~Keyboard() override;
  bool Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
              std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) override;
  int Paint(const RECT& dirty) override;
  void Invalidate(int value) override;
  void InvalidateRect(const RECT& rect, int value) override;
  void Layout() override;
  int OnPenDown(std::uint32_t buttons, LPARAM pos) override;
  int OnPenUp(std::uint32_t buttons, LPARAM pos) override;
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  void SetFocus(Wnd* previous) override;
  bool HitTest(LPARAM pos) override;
  int Activate() override;
  void FocusAt(LPARAM pos) override;

  // Longer texts are cut to the buffer.
  void SetInputText(const wchar_t* text);
  void GetInputText(wchar_t* out, std::size_t capacity) const;
  const wchar_t* InputText() const { return m_Text; }
  // At most kTextChars - 1, whatever is asked.
  void SetMaxLength(std::uint32_t length);
  void SetMaxWidth(int width) { m_MaxWidth = width; }
  void SetOpen(bool open);

  bool IsOpen() const { return m_Open != 0; }
  int Case() const { return m_Case; }
  Button* Key(int index) const;
  const RECT& TextBox() const { return m_TextBox; }
  const RECT& KeyPad() const { return m_KeyPad; }

 private:
  void ShowKeys(bool show);
  void Close(int code, LPARAM p2);
  // Appends c unless the text would grow too wide; returns false when the
  // width refused it (the case then stays as it was).
  bool Append(wchar_t c);
  void SetCase(int value);
  void MoveFocus(int key);
  void OnKey(int index, LPARAM p2);
  // A character typed on a desktop keyboard; true when it was taken.
  bool Type(wchar_t c);

  Button* m_Keys[kKeyCount] = {};
  RECT m_TextBox{};
  RECT m_KeyPad{};
  std::uint8_t m_Open = 1;
  std::uint8_t m_LaidOut = 0;
  std::uint32_t m_MaxLength = 16;
  int m_MaxWidth = 0;
  int m_Case = 0;
  wchar_t m_Text[kTextChars] = {};
};
