// GetDateFormatW and GetTimeFormatW: pictures of the device's one locale
// (English, United States) applied to a SYSTEMTIME.
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "ce/winnls.h"

namespace {

constexpr const wchar_t* kShortDate = L"M/d/yyyy";
constexpr const wchar_t* kLongDate = L"dddd, MMMM dd, yyyy";
constexpr const wchar_t* kTime = L"h:mm:ss tt";

constexpr const wchar_t* kDayNames[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                        L"Thursday", L"Friday", L"Saturday"};
constexpr const wchar_t* kDayAbbreviations[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
constexpr const wchar_t* kMonthNames[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                          L"July",    L"August",   L"September", L"October", L"November", L"December"};
constexpr const wchar_t* kMonthAbbreviations[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                                  L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};

bool KnownLocale(LCID locale) {
  return locale == LOCALE_NEUTRAL || locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT ||
         locale == LOCALE_EN_US;
}

bool IsLeap(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Day of the week (0 = Sunday) of a Gregorian date, by Sakamoto's rule.
unsigned DayOfWeek(unsigned year, unsigned month, unsigned day) {
  static constexpr unsigned kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
}

// One piece of a picture: a run of the same field letter, or literal text.
struct Piece {
  wchar_t letter = 0;  // 0 for literal text
  std::size_t count = 0;
  std::wstring text;
};

std::vector<Piece> Split(std::wstring_view picture, std::wstring_view letters) {
  std::vector<Piece> pieces;
  auto literal = [&]() -> std::wstring& {
    if (pieces.empty() || pieces.back().letter != 0) pieces.push_back(Piece{});
    return pieces.back().text;
  };
  for (std::size_t i = 0; i < picture.size();) {
    const wchar_t c = picture[i];
    if (c == L'\'') {
      // Quoted text up to the closing quote (or the end); '' is one quote.
      ++i;
      std::wstring& text = literal();
      while (i < picture.size()) {
        if (picture[i] == L'\'') {
          if (i + 1 < picture.size() && picture[i + 1] == L'\'') {
            text += L'\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        text += picture[i++];
      }
      continue;
    }
    if (letters.find(c) != std::wstring_view::npos) {
      std::size_t run = 1;
      while (i + run < picture.size() && picture[i + run] == c) ++run;
      pieces.push_back(Piece{c, run, {}});
      i += run;
      continue;
    }
    literal() += c;
    ++i;
  }
  return pieces;
}

// Removes the fields with the given letters and the literal text that joins
// each to the field before it (or, for a leading field, to the one after).
void Drop(std::vector<Piece>& pieces, std::wstring_view letters) {
  for (std::size_t i = 0; i < pieces.size();) {
    if (pieces[i].letter == 0 || letters.find(pieces[i].letter) == std::wstring_view::npos) {
      ++i;
      continue;
    }
    const bool fieldBefore = i >= 2 && pieces[i - 2].letter != 0;
    if (i >= 1 && pieces[i - 1].letter == 0 && fieldBefore) {
      pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i - 1),
                   pieces.begin() + static_cast<std::ptrdiff_t>(i + 1));
      --i;
    } else if (i == 0 && pieces.size() > 1 && pieces[1].letter == 0) {
      pieces.erase(pieces.begin(), pieces.begin() + 2);
    } else {
      pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

std::wstring Number(unsigned value, std::size_t digits) {
  std::wstring text = std::to_wstring(value);
  while (text.size() < digits) text.insert(text.begin(), L'0');
  return text;
}

std::wstring FormatDate(const std::vector<Piece>& pieces, const SYSTEMTIME& date) {
  const unsigned weekday = DayOfWeek(date.wYear, date.wMonth, date.wDay);
  std::wstring out;
  for (const Piece& p : pieces) {
    switch (p.letter) {
      case 0:
        out += p.text;
        break;
      case L'd':
        if (p.count <= 2) {
          out += Number(date.wDay, p.count);
        } else {
          out += p.count == 3 ? kDayAbbreviations[weekday] : kDayNames[weekday];
        }
        break;
      case L'M':
        if (p.count <= 2) {
          out += Number(date.wMonth, p.count);
        } else {
          out += p.count == 3 ? kMonthAbbreviations[date.wMonth - 1] : kMonthNames[date.wMonth - 1];
        }
        break;
      case L'y':
        if (p.count == 1) {
          out += Number(date.wYear % 100, 1);
        } else if (p.count == 2) {
          out += Number(date.wYear % 100, 2);
        } else {
          out += Number(date.wYear, 4);
        }
        break;
      case L'g':
        out += L"A.D.";
        break;
      default:
        break;
    }
  }
  return out;
}

std::wstring FormatTime(const std::vector<Piece>& pieces, const SYSTEMTIME& time, bool force24) {
  std::wstring out;
  for (const Piece& p : pieces) {
    const std::size_t digits = p.count >= 2 ? 2 : 1;
    switch (p.letter) {
      case 0:
        out += p.text;
        break;
      case L'h':
        if (force24) {
          out += Number(time.wHour, digits);
        } else {
          out += Number(time.wHour % 12 == 0 ? 12 : time.wHour % 12, digits);
        }
        break;
      case L'H':
        out += Number(time.wHour, digits);
        break;
      case L'm':
        out += Number(time.wMinute, digits);
        break;
      case L's':
        out += Number(time.wSecond, digits);
        break;
      case L't':
        // The marker stays with a forced 24-hour clock, as the picture asks.
        out += p.count == 1 ? (time.wHour < 12 ? L"A" : L"P") : (time.wHour < 12 ? L"AM" : L"PM");
        break;
      default:
        break;
    }
  }
  return out;
}

SYSTEMTIME LocalNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return now;
}

// Copies the text and its terminator as the count asks.
int Deliver(const std::wstring& text, LPWSTR buffer, int count) {
  const auto needed = static_cast<int>(text.size() + 1);
  if (count == 0) return needed;
  if (count < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::wmemcpy(buffer, text.c_str(), text.size() + 1);
  return needed;
}

bool BadArguments(LCID locale, LPWSTR buffer, int count) {
  if (!KnownLocale(locale) || count < 0 || (count > 0 && buffer == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return true;
  }
  return false;
}

}  // namespace

int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR dateText, int count) {
  if (BadArguments(locale, dateText, count)) return 0;
  constexpr DWORD kKnown = DATE_SHORTDATE | DATE_LONGDATE | LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP;
  const DWORD kind = flags & (DATE_SHORTDATE | DATE_LONGDATE);
  if ((flags & ~kKnown) != 0 || kind == (DATE_SHORTDATE | DATE_LONGDATE) ||
      (format != nullptr && (kind != 0 || (flags & LOCALE_NOUSEROVERRIDE) != 0))) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const SYSTEMTIME value = date ? *date : LocalNow();
  if (value.wYear < 1601 || value.wYear > 30827 || value.wMonth < 1 || value.wMonth > 12 || value.wDay < 1 ||
      value.wDay > DaysInMonth(value.wYear, value.wMonth)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const wchar_t* picture = format ? format : (kind == DATE_LONGDATE ? kLongDate : kShortDate);
  return Deliver(FormatDate(Split(picture, L"dMyg"), value), dateText, count);
}

int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR timeText, int count) {
  if (BadArguments(locale, timeText, count)) return 0;
  constexpr DWORD kKnown = TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT |
                           LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP;
  if ((flags & ~kKnown) != 0 || (format != nullptr && (flags & LOCALE_NOUSEROVERRIDE) != 0)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const SYSTEMTIME value = time ? *time : LocalNow();
  if (value.wHour > 23 || value.wMinute > 59 || value.wSecond > 59 || value.wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::vector<Piece> pieces = Split(format ? format : kTime, L"hHmst");
  if (flags & TIME_NOMINUTESORSECONDS) Drop(pieces, L"ms");
  if (flags & TIME_NOSECONDS) Drop(pieces, L"s");
  if (flags & TIME_NOTIMEMARKER) Drop(pieces, L"t");
  return Deliver(FormatTime(pieces, value, (flags & TIME_FORCE24HOURFORMAT) != 0), timeText, count);
}
