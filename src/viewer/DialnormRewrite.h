#pragma once
// Sets dialnorm (and dialnorm2, where acmod 0 carries it) in every frame of a stream and
// rewrites each changed frame's CRC words, so that the stream keeps passing its checks and no
// other bit changes. Each frame is rewritten as the kind its own bsid makes it. A frame that
// fails its CRC before is left as it is (a new CRC would hide the damage), and so is a frame that
// is not whole (cut short, running past the end of the file, or of unknown size): its CRC cannot
// be made right.
//
// In place, the changes go out in journalled batches (core/SafeWrite.h): a run stopped at any
// point leaves every frame either as it was or wholly rewritten once the next writer (or a
// restore) has rolled back the unfinished batch. With an output file, the source is read once and
// written once, with the changed frames, into a new file that takes the output's place only when
// complete and only when the source did not change meanwhile; the source is never written.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/SafeWrite.h"
#include "viewer/StreamWalk.h"

namespace corvane {

// The file bytes one journalled batch of an in-place rewrite spans at most.
inline constexpr int64_t DialnormBatchBytes = 64 * 1024 * 1024;

// A frame left as it was.
struct TDialnormSkipped {
  int64_t Offset = 0;
  TFrameFit Fit = TFrameFit::Whole;
  TFrameCrc Crc;  // failed, for a whole frame
};

struct TDialnormRequest {
  std::filesystem::path File;
  uint32_t Dialnorm = 31;  // 1 to 31
  // When given, chooses the value instead (from a measurement of the file, say): once the file
  // is locked and an unfinished change of it rolled back, before anything is written. False, with
  // Error saying why, ends the run with nothing written; so does a change of the file while it
  // chooses.
  std::function<bool(uint32_t& Dialnorm, std::string& Error)> Choose;
  // Without one the file itself is changed.
  std::optional<std::filesystem::path> Output;
  // Told of each frame left as it was.
  std::function<void(const TDialnormSkipped&)> Skipped;
  TFrameWindow::TWalkProgress Progress;
  // Told, one line each, what the run did besides the rewrite: an earlier run's unfinished change
  // rolled back, a temporary file of a killed run removed, an unfinished change of the source.
  std::function<void(const std::string&)> Notice;
  // Faults and stops put in by tests.
  const TWriteHooks* Hooks = nullptr;
  int64_t BatchBytes = DialnormBatchBytes;
};

struct TDialnormResult {
  bool Completed = false;  // every frame was looked at and the file is complete
  uint32_t Dialnorm = 0;   // the value set
  int64_t Frames = 0;
  int64_t Rewritten = 0;   // frames changed
  int64_t AlreadySet = 0;  // frames that carried the value already
  int64_t BadCrc = 0;      // left as they were: they failed their CRC
  int64_t NotWhole = 0;    // left as they were: not whole, or no dialnorm could be set in them
  std::string Error;       // one line: what failed and what state it left the file in
  // In place: the first frame of the batch that failed (-1: none). The frames before it were
  // rewritten; it and those after it are as they were, or wait in the journal to be rolled back
  // when JournalKept.
  int64_t FailedAt = -1;
  bool JournalKept = false;

  // Every frame now carries the value.
  bool AllSet() const { return Completed && BadCrc == 0 && NotWhole == 0; }
};

TDialnormResult RewriteDialnorm(const TDialnormRequest& Request);

// Rolls back an unfinished change of File that a stopped writer left in its journal.
TRecovery RestoreFile(const std::filesystem::path& File, const TWriteHooks* Hooks = nullptr);

enum class TDialnormChange { Changed, AlreadySet, Impossible };

// Sets dialnorm and dialnorm2 of the whole frame in Frame (Size bytes) to Dialnorm and rewrites
// its CRC words. The bytes stay as they were unless the answer is Changed.
TDialnormChange SetFrameDialnorm(uint8_t* Frame, int32_t Size, bool EAC3, uint32_t Dialnorm);

}  // namespace corvane
