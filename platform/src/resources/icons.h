// What other areas of the platform may ask of an icon handle.
#pragma once

#include <optional>

#include "ce/windef.h"

namespace ce::resources {

// The icon's own size in pixels; nothing when the handle is not an icon.
std::optional<SIZE> IconSize(HICON icon);

}  // namespace ce::resources
