// Where the saves live and how they are read and written: the documents
// folder first, the program folder (shipped defaults) second; every file is
// checked whole before anything in it is used, and a refused file is named
// in the log.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "saves/careers.h"
#include "saves/players.h"
#include "saves/prefs.h"
#include "saves/quick_play_file.h"

namespace ks::app {

inline constexpr const wchar_t* kCareersFile = L"ksCareers.dat";
inline constexpr const wchar_t* kPrefsFile = L"ksPref.dat";
inline constexpr const wchar_t* kPlayersFile = L"ksPlayers.dat";
inline constexpr const wchar_t* kQuickPlayFile = L"ksQPSave.usr";

class SaveStore {
 public:
  SaveStore(std::wstring documents, std::wstring program)
      : m_Documents(std::move(documents)), m_Program(std::move(program)) {}

  // The careers, or an empty table when there is no file (which is then
  // written at once) or the file is refused (a copy is kept beside it as
  // "ksCareers.dat.bad" and the file is left until the next save).
  Careers LoadCareers();
  bool SaveCareers(const Careers& careers);

  // The preferences and key map. No file or a wrong magic: the defaults,
  // written at once; a wrong version: the block kept, the default key map.
  // Bytes 9 and 12 are forced to 0 and 8.
  Prefs LoadPrefs(const std::array<std::uint8_t, 5>& gapiKeys);
  bool SavePrefs(const Prefs& prefs);

  // The player records, or the defaults (nothing written).
  Players LoadPlayers();
  bool SavePlayers(const Players& players);

  bool SaveQuickPlay(const QuickPlaySave& save);
  // The quick-play save, or nothing when it is missing or refused.
  std::optional<QuickPlaySave> LoadQuickPlay();

  const std::wstring& Documents() const { return m_Documents; }

 private:
  enum class Found { kNone, kBytes, kRefused };
  // Reads `name` from the documents folder, else the program folder.
  Found Read(const wchar_t* name, std::size_t limit, std::vector<std::uint8_t>& out, std::wstring* path);

  std::wstring m_Documents;
  std::wstring m_Program;
};

}  // namespace ks::app
