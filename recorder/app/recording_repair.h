// Repair of a recording cut off by a crash, a killed process or a dead
// battery. While a recording runs, a small marker file in the program's
// folder names it; a clean stop removes the marker. The next start finds
// the marker and mends the file before the list is read:
// - a WAV file gets the data, RIFF and "fact" sizes of what it holds (the
//   writer refreshes them only about once a second), cut back to whole
//   blocks;
// - an MP3 file is cut back to its last whole frame;
// - a recording that holds no whole block or frame (killed before the
//   first was written: empty, or cut inside its header or first frame) is
//   deleted, and the log says so: it could never play.
// Anything that is not such a file of the recorder's is left as it is.
#pragma once

#include <string>

namespace vocamo {

// The marker's name in the program's folder.
inline constexpr const wchar_t* kUnfinishedMarker = L"%app_path%/Recording.txt";

// Names `recording` as the one being made; false when the marker could not
// be written.
bool mark_unfinished(const std::wstring& marker, const std::wstring& recording);
// The recording is complete: the marker goes.
void clear_unfinished(const std::wstring& marker);
// The path the marker names, or "" when there is none (or it is unreadable).
std::wstring read_unfinished(const std::wstring& marker);

// Mends the recording the marker names, if any, and removes the marker.
// Answers whether a file was changed.
bool repair_unfinished(const std::wstring& marker);

// Mends one recording by its extension ("wav" or "mp3"); answers whether
// the file was changed or deleted. A mended file keeps its modification
// time, so the list shows when it was recorded.
bool repair_recording(const std::wstring& path);

}  // namespace vocamo
