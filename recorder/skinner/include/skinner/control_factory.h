// Controls from the skin's class names: "Button" and "ButtonSystem" make a
// button, "Frame" a frame, each named with its kind from the skin. The
// files that define those controls hand the factory their makers.
#pragma once

#include <string>

namespace skinner {

class Container;
class Control;

using ControlMaker = Control* (*)(Container& container, const std::wstring& name);

// Sets the maker of one of the known class names; false for any other name.
bool set_control_maker(const std::wstring& class_name, ControlMaker maker);

// A new control owned by the caller, or null for a class name the factory
// does not know (compared exactly) or has no maker for.
Control* create_declared_control(const std::wstring& class_name, Container& container, const std::wstring& name);

}  // namespace skinner
