#include <gtest/gtest.h>

#include <memory>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/handle_table.h"
#include "kernel/handles.h"

namespace {

using ce::kernel::HandleKind;
using ce::kernel::KernelObject;

struct Probe : KernelObject {
  explicit Probe(bool* destroyed) : KernelObject(HandleKind::Event), destroyed_(destroyed) {}
  ~Probe() override { *destroyed_ = true; }
  bool* destroyed_;
};

// The table every handle kind is built on, small enough to fill: a full
// table refuses, a removed slot is reused under a new generation, and
// generations wrap at the mask the handle values keep.
TEST(HandleTable, FillsReusesSlotsAndWrapsGenerations) {
  ce::kernel::HandleTable<int> table(2, 0x3);
  const auto a = table.Insert(std::make_shared<int>(1));
  const auto b = table.Insert(std::make_shared<int>(2));
  ASSERT_TRUE(a && b);
  EXPECT_FALSE(table.Insert(std::make_shared<int>(3))) << "the table is full";
  ASSERT_NE(table.Find(*b), nullptr);
  EXPECT_EQ(**table.Find(*b), 2);

  auto slot = *a;
  for (std::uint32_t round = 1; round <= 4; ++round) {
    const auto removed = table.Remove(slot);
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(table.Find(slot), nullptr);
    EXPECT_EQ(table.Remove(slot), nullptr) << "a slot is removed once";
    const auto again = table.Insert(std::make_shared<int>(10 + static_cast<int>(round)));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->index, a->index);
    EXPECT_EQ(again->generation, round & 0x3);
    EXPECT_EQ(table.Find(slot), nullptr) << "the old generation names nothing";
    slot = *again;
  }
  EXPECT_EQ(slot.generation, a->generation) << "four removals wrap a two-bit generation";
  EXPECT_EQ(table.Find(ce::kernel::HandleTable<int>::Slot{7, 0}), nullptr);
}

TEST(Handles, LookupChecksKindAndLiveness) {
  bool destroyed = false;
  HANDLE h = ce::kernel::InsertHandle(std::make_shared<Probe>(&destroyed));
  ASSERT_NE(h, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_NE(ce::kernel::LookupHandle(h, HandleKind::Event), nullptr);
  EXPECT_NE(ce::kernel::LookupHandle(h, HandleKind::Any), nullptr);

  SetLastError(0);
  EXPECT_EQ(ce::kernel::LookupHandle(h, HandleKind::File), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  EXPECT_TRUE(CloseHandle(h));
  EXPECT_TRUE(destroyed);
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(h)) << "a closed handle cannot be closed twice";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Handles, ReusedSlotDoesNotAnswerToStaleHandle) {
  bool a = false;
  bool b = false;
  HANDLE first = ce::kernel::InsertHandle(std::make_shared<Probe>(&a));
  ASSERT_TRUE(CloseHandle(first));
  HANDLE second = ce::kernel::InsertHandle(std::make_shared<Probe>(&b));
  EXPECT_NE(first, second);
  EXPECT_EQ(ce::kernel::LookupHandle(first, HandleKind::Any), nullptr);
  EXPECT_NE(ce::kernel::LookupHandle(second, HandleKind::Any), nullptr);
  EXPECT_TRUE(CloseHandle(second));
}

TEST(Handles, ObjectOutlivesCloseWhileInUse) {
  bool destroyed = false;
  HANDLE h = ce::kernel::InsertHandle(std::make_shared<Probe>(&destroyed));
  auto held = ce::kernel::LookupHandle(h, HandleKind::Any);
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_FALSE(destroyed);
  held.reset();
  EXPECT_TRUE(destroyed);
}

TEST(Handles, ForeignValuesAreRefused) {
  for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x1234567),
                     reinterpret_cast<HANDLE>(0x80000001)}) {
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
}

TEST(Strconv, RoundTripsThroughUtf16AndUtf8) {
  const std::wstring text = L"Caf\u00e9 \u20ac \U0001F3B1";
  EXPECT_EQ(ce::WideFromUtf16(ce::Utf16FromWide(text)), text);
  EXPECT_EQ(ce::WideFromUtf8(ce::Utf8FromWide(text)), text);
  std::vector<std::uint8_t> bytes;
  ce::AppendUtf16LE(bytes, L"A\u20ac");
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x41, 0x00, 0xAC, 0x20}));
  EXPECT_EQ(ce::WideFromUtf16LE(bytes.data(), bytes.size()), L"A\u20ac");
}

TEST(Strconv, BadSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(ce::WideFromUtf8("a\xff"
                             "b\xc3"),
            L"a\ufffdb\ufffd");
  EXPECT_EQ(ce::WideFromUtf8("\xe0\x80\x80"), L"\ufffd") << "overlong form";
  const char16_t lone[] = {0xD800, u'x'};
  EXPECT_EQ(ce::WideFromUtf16(std::u16string_view(lone, 2)), L"\ufffdx");
}

TEST(Strconv, CaseFoldingIgnoresHostLocale) {
  EXPECT_TRUE(ce::EqualsNoCase(L"My Documents\\\u00c9T\u00c9", L"my documents\\\u00e9t\u00e9"));
  EXPECT_EQ(ce::ToUpperInvariant(L'\u00ff'), L'\u0178');
  EXPECT_EQ(ce::ToUpperInvariant(L'\u00df'), L'\u00df');
  EXPECT_EQ(ce::ToLowerInvariant(L'\u0141'), L'\u0142');
  EXPECT_LT(ce::CompareNoCase(L"abc", L"ABD"), 0);
  EXPECT_GT(ce::CompareNoCase(L"abcd", L"ABC"), 0);
}

}  // namespace
