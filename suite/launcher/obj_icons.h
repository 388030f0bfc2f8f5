// CObjIcons: lays out, draws and hit-tests the bar's grid of icons: the
// optional date line, the static lines, the scrolling lines with their up
// and down arrows, the keyboard selection with its frame, and the table of
// cells that keyboard moves walk. One instance serves the bar and the icons
// dialog.
#pragma once

#include "ce/windows.h"

namespace tessivo {

// Hit and cell codes besides item indexes.
inline constexpr int kCodeDate = -1;
inline constexpr int kCodeNothing = -2;
inline constexpr int kCodeDown = -3;
inline constexpr int kCodeUp = -4;

class CObjIcons {
 public:
  // The most positions laid out, and the cell table's size: every line the
  // bar can show, each as wide as the widest screen line.
  static constexpr int kMaxRects = 160;
  static constexpr int kCellRows = 10;
  static constexpr int kCellColumns = 64;

  CObjIcons() = default;
  virtual ~CObjIcons();
  CObjIcons(const CObjIcons&) = delete;
  CObjIcons& operator=(const CObjIcons&) = delete;

  // Lays the lines out from (x, y) and draws the shown ones; the keyboard
  // selection (and the date's highlight) only with drawSelection.
  void Draw(HDC dc, int x, int y, BOOL showDate, BOOL drawSelection, int firstLine, BOOL allLines, BOOL staticLines);
  // -1 the date, -2 nothing, -3 down, -4 up, else an item index. `mode`
  // set: the icons dialog's shifted grid by `lineOffset`.
  int ButtonClick(int x, int y, BOOL mode, int lineOffset = 0) const;

  // Keyboard moves; on the bar (drawn without allLines) they pass over
  // cells that show nothing.
  BOOL SelectNextRow();
  BOOL SelectPrevRow();
  BOOL SelectPrevColumn();
  BOOL SelectNextColumn();
  // The point of the last selection frame; FALSE when there is none.
  BOOL GetSelectedPoint(POINT* point) const;
  BOOL FindSelectedCell(int* column, int* row) const;
  void ClearSelection();
  void ResetSelection();
  void Reset();
  void CreateBrushes();

  int RectCount() const { return m_rectCount; }
  const RECT& Rect(int index) const { return m_rects[index]; }
  int Rows() const { return m_rows; }
  int Columns() const { return m_columns; }
  int Cell(int row, int column) const { return m_cells[row][column]; }
  int Top() const { return m_top; }

 private:
  bool DrawDateLine(HDC dc, int x, int y, BOOL drawIt, BOOL selected);
  void DrawSelection(HDC dc, int x, int y, int width, int height);
  void SetCell(int row, int column, int value);
  void AddRect(const RECT& rect, bool hidden);
  void DrawArrow(HDC dc, int x, int y, bool down);
  void ClearCells();
  BOOL MoveTo(int row, int column);
  // One step of each move, whatever the cell shows.
  BOOL NextRow();
  BOOL PrevRow();
  BOOL PrevColumn();
  BOOL NextColumn();
  BOOL Step(BOOL (CObjIcons::*move)());
  bool CellShows(int value) const;

  RECT m_upArrow = {};
  RECT m_downArrow = {};
  int m_top = 0;
  RECT m_rects[kMaxRects] = {};
  int m_rectCount = 0;
  int m_rows = 0;
  int m_columns = 0;
  int m_cells[kCellRows][kCellColumns] = {};
  POINT m_selectedPoint = {-1, -1};
  HBRUSH m_frameBrush = nullptr;
  HBRUSH m_fillBrush = nullptr;
  bool m_dateShown = false;
  bool m_skipBlank = false;  // the bar's moves pass over cells showing nothing
  // Positions that hold an index but no icon (where a scrolling line's
  // icons stop): a tap there starts nothing.
  bool m_hidden[kMaxRects] = {};
};

CObjIcons& Icons();

}  // namespace tessivo
