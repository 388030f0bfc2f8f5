#include "os/log.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "ce/kernel/debug.h"
#include "ce/strconv.h"
#include "os/registry.h"

namespace liba {

TextOStream<wchar_t>& operator<<(TextOStream<wchar_t>& stream, const wchar_t* text) {
  if (text != nullptr && *text != 0) stream.write(text, text + std::char_traits<wchar_t>::length(text));
  return stream;
}

TextOStream<wchar_t>& operator<<(TextOStream<wchar_t>& stream, const std::wstring& text) {
  stream.write(text.data(), text.data() + text.size());
  return stream;
}

}  // namespace liba

namespace os {

TextOStreamFile<wchar_t>::TextOStreamFile(const std::wstring& path) : file_(path, 1) {
  static const std::uint8_t kMark[2] = {0xFF, 0xFE};
  file_.write(kMark, 2);
}

void TextOStreamFile<wchar_t>::write(const wchar_t* begin, const wchar_t* end) {
  if (begin == end) return;
  std::vector<std::uint8_t> bytes;
  ce::AppendUtf16LE(bytes, std::wstring_view(begin, static_cast<std::size_t>(end - begin)));
  file_.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

void TextOStreamFile<wchar_t>::flush() { file_.flush(); }

void Log<wchar_t>::to_debug_output(const wchar_t* begin, const wchar_t* end) {
  if (closed_) return;
  pending_.append(begin, end);
  std::size_t start = 0;
  for (std::size_t at = pending_.find(L'\n'); at != std::wstring::npos; at = pending_.find(L'\n', start)) {
    OutputDebugStringW(pending_.substr(start, at - start).c_str());
    start = at + 1;
  }
  pending_.erase(0, start);
}

void Log<wchar_t>::write(const wchar_t* begin, const wchar_t* end) {
  liba::Lock lock(lock_);
  TextOStreamFile<wchar_t>::write(begin, end);
  to_debug_output(begin, end);
}

void Log<wchar_t>::flush() {
  liba::Lock lock(lock_);
  TextOStreamFile<wchar_t>::flush();
}

void Log<wchar_t>::close() {
  liba::Lock lock(lock_);
  file_.close();
  if (!closed_ && !pending_.empty()) OutputDebugStringW(pending_.c_str());
  pending_.clear();
  closed_ = true;
}

namespace {

// Enters the section if it comes free within a few tries, yielding between
// them; true when entered.
bool TryFor(liba::CriticalSection& section) {
  constexpr int kTries = 200;
  for (int i = 0; i < kTries; ++i) {
    if (section.try_enter()) return true;
    liba::sleep(0);
  }
  return false;
}

}  // namespace

bool Log<wchar_t>::write_without_waiting(const std::wstring& record) {
  if (!TryFor(lock_)) return false;
  TextOStreamFile<wchar_t>::write(record.data(), record.data() + record.size());
  TextOStreamFile<wchar_t>::flush();
  to_debug_output(record.data(), record.data() + record.size());
  lock_.leave();
  return true;
}

namespace {

// The current stream is swapped under a lock. A stream that is replaced is
// not deleted (another thread may still be writing to it): a retired log has
// its file closed, so it lets go of the file, and is kept until exit.
struct LogState {
  liba::CriticalSection lock;
  bool on = false;
  liba::TextOStream<wchar_t>* current;
  Log<wchar_t>* current_log = nullptr;
  std::vector<std::unique_ptr<liba::TextOStream<wchar_t>>> streams;

  LogState() {
    streams.push_back(std::make_unique<liba::TextOStreamEmpty<wchar_t>>());
    current = streams.back().get();
  }
};

LogState& State() {
  static LogState state;
  return state;
}

// The stream for the registry's switch, with the state's lock held.
liba::TextOStream<wchar_t>& SwitchLocked(LogState& state, bool on) {
  if (on != state.on) {
    state.on = on;
    if (state.current_log != nullptr) state.current_log->close();
    state.current_log = nullptr;
    if (on) {
      auto log = std::make_unique<Log<wchar_t>>(L"%app_full_name%.txt");
      state.current_log = log.get();
      state.streams.push_back(std::move(log));
    } else {
      state.streams.push_back(std::make_unique<liba::TextOStreamEmpty<wchar_t>>());
    }
    state.current = state.streams.back().get();
  }
  return *state.current;
}

bool LogSwitch() {
  std::uint32_t value = 0;
  get_registry_dword(L"HKEY_CURRENT_USER\\Software\\Zentra", L"Log", value);
  return value != 0;
}

}  // namespace

liba::TextOStream<wchar_t>& get_log() {
  const bool on = LogSwitch();
  LogState& state = State();
  liba::Lock lock(state.lock);
  return SwitchLocked(state, on);
}

bool write_log_without_waiting(const std::wstring& record) {
  const bool on = LogSwitch();
  LogState& state = State();
  if (!TryFor(state.lock)) return false;
  SwitchLocked(state, on);
  // A retired log is kept until exit, so the pointer stays good after the
  // state's lock is let go.
  Log<wchar_t>* log = state.current_log;
  state.lock.leave();
  return log == nullptr || log->write_without_waiting(record);
}

}  // namespace os
