// The four save files: exact sizes and layouts, the old careers form, the
// preference rules, writes that never tear a save, and refusal of damaged
// files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "save_test_support.h"
#include "saves/byte_io.h"
#include "saves/save_file.h"
#include "saves/save_store.h"

namespace {

using namespace ks::app;
using apptest::DeviceFileExists;
using apptest::ReadDeviceFile;
using apptest::WriteDeviceFile;

constexpr std::array<std::uint8_t, 5> kGapi = {0x26, 0x28, 0x25, 0x27, 13};

class Saves : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(L"\\Docs", nullptr);
    CreateDirectoryW(L"\\Prog", nullptr);
    for (const wchar_t* name : {kCareersFile, kPrefsFile, kPlayersFile, kQuickPlayFile}) {
      DeleteFileW(Docs(name).c_str());
      DeleteFileW((Docs(name) + L".new").c_str());
      DeleteFileW((Docs(name) + L".bad").c_str());
      DeleteFileW(Prog(name).c_str());
    }
    SetSaveWriteLimitForTesting(-1);
  }
  void TearDown() override { SetSaveWriteLimitForTesting(-1); }
  static std::wstring Docs(const wchar_t* name) { return SavePath(L"\\Docs", name); }
  static std::wstring Prog(const wchar_t* name) { return SavePath(L"\\Prog", name); }
  SaveStore m_Store{L"\\Docs", L"\\Prog"};
};

TEST_F(Saves, FirstStartWritesEmptyCareersAndDefaultPrefsButNoPlayers) {
  const Careers careers = m_Store.LoadCareers();
  EXPECT_TRUE(careers.records.empty());
  const Prefs prefs = m_Store.LoadPrefs(kGapi);
  m_Store.LoadPlayers();

  const std::vector<std::uint8_t> c = ReadDeviceFile(Docs(kCareersFile));
  ASSERT_EQ(c.size(), 22152u);
  EXPECT_EQ(GetU32(c.data(), 0), 0xAA55u);
  EXPECT_EQ(GetU32(c.data(), 4), 0u);
  EXPECT_TRUE(std::all_of(c.begin() + 8, c.end(), [](std::uint8_t b) { return b == 0; }));

  const std::vector<std::uint8_t> p = ReadDeviceFile(Docs(kPrefsFile));
  ASSERT_EQ(p.size(), 140u);
  EXPECT_EQ(GetU16(p.data(), 0), 5648);
  EXPECT_EQ(GetU32(p.data(), 104), 0xA7C40000u);
  const std::pair<int, int> defaults[] = {{2, 128}, {3, 0},   {4, 50},  {5, 5},  {6, 2},  {10, 7}, {11, 1},
                                          {12, 8},  {15, 1},  {16, 10}, {17, 1}, {19, 1}, {22, 1}, {23, 2},
                                          {24, 3},  {26, 50}, {28, 1},  {29, 1}, {21, 0}, {36, 0}, {40, 0}};
  for (const auto& [at, value] : defaults) EXPECT_EQ(p[static_cast<std::size_t>(at)], value) << "byte " << at;
  // Key map: fixed codes and the device's GAPI keys.
  const std::uint8_t* keys = p.data() + 108;
  EXPECT_EQ(keys[0], 0x73);
  EXPECT_EQ(keys[5], 13);
  EXPECT_EQ(keys[8], 0x26);
  EXPECT_EQ(keys[11], 0x27);
  EXPECT_EQ(keys[15], 27);
  EXPECT_EQ(keys[29], 0x77);
  EXPECT_EQ(prefs.keys[28], 0x78);

  EXPECT_FALSE(DeviceFileExists(Docs(kPlayersFile)));
}

