#pragma once
// The component check of the update check: fetches the list of current component files and
// compares it with the MD5 digests of the files in the program's folder. It only reads: it
// never downloads, replaces or deletes a component.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "product/DownloadCancel.h"
#include "product/UpdateList.h"

namespace corvane {

// Capacity of the download buffer for the component list.
inline constexpr int32_t UpdateListCapacity = 102400;
// Path of the component list at the update endpoint.
inline constexpr char16_t UpdateListPath[] = u"/download/updt.txt";
// The pause after a failed fetch of the list, before the check answers.
inline constexpr std::chrono::milliseconds DefaultFetchFailurePause{1000};
std::chrono::milliseconds FetchFailurePause();
// Replaces the pause for the checks that start afterwards (tests); returns the pause before.
std::chrono::milliseconds SetFetchFailurePause(std::chrono::milliseconds Pause);

// The address of the update endpoint (scheme, host, optional port), set at build time.
std::u16string UpdateServerAddress();
// Replaces the address for the checks that start afterwards (tests, hosting programs);
// returns the address before.
std::u16string SetUpdateServerAddress(std::u16string Address);
// The list's full address, or an empty text when no endpoint is set.
std::u16string UpdateListUrl();

// A component file of the installation; OnlyWhenPresent files are checked only when they exist.
struct TComponentFile {
  std::u16string FileName;
  bool OnlyWhenPresent = false;
};

// The component files of this program: on Windows the two runtime libraries, then the
// program's executables; elsewhere the program's installed executables.
std::vector<TComponentFile> HalvernComponentFiles();

class THalvernUpdater {
 public:
  // DestinationFolder is the program's folder, ending in a path separator.
  explicit THalvernUpdater(std::u16string DestinationFolder);

  // Fetches and reads the component list; false when it could not be fetched.
  bool Parse_upd_txt();
  // True when any component file needs an update; false after a failed fetch (which first
  // pauses for FetchFailurePause()). Only check-only mode exists.
  bool CheckAndUpdateFiles(bool CheckOnly);
  // True when the file is missing, not listed or has another digest than the list says.
  bool CheckAndUpdateFile(const std::u16string& FileName, bool CheckOnly);
  // The digest of a file in the folder as text; false when the file is missing or unreadable.
  bool ExistingFileAndMD5(const std::u16string& FileName, std::u16string& MD5);
  // Checks the component set of this program.
  bool CheckAndUpdateFiles_Analyzers(bool CheckOnly);

  // A cancel that, once raised from any thread, ends the check at once: the download is aborted,
  // the pause after a failed fetch cut short, and no further file hashed. The check then answers
  // false.
  void SetCancel(TDownloadCancel* Cancel) { FCancel = Cancel; }

  // Replaces the component set (HalvernComponentFiles by default).
  void SetComponentFiles(std::vector<TComponentFile> Files) { FComponentFiles = std::move(Files); }

  const std::u16string& DestinationFolder() const { return FDestinationFolder; }
  const std::u16string& FDDLine() const { return FDD; }
  const std::vector<TMD5FileRecord>& MD5FileRecords() const { return FMD5FileRecords; }
  int32_t MD5FileRecordsCount() const { return static_cast<int32_t>(FMD5FileRecords.size()); }

 private:
  std::u16string FDestinationFolder;
  std::u16string FDD;
  std::vector<TMD5FileRecord> FMD5FileRecords;
  std::vector<uint8_t> FTempData;
  std::vector<TComponentFile> FComponentFiles;
  TDownloadCancel* FCancel = nullptr;

  bool Cancelled() const { return IsRaised(FCancel); }
};

// Runs the check-only component check for the program's folder (ending in a separator);
// false after a caught failure or when Cancel was raised (see THalvernUpdater::SetCancel).
bool IsHalvernComponentUpdateRequired(const std::u16string& Folder, TDownloadCancel* Cancel = nullptr);

}  // namespace corvane
