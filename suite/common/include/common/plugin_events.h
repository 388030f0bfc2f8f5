// How a plug-in takes the home screen's events: Dispatch turns each event
// the host sends into one call of the handler. The arrow keys move the
// row's selection (other keys are passed over), the action key acts on the
// selection, the pen acts where it landed (a tap, or press and hold),
// painting and a colour-scheme change go to the plug-in's frame, and the
// host's tick is passed on. CRowEventHandler forwards the keys to a row
// object that takes them by the same names.
#pragma once

#include "ce/homeplugin.h"
#include "ce/windows.h"

namespace suite {

class CPluginEventHandler {
 public:
  virtual ~CPluginEventHandler() = default;
  // S_OK for every event, those of kinds no call stands for too.
  HRESULT Dispatch(const PluginEvent& event);

 protected:
  virtual void OnKeyLeft() = 0;
  virtual void OnKeyRight() = 0;
  virtual void OnKeyUp() = 0;
  virtual void OnKeyDown() = 0;
  virtual void OnAction() = 0;
  // point: where the pen landed, as the host gives it.
  virtual void OnPen(POINT point, bool hold) = 0;
  virtual void OnPaint(const PluginPaintData& paint) = 0;
  virtual void OnSchemeChange() = 0;
  // The host's one-second tick; nothing by default.
  virtual void OnTick();
};

template <class Row>
class CRowEventHandler : public CPluginEventHandler {
 public:
  explicit CRowEventHandler(Row& row) : m_row(row) {}

 protected:
  void OnKeyLeft() override { m_row.OnKeyLeft(); }
  void OnKeyRight() override { m_row.OnKeyRight(); }
  void OnKeyUp() override { m_row.OnKeyUp(); }
  void OnKeyDown() override { m_row.OnKeyDown(); }
  void OnAction() override { m_row.OnAction(); }

  Row& m_row;
};

}  // namespace suite