TEST_F(Saves, OldCareersFileConvertsAndTheNextSaveWritesTheCurrentForm) {
  std::vector<std::uint8_t> old(4 + 2 * kOldCareerRecordSize, 0);
  PutU32(old.data(), 0, 2);
  for (int r = 0; r < 2; ++r) {
    std::uint8_t* rec = old.data() + 4 + r * kOldCareerRecordSize;
    PutS32(rec, 0, 1000 + r);
    PutU16(rec, 6, 1300);
    PutU16(rec, 8, 7);
    PutU16(rec, 10, 9);
    for (int i = 0; i < 11; ++i) rec[14 + i] = static_cast<std::uint8_t>(0x40 + i);
    rec[25] = 2;                                       // game type
    rec[26] = 1;                                       // difficulty
    rec[29] = 3;                                       // level
    rec[31] = 1;                                       // held
    rec[32] = 2;                                       // room
    PutU16(rec, 34, static_cast<std::uint16_t>(-25));  // a negative bet
    rec[36] = 0x11;
    rec[37] = 0x12;
    rec[38] = 0x13;
    rec[39] = 4;  // chosen row
    std::memcpy(rec + 40, "oldtimer", 9);
    for (int i = 0; i < 20; ++i) rec[72 + i] = static_cast<std::uint8_t>(i + 1);
    for (int i = 0; i < 776; ++i) rec[92 + i] = static_cast<std::uint8_t>(i * 7);
  }
  WriteDeviceFile(Docs(kCareersFile), old);

  Careers careers = m_Store.LoadCareers();
  ASSERT_EQ(careers.records.size(), 2u);
  ASSERT_TRUE(m_Store.SaveCareers(careers));
  const std::vector<std::uint8_t> now = ReadDeviceFile(Docs(kCareersFile));
  ASSERT_EQ(now.size(), kCareersFileSize);
  EXPECT_EQ(GetU32(now.data(), 0), 0xAA55u);
  EXPECT_EQ(GetU32(now.data(), 4), 2u);
  const std::uint8_t* rec = now.data() + 8 + kCareerRecordSize;  // the second record
  EXPECT_EQ(GetS32(rec, 0), 1001);
  EXPECT_EQ(GetU16(rec, 6), 1300);
  EXPECT_EQ(GetU16(rec, 10), 9);
  EXPECT_EQ(rec[14], 0x40);
  EXPECT_EQ(rec[24], 0x4A);
  EXPECT_EQ(rec[25], 2);
  EXPECT_EQ(rec[29], 3);
  EXPECT_EQ(rec[32], 2);
  EXPECT_EQ(GetS32(rec, 36), -25) << "the bet is sign-extended";
  EXPECT_EQ(rec[40], 0x11);
  EXPECT_EQ(rec[43], 4);
  EXPECT_STREQ(reinterpret_cast<const char*>(rec + 44), "oldtimer");
  EXPECT_EQ(rec[76], 1);
  EXPECT_EQ(rec[95], 20);
  EXPECT_EQ(rec[96], 0);
  EXPECT_EQ(rec[96 + 775], static_cast<std::uint8_t>(775 * 7));
  EXPECT_TRUE(std::all_of(rec + 872, rec + kCareerRecordSize, [](std::uint8_t b) { return b == 0; }));
}

TEST_F(Saves, CareerRecordLayoutRoundTrips) {
  Careers careers;
  careers.records.push_back(CareerRecord::Fresh());
  CareerRecord& r = careers.records[0];
  r.money = -5;
  r.bet = 123456;
  std::strcpy(r.nickname.data(), "shark");
  r.heldState[1287] = 0xEE;
  ASSERT_TRUE(m_Store.SaveCareers(careers));
  const std::vector<std::uint8_t> bytes = ReadDeviceFile(Docs(kCareersFile));
  const std::uint8_t* rec = bytes.data() + 8;
  EXPECT_EQ(GetS32(rec, 0), -5);
  EXPECT_EQ(GetU16(rec, 6), 1100);
  EXPECT_EQ(rec[25], 3);
  EXPECT_EQ(rec[27], 1);
  EXPECT_EQ(rec[30], 1);
  EXPECT_EQ(GetS32(rec, 36), 123456);
  EXPECT_EQ(rec[1383], 0xEE);
  const Careers back = m_Store.LoadCareers();
  ASSERT_EQ(back.records.size(), 1u);
  EXPECT_STREQ(back.records[0].nickname.data(), "shark");
}

