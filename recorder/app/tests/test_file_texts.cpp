// The list's and the form's texts, and the next free recording name.
#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>

#include "ce/winbase.h"
#include "file_texts.h"
#include "os/file.h"
#include "temp_device.h"

namespace {

TEST(FileTexts, SizeTexts) {
  const struct {
    std::int32_t bytes;
    const wchar_t* text;
  } cases[] = {
      {0, L""},           {1023, L"1023B"},   {1024, L"1K"},          {1048575, L"1023K"},    {1048576, L"1,0M"},
      {1572864, L"1,5M"}, {5000000, L"4,7M"}, {214748365, L"204,8M"}, {INT32_MAX, L"2047,9M"}};
  for (const auto& c : cases) EXPECT_EQ(vocamo::format_size(c.bytes), c.text) << c.bytes;
}

TEST(FileTexts, DurationsNumbersAndDates) {
  EXPECT_EQ(vocamo::format_duration(3725.9), L"1:02:05");
  EXPECT_EQ(vocamo::format_duration(0), L"0:00:00");
  // A damaged file's time reads as nothing rather than overflowing.
  EXPECT_EQ(vocamo::format_duration(std::nan("")), L"0:00:00");
  EXPECT_EQ(vocamo::format_duration(1e300), L"0:00:00");
  EXPECT_EQ(vocamo::format_padded_number(2026), L"26");
  EXPECT_EQ(vocamo::format_padded_number(5), L"05");
  os::DateTime when;
  when.system_time.wYear = 2026;
  when.system_time.wMonth = 12;
  when.system_time.wDay = 8;
  when.system_time.wHour = 9;
  when.system_time.wMinute = 5;
  EXPECT_EQ(vocamo::format_date_time(when), L"12/08/26 09:05");
  EXPECT_EQ(vocamo::make_file_message(L"Delete", L"a.wav", true), L"Delete\n\"a.wav\"?");
  EXPECT_EQ(vocamo::make_file_message(L"Gone", L"a.wav", false), L"Gone\n\"a.wav\"");
}

TEST(FileTexts, NextRecordNameTakesTheFirstGap) {
  ce::test::TempDevice device;
  CreateDirectoryW(L"\\Rec", nullptr);
  for (int n = 1; n <= 999; ++n) {
    if (n == 42) continue;
    wchar_t name[32];
    swprintf(name, 32, L"\\Rec\\memo%03d.mp3", n);
    os::File(name, 1);
  }
  EXPECT_EQ(vocamo::next_record_name(L"\\Rec", L"memo", L"mp3"), L"\\Rec\\memo042.mp3");
  os::File(L"\\Rec\\memo042.mp3", 1);
  EXPECT_EQ(vocamo::next_record_name(L"\\Rec", L"memo", L"mp3"), L"");
  // Another extension is another name.
  EXPECT_EQ(vocamo::next_record_name(L"\\Rec", L"memo", L"wav"), L"\\Rec\\memo001.wav");
}

}  // namespace
