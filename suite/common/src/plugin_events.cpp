#include "common/plugin_events.h"

namespace suite {

HRESULT CPluginEventHandler::Dispatch(const PluginEvent& event) {
  switch (event.kind) {
    case PE_KEYDOWN:
      switch (event.keyDown.key & 0xFFFF) {
        case VK_RIGHT:
          OnKeyRight();
          break;
        case VK_LEFT:
          OnKeyLeft();
          break;
        case VK_UP:
          OnKeyUp();
          break;
        case VK_DOWN:
          OnKeyDown();
          break;
        default:
          break;
      }
      return S_OK;
    case PE_ACTION:
      // The pen acts where it landed; the action key on the selection.
      if (event.action.source == PLUGIN_ACTION_KEY) {
        OnAction();
      } else {
        OnPen(event.action.point, event.action.source == PLUGIN_ACTION_HOLD);
      }
      return S_OK;
    case PE_PAINT:
      OnPaint(event.paint);
      return S_OK;
    case PE_SYSCOLORCHANGE:
      OnSchemeChange();
      return S_OK;
    case PE_TIMER:
      OnTick();
      return S_OK;
    default:
      return S_OK;
  }
}

void CPluginEventHandler::OnTick() {}

}  // namespace suite
