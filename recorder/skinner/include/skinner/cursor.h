// Keyword tables of the skin: system cursors by name and the per-axis
// layout anchors.
#pragma once

#include <string>

#include "ce/winuser.h"

namespace skinner {

// A system cursor or none.
class Cursor {
 public:
  Cursor() = default;
  // The cursor a skin name (exact, case-sensitive) loads; none for any
  // other name.
  static Cursor from_name(const std::wstring& name);

  HCURSOR get() const { return handle_; }
  bool is_none() const { return handle_ == nullptr; }
  // Sets the cursor; without one, the arrow (loaded once for the process).
  void apply() const;

 private:
  HCURSOR handle_ = nullptr;
};

enum class Anchor { MIN_SIDE = 0, BOTH_SIDE = 1, MAX_SIDE = 2, RATIO = 3 };

// The anchor a skin text names (exact, case-sensitive); MIN_SIDE for any
// other text.
Anchor anchor_from_name(const std::wstring& name);

}  // namespace skinner
