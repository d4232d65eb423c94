// The whole-file stream check and the dialnorm rewrite on a file that is the input (its first
// byte picks the kind and the dialnorm value). The check's findings come in file order and lie
// inside the file, and its frames and junk make up the file's size exactly; the rewrite into an
// output file and the one in place give the same bytes, change no frame count, fix every CRC they
// touch, leave no journal or temporary file behind, and a second rewrite with the same value
// finds nothing left to change.

#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "viewer/DialnormRewrite.h"
#include "viewer/StreamCheck.h"

namespace {

using namespace corvane;

TStreamSummary Check(const std::filesystem::path& File, bool EAC3, int64_t Size) {
  TStreamSummary Summary;
  std::string Error;
  int64_t Problems = 0;
  int64_t Last = 0;
  const TCheckEnd End = CheckStream(
      File, EAC3,
      [&](const TStreamFinding& Finding) {
        FUZZ_CHECK(Finding.Offset >= 0 && Finding.Offset <= Size);
        if (Finding.Kind != TFindingKind::NoFrames) FUZZ_CHECK(Finding.Offset >= Last);
        if (Finding.Kind == TFindingKind::Junk) FUZZ_CHECK(Finding.Length > 0 && Finding.Length <= Size - Finding.Offset);
        Last = Finding.Offset;
        if (Finding.IsProblem()) ++Problems;
        FindingText(Finding);
        return true;
      },
      Summary, {}, nullptr, Error);
  FUZZ_CHECK(End == TCheckEnd::Completed);
  FUZZ_CHECK(Summary.Problems == Problems);
  FUZZ_CHECK(Summary.FileSize == Size && Summary.FrameBytes >= 0);
  FUZZ_CHECK(Summary.JunkBytes >= 0 && Summary.JunkBytes <= Size);
  FUZZ_CHECK(Summary.FrameBytes + Summary.JunkBytes == Size);
  FUZZ_CHECK(Summary.Kbps.size() <= TStreamSummary::MaxKbpsValues);
  FUZZ_CHECK(Summary.DurationTicks >= 0 && Summary.AverageBitsPerSecond() >= 0);
  SummaryLines(Summary);
  return Summary;
}

std::vector<char> Bytes(const std::filesystem::path& File) {
  std::ifstream In(File, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

size_t Entries(const std::filesystem::path& Folder) {
  return static_cast<size_t>(
      std::distance(std::filesystem::directory_iterator(Folder), std::filesystem::directory_iterator()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1 || Size > (1 << 20)) return 0;
  static fuzz::TFolderFile File;
  const bool EAC3 = (Data[0] & 0x80) != 0;
  const uint32_t Dialnorm = Data[0] % 31 + 1;
  const auto FileSize = static_cast<int64_t>(Size - 1);
  File.Set(Data + 1, Size - 1);
  const TStreamSummary Before = Check(File.Path(), EAC3, FileSize);

  TDialnormRequest Request;
  Request.File = File.Path();
  Request.Dialnorm = Dialnorm;
  Request.Output = File.Folder() / "out.bin";
  const TDialnormResult Copied = RewriteDialnorm(Request);
  FUZZ_CHECK(Copied.Completed);
  Request.Output.reset();
  Request.BatchBytes = 4096;  // several batches even in a small file
  const TDialnormResult First = RewriteDialnorm(Request);
  FUZZ_CHECK(First.Completed);
  FUZZ_CHECK(First.Frames == First.Rewritten + First.AlreadySet + First.BadCrc + First.NotWhole);
  FUZZ_CHECK(First.Frames == Copied.Frames && First.Rewritten == Copied.Rewritten);
  FUZZ_CHECK(Bytes(File.Path()) == Bytes(File.Folder() / "out.bin"));
  std::filesystem::remove(File.Folder() / "out.bin");
  FUZZ_CHECK(Entries(File.Folder()) == 1);

  // The same frames, the same CRC failures: the rewrite mends the CRCs of what it changes.
  const TStreamSummary After = Check(File.Path(), EAC3, FileSize);
  FUZZ_CHECK(After.Frames == Before.Frames && After.CrcFailures == Before.CrcFailures);
  FUZZ_CHECK(After.JunkBytes == Before.JunkBytes && After.Truncated == Before.Truncated);

  const TDialnormResult Second = RewriteDialnorm(Request);
  FUZZ_CHECK(Second.Completed && Second.Rewritten == 0 && Second.Frames == First.Frames);
  return 0;
}