TEST_F(Saves, DamagedCareersFilesAreRefusedLoggedAndKept) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases;
  std::vector<std::uint8_t> good = Careers{}.Serialise();
  auto with = [&](auto change) {
    std::vector<std::uint8_t> b = good;
    change(b);
    return b;
  };
  cases.push_back({"count 17", with([](auto& b) { PutU32(b.data(), 4, 17); })});
  cases.push_back({"count 0xFFFFFFFF", with([](auto& b) { PutU32(b.data(), 4, 0xFFFFFFFFu); })});
  cases.push_back({"truncated", with([](auto& b) { b.resize(b.size() - 1); })});
  cases.push_back({"one byte too many", with([](auto& b) { b.push_back(0); })});
  cases.push_back({"oversized", std::vector<std::uint8_t>(100000, 0xAA)});
  cases.push_back({"old form, short", with([](auto& b) {
                     b.assign(4 + 868 - 1, 0);
                     PutU32(b.data(), 0, 1);
                   })});
  cases.push_back({"two bytes", {0x55, 0xAA}});
  for (const Case& c : cases) {
    apptest::LogCapture log;
    WriteDeviceFile(Docs(kCareersFile), c.bytes);
    DeleteFileW((Docs(kCareersFile) + L".bad").c_str());
    const Careers careers = m_Store.LoadCareers();
    EXPECT_TRUE(careers.records.empty()) << c.what;
    EXPECT_NE(log.Text().find(L"ksCareers.dat"), std::wstring::npos) << c.what;
    EXPECT_EQ(ReadDeviceFile(Docs(kCareersFile)), c.bytes) << c.what << ": the file is left until a save";
  }
}

TEST_F(Saves, OutOfRangeCareerFieldsAndUnterminatedNicknamesAreTamed) {
  Careers careers;
  careers.records.push_back(CareerRecord::Fresh());
  careers.records.push_back(CareerRecord::Fresh());
  careers.records[1].level = 6;  // a career won: every champion beaten
  std::vector<std::uint8_t> bytes = careers.Serialise();
  std::uint8_t* rec = bytes.data() + 8;
  rec[25] = 9;
  rec[26] = 200;
  rec[29] = 40;
  rec[32] = 6;
  rec[43] = 77;
  std::memset(rec + 44, 'x', 32);  // no terminator
  WriteDeviceFile(Docs(kCareersFile), bytes);
  const Careers back = m_Store.LoadCareers();
  ASSERT_EQ(back.records.size(), 2u);
  const CareerRecord& r = back.records[0];
  EXPECT_LT(r.gameType, 6);
  EXPECT_LT(r.difficulty, 4);
  EXPECT_LE(r.level, kFinalLevel);
  EXPECT_EQ(back.records[1].level, kFinalLevel) << "a won career stays won";
  EXPECT_LT(r.currentRoom, 6);
  EXPECT_LT(r.chosenRow, 6);
  EXPECT_EQ(std::strlen(r.nickname.data()), 31u);
}

TEST_F(Saves, PreferencesMagicVersionAndForcedBytes) {
  Prefs stored;
  stored.Defaults();
  stored.DefaultKeys(kGapi);
  stored[pref::kVolume] = 3;
  stored[pref::kMusic] = 1;
  stored[pref::kStrokeFactor] = 2;
  stored.keys[0] = 0x41;  // the user's own assignment
  struct Case {
    const char* what;
    std::uint16_t magic;
    std::uint32_t version;
    int volume;      // expected byte 16 after the load
    int key0;        // expected key map entry 0
    bool rewritten;  // the file was written again at once
  };
  const Case cases[] = {
      {"accepted", 5648, 0xA7C40000u, 3, 0x41, false},
      {"any low half", 5648, 0xA7C41234u, 3, 0x41, false},
      {"wrong version keeps the block", 5648, 0x12340000u, 3, 0x73, true},
      {"wrong magic resets all", 1234, 0xA7C40000u, 10, 0x73, true},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = stored.Serialise();
    PutU16(bytes.data(), 0, c.magic);
    PutU32(bytes.data(), 104, c.version);
    WriteDeviceFile(Docs(kPrefsFile), bytes);
    const Prefs p = m_Store.LoadPrefs(kGapi);
    EXPECT_EQ(p[pref::kVolume], c.volume) << c.what;
    EXPECT_EQ(p.keys[0], c.key0) << c.what;
    EXPECT_EQ(p[pref::kMusic], 0) << c.what;
    EXPECT_EQ(p[pref::kStrokeFactor], 8) << c.what;
    const std::vector<std::uint8_t> after = ReadDeviceFile(Docs(kPrefsFile));
    ASSERT_EQ(after.size(), 140u);
    EXPECT_EQ(after != bytes, c.rewritten) << c.what;
    if (c.rewritten) {
      EXPECT_EQ(GetU32(after.data(), 104), 0xA7C40000u) << c.what;
    }
  }
}

