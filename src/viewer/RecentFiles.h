#pragma once
// The File menu's recent files: the last MaxFiles files opened, the latest first, each once. They
// are kept per user as texts under RecentFileNames; a file that is gone when chosen is taken off
// the list, and the user is told so.

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

class TRecentFiles {
 public:
  static constexpr size_t MaxFiles = 8;
  static constexpr std::array<const char*, MaxFiles> StoredNames = {
      "RecentFile1", "RecentFile2", "RecentFile3", "RecentFile4",
      "RecentFile5", "RecentFile6", "RecentFile7", "RecentFile8"};

  const std::vector<std::filesystem::path>& Files() const { return FFiles; }
  // File was opened: it goes first, and the oldest one drops off past MaxFiles. A name that is
  // not text (a Linux name with bytes that are not UTF-8) cannot be stored and is not added.
  void Add(const std::filesystem::path& File);
  void Remove(const std::filesystem::path& File);

  // The stored texts, as many as were found, in StoredNames order; empty ones are skipped.
  void Load(const std::vector<std::u16string>& Stored);
  // The texts to store, one per entry of StoredNames (empty for unused ones).
  std::array<std::u16string, MaxFiles> Stored() const;

  // The menu item of entry Index: "&1 " and the name, its own ampersands doubled.
  std::u16string MenuText(size_t Index) const;

  // Entry Index was chosen: the file to open, or, when it no longer exists, nothing; the entry is
  // then taken off the list and Message says so.
  struct TChoice {
    std::optional<std::filesystem::path> File;
    std::u16string Message;
  };
  TChoice Choose(size_t Index);

 private:
  std::vector<std::filesystem::path> FFiles;
};

}  // namespace corvane
