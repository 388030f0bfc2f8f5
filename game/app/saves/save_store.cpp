#include "saves/save_store.h"

#include "engine/log.h"
#include "saves/byte_io.h"
#include "saves/save_file.h"

namespace ks::app {

namespace {
constexpr int kLogLevel = 2;
// Anything larger than the largest form a save can take is refused unread.
constexpr std::size_t kCareersLimit =
    kCareersFileSize > 4 + kMaxCareers* kOldCareerRecordSize ? kCareersFileSize : 4 + kMaxCareers* kOldCareerRecordSize;
}  // namespace

SaveStore::Found SaveStore::Read(const wchar_t* name, std::size_t limit, std::vector<std::uint8_t>& out,
                                 std::wstring* path) {
  for (const std::wstring* folder : {&m_Documents, &m_Program}) {
    if (folder->empty()) continue;
    *path = SavePath(*folder, name);
    switch (ReadSaveFile(*path, limit, out)) {
      case SaveRead::kOk:
        return Found::kBytes;
      case SaveRead::kTooLarge:
        WriteLog(kLogLevel, L"Save refused, too large: %s", path->c_str());
        return Found::kRefused;
      case SaveRead::kMissing:
        break;
    }
  }
  *path = SavePath(m_Documents, name);
  return Found::kNone;
}

Careers SaveStore::LoadCareers() {
  Careers careers;
  std::vector<std::uint8_t> bytes;
  std::wstring path;
  const Found found = Read(kCareersFile, kCareersLimit, bytes, &path);
  if (found == Found::kNone) {
    SaveCareers(careers);
    return careers;
  }
  std::wstring why = L"too large";
  if (found == Found::kBytes) {
    const Careers::Parse parse = careers.Deserialise(bytes, &why);
    if (parse != Careers::Parse::kBad) {
      for (CareerRecord& r : careers.records)
        if (r.Sanitise()) WriteLog(kLogLevel, L"Career fields out of range reset: %s", path.c_str());
      return careers;
    }
  }
  WriteLog(kLogLevel, L"Careers file refused (%s): %s", why.c_str(), path.c_str());
  if (!bytes.empty()) WriteSaveFile(path + L".bad", bytes.data(), bytes.size());
  careers.records.clear();
  return careers;
}

bool SaveStore::SaveCareers(const Careers& careers) {
  const std::wstring path = SavePath(m_Documents, kCareersFile);
  const std::vector<std::uint8_t> bytes = careers.Serialise();
  if (!WriteSaveFile(path, bytes.data(), bytes.size())) {
    WriteLog(kLogLevel, L"Career save fail %s", path.c_str());
    return false;
  }
  WriteLog(kLogLevel, L"SaveCareers Done");
  return true;
}

Prefs SaveStore::LoadPrefs(const std::array<std::uint8_t, 5>& gapiKeys) {
  Prefs prefs;
  prefs.DefaultKeys(gapiKeys);
  std::vector<std::uint8_t> bytes;
  std::wstring path;
  const Found found = Read(kPrefsFile, kPrefsFileSize, bytes, &path);
  bool rewrite = false;
  if (found == Found::kNone) {
    WriteLog(kLogLevel, L"Load prefes fail %s", path.c_str());
    prefs.Defaults();
    rewrite = true;
  } else {
    const PrefsParse parse = found == Found::kBytes ? ParsePrefs(bytes, prefs) : PrefsParse::kDefaults;
    if (parse == PrefsParse::kDefaults) {
      WriteLog(kLogLevel, L"Preferences refused: %s", path.c_str());
      prefs.Defaults();
      rewrite = true;
    }
    // A wrong version is renewed; a short key map alone is not.
    if ((prefs.version >> 16) != (kPrefsVersion >> 16)) rewrite = true;
  }
  if (rewrite) {
    prefs.version = kPrefsVersion;
    SavePrefs(prefs);
  }
  prefs[pref::kMusic] = 0;
  prefs[pref::kStrokeFactor] = 8;
  return prefs;
}

bool SaveStore::SavePrefs(const Prefs& prefs) {
  const std::wstring path = SavePath(m_Documents, kPrefsFile);
  const std::vector<std::uint8_t> bytes = prefs.Serialise();
  if (!WriteSaveFile(path, bytes.data(), bytes.size())) {
    WriteLog(kLogLevel, L"Prefs save fail %s", path.c_str());
    return false;
  }
  return true;
}

Players SaveStore::LoadPlayers() {
  Players players{};
  std::vector<std::uint8_t> bytes;
  std::wstring path;
  if (Read(kPlayersFile, kPlayersFileSize, bytes, &path) == Found::kBytes && DeserialisePlayers(bytes, players))
    return players;
  if (!bytes.empty()) WriteLog(kLogLevel, L"Players file refused: %s", path.c_str());
  return Players{};
}

bool SaveStore::SavePlayers(const Players& players) {
  const std::vector<std::uint8_t> bytes = SerialisePlayers(players);
  return WriteSaveFile(SavePath(m_Documents, kPlayersFile), bytes.data(), bytes.size());
}

bool SaveStore::SaveQuickPlay(const QuickPlaySave& save) {
  const std::vector<std::uint8_t> bytes = SerialiseQuickPlay(save);
  return WriteSaveFile(SavePath(m_Documents, kQuickPlayFile), bytes.data(), bytes.size());
}

std::optional<QuickPlaySave> SaveStore::LoadQuickPlay() {
  const std::wstring path = SavePath(m_Documents, kQuickPlayFile);
  std::vector<std::uint8_t> bytes;
  const SaveRead read = ReadSaveFile(path, kQuickPlayFileSize, bytes);
  if (read == SaveRead::kMissing) return std::nullopt;
  if (read == SaveRead::kTooLarge) {
    WriteLog(kLogLevel, L"Quick-play save refused: %s", path.c_str());
    return std::nullopt;
  }
  std::optional<QuickPlaySave> save = ParseQuickPlay(bytes);
  if (!save) WriteLog(kLogLevel, L"Quick-play save refused: %s", path.c_str());
  return save;
}

}  // namespace ks::app
