#include "file_texts.h"

#include "os/file.h"
#include "os/path.h"

namespace vocamo {

std::wstring format_padded_number(int n) {
  const std::wstring text = std::to_wstring(n);
  if (text.size() == 1) return L"0" + text;
  if (text.size() == 2) return text;
  return text.substr(text.size() - 2);
}

std::wstring format_size(std::int32_t bytes) {
  if (bytes == 0) return {};
  if (bytes < 1024) return std::to_wstring(bytes) + L"B";
  if (bytes < 1048576) return std::to_wstring(bytes / 1024) + L"K";
  // In 64 bits: ten times a size above 214 MB does not fit in 32.
  const std::int64_t wide = bytes;
  const std::int64_t megabytes = wide / 1048576;
  const std::int64_t tenths = wide * 10 / 1048576 - megabytes * 10;
  return std::to_wstring(megabytes) + L"," + std::to_wstring(tenths) + L"M";
}

std::wstring format_date_time(const os::DateTime& date_time) {
  return format_padded_number(date_time.month()) + L"/" + format_padded_number(date_time.day()) + L"/" +
         format_padded_number(date_time.year()) + L" " + format_padded_number(date_time.hour()) + L":" +
         format_padded_number(date_time.minute());
}

std::wstring format_duration(double seconds) {
  // Out-of-range times (a damaged file's length) read as 0 rather than
  // overflowing the conversion.
  const int s = seconds >= 0 && seconds < 2.0e9 ? static_cast<int>(seconds) : 0;
  const int hours = s / 3600;
  const int minutes = (s - hours * 3600) / 60;
  const int secs = s - (s / 60) * 60;
  return std::to_wstring(hours) + L":" + format_padded_number(minutes) + L":" + format_padded_number(secs);
}

std::wstring next_record_name(const std::wstring& folder, const std::wstring& prefix, const std::wstring& extension) {
  for (int n = 1; n <= 999; ++n) {
    const std::wstring digits = (n < 10 ? L"00" : n < 100 ? L"0" : L"") + std::to_wstring(n);
    // The extension is appended: a dot in the prefix is part of the name.
    const std::wstring path = os::path_join(folder, prefix + digits + L"." + extension);
    if (!os::FileInfo(path).exists()) return path;
  }
  return {};
}

std::wstring make_file_message(const std::wstring& text, const std::wstring& name, bool question) {
  return text + L"\n\"" + name + L"\"" + (question ? L"?" : L"");
}

}  // namespace vocamo
