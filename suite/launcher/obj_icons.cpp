#include "obj_icons.h"

#include <algorithm>

#include "bar_settings.h"
#include "common/ui_helpers.h"
#include "launcher_state.h"
#include "program_list.h"

namespace tessivo {

CObjIcons::~CObjIcons() {
  if (m_frameBrush != nullptr) DeleteObject(m_frameBrush);
  if (m_fillBrush != nullptr) DeleteObject(m_fillBrush);
}

void CObjIcons::CreateBrushes() {
  if (m_frameBrush != nullptr) DeleteObject(m_frameBrush);
  if (m_fillBrush != nullptr) DeleteObject(m_fillBrush);
  const COLORREF text = State().colors[COLOR_HOMEHIGHLIGHTTEXT];
  const COLORREF fill = State().colors[COLOR_HOMEHIGHLIGHT];
  const COLORREF frame = RGB((GetRValue(text) + GetRValue(fill)) / 2, (GetGValue(text) + GetGValue(fill)) / 2,
                             (GetBValue(text) + GetBValue(fill)) / 2);
  m_frameBrush = CreateSolidBrush(frame);
  m_fillBrush = CreateSolidBrush(fill);
}

void CObjIcons::ClearCells() {
  m_rows = 0;
  m_columns = 0;
  for (auto& row : m_cells) std::fill(std::begin(row), std::end(row), kCodeDate);
}

void CObjIcons::ResetSelection() {
  m_selectedPoint = {-1, -1};
  ClearCells();
}

void CObjIcons::Reset() {
  m_selectedPoint = {-1, -1};
  CreateBrushes();
  ClearCells();
  State().tappedIndex = 0;
  State().firstLine = 1;
}

void CObjIcons::ClearSelection() { State().tappedIndex = 0; }

void CObjIcons::SetCell(int row, int column, int value) {
  // Lines wider than the table keep their icons but leave keyboard moves.
  if (row < 0 || row >= kCellRows || column < 0 || column >= kCellColumns) return;
  m_cells[row][column] = value;
}

void CObjIcons::AddRect(const RECT& rect, bool hidden) {
  if (m_rectCount >= kMaxRects) return;
  m_hidden[m_rectCount] = hidden;
  m_rects[m_rectCount++] = rect;
}

void CObjIcons::DrawSelection(HDC dc, int x, int y, int width, int height) {
  m_selectedPoint = {x, y};
  if (dc == nullptr) return;
  const int w = width != 0 ? width : S(16);
  const int h = height != 0 ? height : S(16);
  const RECT outer = {x - S(2), y - S(2), x + w + S(2), y + h + S(2)};
  RECT inner;
  suite::DeflateRect(&inner, &outer, S(1));
  if (m_frameBrush == nullptr) CreateBrushes();
  FillRect(dc, &outer, m_frameBrush);
  FillRect(dc, &inner, m_fillBrush);
}

bool CObjIcons::DrawDateLine(HDC dc, int x, int y, BOOL drawIt, BOOL selected) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  WCHAR text[kTextCapacity];
  if (GetDateFormatW(0, 0, &now, L"ddd',' MMM d", text, kTextCapacity) <= 0) return false;
  RECT rect = {x, y + S(2), x + 4 * S(16), y + S(2) + S(16)};
  if (drawIt && dc != nullptr) {
    if (State().tappedIndex == kCodeDate && selected) {
      DrawSelection(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    }
    const COLORREF colour = State().colors[selected ? COLOR_HOMEHIGHLIGHTTEXT : COLOR_HOMETEXT];
    suite::DrawTextInFont(dc, text, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE, State().boldFont, colour);
  }
  for (int column = 0; column < 4; ++column) SetCell(0, column, kCodeDate);
  AddRect({x, y, x + 4 * S(16), y + S(2) + S(16)}, false);
  return true;
}

void CObjIcons::DrawArrow(HDC dc, int x, int y, bool down) {
  const suite::CBitmapImage& picture = down ? State().scrollDown : State().scrollUp;
  if (dc == nullptr || !picture.IsLoaded()) return;
  CopyTransparent(dc, x, y, picture.GetWidth() / 3, picture.GetHeight(), picture.GetDC(), 0, 0);
}

void CObjIcons::Draw(HDC dc, int x, int y, BOOL showDate, BOOL drawSelection, int firstLine, BOOL allLines,
                     BOOL staticLines) {
  const CBarSettings& settings = BarSettings();
  LauncherState& state = State();
  const int staticCount = static_cast<int>(settings.numLines);
  const int scrollCount = static_cast<int>(settings.ns);
  const int shownCount = static_cast<int>(settings.sw);
  const int width = state.screenWidth;
  m_top = y;
  m_rectCount = 0;
  m_skipBlank = !allLines;
  ClearCells();

  m_dateShown = false;
  int dateRight = 0;
  if (showDate) {
    const BOOL firstLineShown = staticCount > 0 ? staticLines : (shownCount > 0 && (firstLine == 1 || allLines));
    m_dateShown = DrawDateLine(dc, x, y, firstLineShown, drawSelection);
    dateRight = x + 4 * S(16);
  }

  const std::wstring& noIcon = ProgramList().NoIconText();
  const int arrowWidth = state.scrollDown.IsLoaded() ? state.scrollDown.GetWidth() / 3 : S(14);
  int itemIndex = 0;
  int virtualTop = y + S(2);
  int drawnTop = y + S(2);
  int row = 0;
  bool full = false;
  const int lines = staticCount + scrollCount;
  for (int line = 1; line <= lines && !full; ++line) {
    const bool isStatic = line <= staticCount;
    const bool shown =
        isStatic ? staticLines != 0
                 : (allLines != 0 || (staticCount + firstLine <= line && line < staticCount + firstLine + shownCount));
    const int step = isStatic ? S(16) + S(1) : S(16) + S(2);
    const int limit = isStatic ? width - S(16) : width - S(30) - S(16);
    const int gap = step - S(16);
    int column = 0;
    int px = x + S(1);
    for (; px < limit; px += step, ++column) {
      if (m_rectCount >= kMaxRects || itemIndex >= kIconItemCount) {
        full = true;
        break;
      }
      if (line == 1 && m_dateShown && px < dateRight - S(1)) continue;
      if (shown) {
        const CIconItem& item = settings.Item(itemIndex);
        if (drawSelection && itemIndex == state.tappedIndex && !item.Name().empty() &&
            (allLines || item.Name() != noIcon)) {
          DrawSelection(dc, px, drawnTop, S(16), S(16));
        }
        if (dc != nullptr && item.Icon() != nullptr) {
          DrawIconEx(dc, px, drawnTop, item.Icon(), S(16), S(16), 0, nullptr, DI_NORMAL);
        }
        SetCell(row, column, itemIndex);
      }
      AddRect({px - gap / 2, virtualTop - S(2) / 2, px + S(16) + gap / 2, virtualTop + S(16) + S(2) / 2}, false);
      ++itemIndex;
    }
    int usedColumns = column;
    if (!isStatic) {
      if (shown) {
        const int arrowX = width - S(30);
        const bool firstShown = allLines ? line == staticCount + 1 : line == staticCount + firstLine;
        const bool lastShown = allLines ? line == lines : line == staticCount + firstLine + shownCount - 1;
        if (shownCount == 1 || allLines) {
          if (drawSelection && state.tappedIndex == kCodeDown) DrawSelection(dc, arrowX, drawnTop, arrowWidth, S(16));
          DrawArrow(dc, arrowX, drawnTop, true);
          m_downArrow = {arrowX, drawnTop, arrowX + arrowWidth, drawnTop + S(16)};
          const int upX = arrowX + arrowWidth + 1;
          if (drawSelection && state.tappedIndex == kCodeUp) DrawSelection(dc, upX, drawnTop, arrowWidth, S(16));
          DrawArrow(dc, upX, drawnTop, false);
          m_upArrow = {upX, drawnTop, upX + arrowWidth, drawnTop + S(16)};
          SetCell(row, column, kCodeDown);
          SetCell(row, column + 1, kCodeUp);
          usedColumns = column + 2;
        } else if (firstShown || lastShown) {
          // A page of several lines: up on its first line, down on its last.
          const int code = firstShown ? kCodeUp : kCodeDown;
          if (drawSelection && state.tappedIndex == code) DrawSelection(dc, arrowX, drawnTop, arrowWidth, S(16));
          DrawArrow(dc, arrowX, drawnTop, code == kCodeDown);
          (code == kCodeDown ? m_downArrow : m_upArrow) = {arrowX, drawnTop, arrowX + arrowWidth, drawnTop + S(16)};
          SetCell(row, column, code);
          usedColumns = column + 1;
        }
      }
      // Each scrolling line keeps one index past its icons, never drawn.
      if (!full && m_rectCount < kMaxRects && itemIndex < kIconItemCount) {
        AddRect({px - gap / 2, virtualTop - S(2) / 2, px + S(16) + gap / 2, virtualTop + S(16) + S(2) / 2}, true);
        ++itemIndex;
      }
    }
    if (shown) {
      ++row;
      m_rows = std::min(row, kCellRows);
      m_columns = std::max(m_columns, std::min(usedColumns, kCellColumns));
      drawnTop += S(2) + S(16);
    }
    virtualTop += S(2) + S(16);
  }
  if (m_dateShown && m_rows == 0) m_rows = 1;
  if (m_dateShown) m_columns = std::max(m_columns, 4);
}

int CObjIcons::ButtonClick(int x, int y, BOOL mode, int lineOffset) const {
  const CBarSettings& settings = BarSettings();
  const LauncherState& state = State();
  const int staticCount = static_cast<int>(settings.numLines);
  int yy = y - S(1);
  if (m_top < y) yy -= m_top;
  if (mode) {
    yy += lineOffset - S(57);
    y += S(18) * lineOffset;
  }
  const int row = yy / S(18);
  if (mode && row > 2) return kCodeNothing;
  if (row >= staticCount && x >= state.screenWidth - S(30)) {
    if (settings.sw == 1) return x < state.screenWidth - S(15) ? kCodeDown : kCodeUp;
    if (row == staticCount + state.firstLine - 1) return kCodeUp;
    if (row == staticCount + state.firstLine + static_cast<int>(settings.sw) - 2) return kCodeDown;
    return kCodeNothing;
  }
  for (int i = 0; i < m_rectCount; ++i) {
    const RECT& r = m_rects[i];
    if (!suite::PtInBounds(r.left, r.top, r.right, r.bottom, x, y)) continue;
    if (m_dateShown && i == 0) return kCodeDate;
    if (m_hidden[i]) return kCodeNothing;
    return m_dateShown ? i - 1 : i;
  }
  return kCodeNothing;
}

BOOL CObjIcons::GetSelectedPoint(POINT* point) const {
  if (m_selectedPoint.x == -1) return FALSE;
  if (point != nullptr) *point = m_selectedPoint;
  return TRUE;
}

BOOL CObjIcons::FindSelectedCell(int* column, int* row) const {
  const int tapped = State().tappedIndex;
  for (int r = 0; r < std::min(m_rows, kCellRows); ++r) {
    for (int c = 0; c < std::min(m_columns, kCellColumns); ++c) {
      if (m_cells[r][c] == tapped) {
        *column = c;
        *row = r;
        return TRUE;
      }
    }
  }
  return FALSE;
}

BOOL CObjIcons::MoveTo(int row, int column) {
  if (row < 0 || row >= m_rows || column < 0 || column >= m_columns) return FALSE;
  State().tappedIndex = m_cells[row][column];
  return TRUE;
}

bool CObjIcons::CellShows(int value) const {
  if (!m_skipBlank) return true;
  if (value == kCodeDown || value == kCodeUp) return true;
  if (value == kCodeDate) return m_dateShown;
  if (value < 0 || value >= kIconItemCount) return false;
  const std::wstring& name = BarSettings().Item(value).Name();
  return !name.empty() && name != ProgramList().NoIconText();
}

BOOL CObjIcons::Step(BOOL (CObjIcons::*move)()) {
  // On the bar, a move goes on past cells that show nothing (an empty or
  // "no icon" slot, the date's cells when it is hidden), so the selection
  // never rests where nothing is drawn; the icons dialog stops on every
  // slot, to fill it.
  const int start = State().tappedIndex;
  for (int steps = 0; steps < kCellRows * kCellColumns; ++steps) {
    if (!(this->*move)()) return FALSE;
    if (CellShows(State().tappedIndex)) return TRUE;
  }
  State().tappedIndex = start;
  return FALSE;
}

BOOL CObjIcons::SelectNextRow() { return Step(&CObjIcons::NextRow); }
BOOL CObjIcons::SelectPrevRow() { return Step(&CObjIcons::PrevRow); }
BOOL CObjIcons::SelectPrevColumn() { return Step(&CObjIcons::PrevColumn); }
BOOL CObjIcons::SelectNextColumn() { return Step(&CObjIcons::NextColumn); }

BOOL CObjIcons::NextRow() {
  int column = 0;
  int row = 0;
  if (!FindSelectedCell(&column, &row)) return 0;
  return MoveTo(row + 1 >= m_rows ? 0 : row + 1, column);
}

BOOL CObjIcons::PrevRow() {
  int column = 0;
  int row = 0;
  if (!FindSelectedCell(&column, &row)) return 0;
  return MoveTo(row == 0 ? m_rows - 1 : row - 1, column);
}

BOOL CObjIcons::PrevColumn() {
  int column = 0;
  int row = 0;
  if (!FindSelectedCell(&column, &row)) return 0;
  if (column > 0) return MoveTo(row, column - 1);
  return MoveTo(row == 0 ? m_rows - 1 : row - 1, m_columns - 1);
}

BOOL CObjIcons::NextColumn() {
  int column = 0;
  int row = 0;
  if (!FindSelectedCell(&column, &row)) return 0;
  if (column >= m_columns - 1) return MoveTo(row + 1 >= m_rows ? 0 : row + 1, 0);
  // From the date, past its four cells.
  const int next = m_cells[row][column] == kCodeDate ? column + 4 : column + 1;
  if (next >= m_columns) return MoveTo(row + 1 >= m_rows ? 0 : row + 1, 0);
  return MoveTo(row, next);
}

CObjIcons& Icons() {
  static CObjIcons icons;
  return icons;
}

}  // namespace tessivo
