// The small texts the recordings list and the main form show (sizes, dates,
// durations), the message texts of the file operations, and the choice of
// the next free name for a new recording.
#pragma once

#include <cstdint>
#include <string>

#include "os/date_time.h"

namespace vocamo {

// The last two digits of n, with a leading zero below 10.
std::wstring format_padded_number(int n);
// "" for 0, then bytes ("1023B"), kilobytes ("1023K") or megabytes with one
// decimal after a comma ("1,5M").
std::wstring format_size(std::int32_t bytes);
// "MM/DD/YY hh:mm".
std::wstring format_date_time(const os::DateTime& date_time);
// "h:mm:ss" of whole seconds.
std::wstring format_duration(double seconds);
// The first of prefix001 .. prefix999 with the extension that does not exist
// in the folder; empty when all do.
std::wstring next_record_name(const std::wstring& folder, const std::wstring& prefix, const std::wstring& extension);
// A message about a file: the text, a line feed, the quoted name, and a
// question mark for a question.
std::wstring make_file_message(const std::wstring& text, const std::wstring& name, bool question);

}  // namespace vocamo