TEST_F(Saves, ShortOrOversizedPreferencesFallBackToDefaults) {
  for (std::size_t size : {0u, 50u, 104u, 107u, 141u, 4000u}) {
    apptest::LogCapture log;
    std::vector<std::uint8_t> bytes(size, 0x7F);
    if (size >= 2) PutU16(bytes.data(), 0, 5648);
    WriteDeviceFile(Docs(kPrefsFile), bytes);
    const Prefs p = m_Store.LoadPrefs(kGapi);
    EXPECT_EQ(p[pref::kVolume], 10) << size;
    EXPECT_EQ(ReadDeviceFile(Docs(kPrefsFile)).size(), 140u) << size;
  }
  // A block with its key map cut short keeps the block, with default keys.
  Prefs stored;
  stored.Defaults();
  stored[pref::kVolume] = 4;
  std::vector<std::uint8_t> bytes = stored.Serialise();
  bytes.resize(120);
  WriteDeviceFile(Docs(kPrefsFile), bytes);
  const Prefs p = m_Store.LoadPrefs(kGapi);
  EXPECT_EQ(p[pref::kVolume], 4);
  EXPECT_EQ(p.keys[0], 0x73);
}

TEST_F(Saves, FilesFromTheProgramFolderServeAsDefaults) {
  Prefs shipped;
  shipped.Defaults();
  shipped[pref::kVolume] = 6;
  WriteDeviceFile(Prog(kPrefsFile), shipped.Serialise());
  EXPECT_EQ(m_Store.LoadPrefs(kGapi)[pref::kVolume], 6);
  Prefs mine = shipped;
  mine[pref::kVolume] = 2;
  ASSERT_TRUE(m_Store.SavePrefs(mine));
  EXPECT_EQ(m_Store.LoadPrefs(kGapi)[pref::kVolume], 2) << "the documents folder comes first";
  EXPECT_EQ(ReadDeviceFile(Prog(kPrefsFile)), shipped.Serialise()) << "the shipped copy is never written";
}

TEST_F(Saves, AFailedOrInterruptedWriteLeavesTheOldFileWhole) {
  Careers one;
  one.records.push_back(CareerRecord::Fresh());
  ASSERT_TRUE(m_Store.SaveCareers(one));
  const std::vector<std::uint8_t> before = ReadDeviceFile(Docs(kCareersFile));

  Careers two = one;
  two.records.push_back(CareerRecord::Fresh());
  apptest::LogCapture log;
  SetSaveWriteLimitForTesting(5000);  // the write stops part-way, as a killed program's would
  EXPECT_FALSE(m_Store.SaveCareers(two));
  SetSaveWriteLimitForTesting(-1);
  EXPECT_NE(log.Text().find(L"Career save fail"), std::wstring::npos);
  EXPECT_EQ(ReadDeviceFile(Docs(kCareersFile)), before);
  EXPECT_EQ(m_Store.LoadCareers().records.size(), 1u);

  // A complete write replaces it.
  ASSERT_TRUE(m_Store.SaveCareers(two));
  EXPECT_EQ(m_Store.LoadCareers().records.size(), 2u);
  EXPECT_FALSE(DeviceFileExists(Docs(kCareersFile) + L".new"));
}

