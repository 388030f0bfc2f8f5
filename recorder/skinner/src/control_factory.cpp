#include "skinner/control_factory.h"

namespace skinner {

namespace {

struct Maker {
  const wchar_t* class_name;
  ControlMaker maker;
};

// The class names a skin may declare.
Maker g_makers[] = {{L"Button", nullptr}, {L"ButtonSystem", nullptr}, {L"Frame", nullptr}};

}  // namespace

bool set_control_maker(const std::wstring& class_name, ControlMaker maker) {
  for (Maker& m : g_makers) {
    if (class_name == m.class_name) {
      m.maker = maker;
      return true;
    }
  }
  return false;
}

Control* create_declared_control(const std::wstring& class_name, Container& container, const std::wstring& name) {
  for (const Maker& m : g_makers) {
    if (class_name == m.class_name) return m.maker != nullptr ? m.maker(container, name) : nullptr;
  }
  return nullptr;
}

}  // namespace skinner