TEST_F(Saves, AFinishedReplacementIsTakenWhenTheSaveItselfIsGone) {
  Careers two;
  two.records.assign(2, CareerRecord::Fresh());
  ASSERT_TRUE(m_Store.SaveCareers(two));
  // Stopped between deleting the old file and renaming the new one.
  ASSERT_TRUE(MoveFileW(Docs(kCareersFile).c_str(), (Docs(kCareersFile) + L".new").c_str()));
  EXPECT_EQ(m_Store.LoadCareers().records.size(), 2u);

  // A torn first write is no save at all.
  DeleteFileW((Docs(kCareersFile) + L".new").c_str());
  SetSaveWriteLimitForTesting(300);
  EXPECT_FALSE(m_Store.SaveCareers(two));
  SetSaveWriteLimitForTesting(-1);
  EXPECT_TRUE(m_Store.LoadCareers().records.empty());
}

TEST_F(Saves, PlayersRoundTripAndUnterminatedNamesAreCut) {
  EXPECT_EQ(m_Store.LoadPlayers()[0].id, 255);
  Players players{};
  std::strcpy(players[3].name.data(), "Robin");
  players[3].id = 7;
  players[3].rating = 1400;
  players[3].rankIndex = 2;
  ASSERT_TRUE(m_Store.SavePlayers(players));
  std::vector<std::uint8_t> bytes = ReadDeviceFile(Docs(kPlayersFile));
  ASSERT_EQ(bytes.size(), 2480u);
  const std::uint8_t* rec = bytes.data() + 3 * 80;
  EXPECT_STREQ(reinterpret_cast<const char*>(rec), "Robin");
  EXPECT_EQ(rec[70], 7);
  EXPECT_EQ(GetU16(rec, 72), 1400);
  EXPECT_EQ(GetU16(rec, 74), 2);
  EXPECT_EQ(GetU16(bytes.data(), 64), 50);

  std::memset(bytes.data(), 'z', 64);
  WriteDeviceFile(Docs(kPlayersFile), bytes);
  EXPECT_EQ(std::strlen(m_Store.LoadPlayers()[0].name.data()), 63u);

  bytes.pop_back();
  WriteDeviceFile(Docs(kPlayersFile), bytes);
  EXPECT_EQ(m_Store.LoadPlayers()[3].id, 255) << "a short file is not used";
}

TEST_F(Saves, QuickPlaySaveLayoutAndRefusals) {
  QuickPlaySave save;
  save.state.assign(kQuickPlayStateSize, 0x5A);
  save.setup.secondPlayer = 1;
  save.setup.menuGame = 1;
  save.setup.room = 2;
  ASSERT_TRUE(m_Store.SaveQuickPlay(save));
  std::vector<std::uint8_t> bytes = ReadDeviceFile(Docs(kQuickPlayFile));
  ASSERT_EQ(bytes.size(), 2892u);
  EXPECT_EQ(GetU32(bytes.data(), 0), 0x101010u);
  EXPECT_EQ(bytes[8], 0x5A);
  EXPECT_EQ(bytes[783], 0x5A);
  EXPECT_EQ(GetU16(bytes.data(), 784), 1);
  EXPECT_EQ(GetU16(bytes.data(), 784 + 18), 2);
  EXPECT_EQ(bytes[804], 0);
  ASSERT_TRUE(m_Store.LoadQuickPlay().has_value());

  const std::pair<const char*, std::function<void(std::vector<std::uint8_t>&)>> damage[] = {
      {"marker", [](auto& b) { PutU32(b.data(), 0, 0x101011); }},
      {"truncated", [](auto& b) { b.resize(2888); }},
      {"oversized", [](auto& b) { b.resize(3000); }},
      {"room 9", [](auto& b) { PutU16(b.data(), 784 + 18, 9); }},
      {"opponent 400", [](auto& b) { PutU16(b.data(), 784 + 8, 400); }},
  };
  for (const auto& [what, change] : damage) {
    std::vector<std::uint8_t> bad = bytes;
    change(bad);
    WriteDeviceFile(Docs(kQuickPlayFile), bad);
    EXPECT_FALSE(m_Store.LoadQuickPlay().has_value()) << what;
  }
}

}  // namespace
