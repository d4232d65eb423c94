#include "cli/Cli.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "analysis/FrameKinds.h"
#ifdef CORVANE_HAVE_LOUDNESS
#include "loudness/LoudnessReport.h"
#endif
#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "core/SafeWrite.h"
#include "core/StringUtils.h"
#include "viewer/CheckReport.h"
#include "viewer/DialnormRewrite.h"
#include "viewer/FrameRowText.h"
#include "viewer/FrameWindow.h"
#include "viewer/StreamCheck.h"
#include "viewer/ViewerJson.h"
#include "viewer/ViewerTexts.h"

#ifdef _WIN32
#include <io.h>
#define CORVANE_ISATTY(File) (_isatty(_fileno(File)) != 0)
#else
#include <unistd.h>
#define CORVANE_ISATTY(File) (isatty(fileno(File)) != 0)
#endif

namespace corvane::cli {
namespace {

constexpr int ExitDone = 0;
constexpr int ExitNotAStream = 1;
constexpr int ExitProblem = 1;  // check found a problem, or dialnorm left a frame as it was
// The output is complete but may not be what was meant: tree found no syncword at its offset,
// or the file became shorter while list --all read it.
constexpr int ExitDoubtful = 1;
constexpr int ExitFailure = 2;
constexpr int ExitDisagrees = 1;  // loudness: dialnorm does not agree with the measured loudness

constexpr int32_t DefaultRows = 25;

#ifndef CORVANE_HAVE_LOUDNESS
constexpr const char* NoLoudnessText =
    "this corvane-cli was built without the loudness measurement (it needs libavcodec and libebur128)";
#endif

constexpr std::string_view HelpText =
    "Usage: corvane-cli COMMAND [OPTIONS] FILE [OFFSET]\n"
    "\n"
    "Lists, decodes and checks the syncframes of an AC-3 or E-AC-3 elementary stream. Only\n"
    "dialnorm and restore write; the other commands only read the file.\n"
    "\n"
    "Commands:\n"
    "  detect FILE            Runs the stream test (E-AC-3 first, then AC-3) and prints one line\n"
    "                         \"<kind> <fscod>\": kind E-AC-3, AC-3 or none, and the sampling-rate\n"
    "                         code that frames must carry to be listed (-1 when the test could\n"
    "                         not read the file). Exit status 0 for a stream, 1 for none.\n"
    "  list FILE              Prints the frame list as the viewer shows it: one line per frame\n"
    "                         with Offset, Length, Frame Size, Sampling Rate and Bitrate, each\n"
    "                         followed by \", \". Frames of another sampling rate are not listed.\n"
    "    --rows N             Rows of the window, 1 to 256 (default 25).\n"
    "    --from POS           Fills the window from byte POS on (the first frame start at or\n"
    "                         after it, however far) instead of from the file's start. POS at\n"
    "                         or past the end of the file is an error (exit status 2).\n"
    "    --all                Every frame of the file, as paging down through it shows them,\n"
    "                         from POS when --from is given. A progress line goes to stderr\n"
    "                         when it is a terminal.\n"
    "  tree FILE OFFSET       Decodes the frame at byte OFFSET and prints its syntax tree, one\n"
    "                         node per line, parents before children.\n"
    "  check FILE             Checks every frame of the file, of every sampling rate: prints\n"
    "                         one line per problem (a frame failing crc1 or crc2, bytes that\n"
    "                         belong to no frame, a frame cut short or running past the end of\n"
    "                         the file, a reserved code) and per change of sampling rate,\n"
    "                         acmod, lfeon, bit rate, dialnorm or bsid, each after the offset\n"
    "                         where it starts, then a summary of the stream, with the minimum,\n"
    "                         maximum and mean compr and first-block dynrng in dB. Exit status\n"
    "                         0 when it found no problem, 1 when it found one. A progress line\n"
    "                         goes to stderr when it is a terminal.\n"
    "  dialnorm --set N FILE  Sets dialnorm (and dialnorm2) to N, 1 to 31, in every frame and\n"
    "                         rewrites the CRC words of each frame it changes; no other bit\n"
    "                         changes. Each frame is rewritten as the kind its own bsid makes it.\n"
    "                         A frame that fails its CRC, or is not whole, is left as it is and\n"
    "                         named. Exit status 0 when every frame carries N, 1 when a frame\n"
    "                         was left as it was. In place, the frames go out in batches whose\n"
    "                         old bytes are kept in an undo journal beside FILE\n"
    "                         (.FILE.corvane-journal) until the run ends: a run that is stopped\n"
    "                         leaves every frame as it was or rewritten once the next write or\n"
    "                         restore has rolled back its last batch.\n"
    "    --match-loudness     Instead of --set N: measures the programme as loudness does and\n"
    "                         sets dialnorm to its integrated loudness in whole dB (1 to 31),\n"
    "                         printing the loudness and dialnorm before and after. A\n"
    "                         measurement without a verdict (nothing above the gates) is an\n"
    "                         error that changes nothing.\n"
    "    --output OUT         Writes the changed stream to a new file beside OUT\n"
    "                         (.OUT.corvane-XXXXXX.tmp) that takes OUT's place once complete,\n"
    "                         and leaves FILE as it is; fails when FILE changes meanwhile. A\n"
    "                         symlink is followed; OUT must be a regular file with one link, or\n"
    "                         absent. An existing OUT keeps its mode and owner; a new one gets\n"
    "                         FILE's mode with the owner's write bit.\n"
    "  loudness FILE          Decodes every whole frame of the programme without its dynamic\n"
    "                         range gains and measures it (BS.1770-4): integrated loudness\n"
    "                         (LKFS), loudness range (LU), true peak (dBTP) overall and per\n"
    "                         channel. Prints them beside the dialnorm values the frames carry,\n"
    "                         the difference between the loudness and the level dialnorm claims\n"
    "                         (-dialnorm LKFS) and a verdict, and the minimum, maximum and mean\n"
    "                         of compr and of the first block's dynrng, in dB. Frames kept out\n"
    "                         of the measurement are named before. Exit status 0 when dialnorm\n"
    "                         agrees within 2 dB, 1 when it does not (or nothing could be\n"
    "                         measured), 2 on errors. A progress line goes to stderr when it is\n"
    "                         a terminal.\n"
    "    --series SECONDS     Instead of the summary, a CSV line per step of SECONDS (0.1 or\n"
    "                         more): time, momentary and short-term loudness, bit rate,\n"
    "                         dialnorm, mean compr and dynrng of the step (with --json, a\n"
    "                         \"series\" array beside the summary).\n"
    "  restore FILE           Rolls back the unfinished change that a stopped dialnorm or hex\n"
    "                         edit left in FILE's undo journal, and removes the journal.\n"
    "                         Exit status 0 when FILE has no unfinished change afterwards.\n"
    "\n"
    "A writer takes FILE's writer lock (OUT's with --output) and fails at once when another\n"
    "program holds it; readers are not kept out. check warns on stderr while FILE has an\n"
    "unfinished change.\n"
    "\n"
    "Options for every command:\n"
    "  --force                Opens a file that fails the stream test anyway (list, tree,\n"
    "                         check, dialnorm and loudness), with the sampling-rate code that\n"
    "                         the test reported, as AC-3.\n"
    "  --json                 The same content as JSON: for list every header field of each\n"
    "                         frame, for tree the frame's header fields and the nodes nested,\n"
    "                         for detect kind and fscod, for check the findings and the\n"
    "                         summary, for loudness the figures, metadata and verdict. Each\n"
    "                         field has its value and its bit offset and width from the\n"
    "                         frame's first bit (gain words their gain in dB too); fields a\n"
    "                         frame does not carry are left out.\n"
    "  --debug                Shows the analysis' diagnostic lines on stderr.\n"
    "  --help                 Shows this text.\n"
    "  --version              Shows the program's version.\n"
    "\n"
    "Positions and offsets are decimal, or hexadecimal with 0x. FILE must be a regular file.\n"
    "A file name that is not UTF-8 is shown with U+FFFD for the bytes that are not; --json then\n"
    "adds \"file_not_utf8\": true.\n"
    "\n"
    "Exit status: 0 done; 1 the file is not an AC-3 or E-AC-3 stream (without --force), detect\n"
    "found none, check found a problem, dialnorm left a frame as it was, tree found no syncword\n"
    "at OFFSET (the tree is printed all the same), the file became shorter while list --all\n"
    "read it, or loudness found that dialnorm does not agree; 2 bad usage, a file that cannot be\n"
    "read or written or is not a regular file, an offset past its end, output that cannot be\n"
    "written, a write that did not complete (one line says why and what state the file is in),\n"
    "or a corvane-cli built without the loudness measurement. A dialnorm or restore whose file\n"
    "is complete keeps its status when only its report cannot be written, and says so.\n";

struct TOptions {
  std::string Command;
  std::vector<std::string> Operands;
  int32_t Rows = DefaultRows;
  bool RowsGiven = false;
  std::optional<int64_t> From;
  std::optional<int64_t> Set;
  std::optional<std::string> Output;
  std::optional<double> Series;
  bool MatchLoudness = false;
  bool Force = false;
  bool All = false;
  bool Json = false;
  bool Debug = false;
  bool Help = false;
  bool Version = false;
};

class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void PutText(std::FILE* File, std::string_view Text) { std::fwrite(Text.data(), 1, Text.size(), File); }

void PutLine(std::FILE* File, std::string_view Text) {
  PutText(File, Text);
  PutText(File, "\n");
}

void PutError(std::FILE* Err, std::string_view Text) { PutLine(Err, "corvane-cli: " + std::string(Text)); }

std::filesystem::path PathFromArg(const std::string& Arg) {
#ifdef _WIN32
  const std::u16string Wide = FromUtf8(Arg);
  return std::filesystem::path(std::wstring(Wide.begin(), Wide.end()));
#else
  return std::filesystem::path(Arg);
#endif
}

// A non-negative position: decimal, or hexadecimal after 0x.
std::optional<int64_t> ParsePosition(std::string_view Text) { return corvane::ParsePosition(AsciiToU16(Text)); }

TOptions ParseArgs(const std::vector<std::string>& Args) {
  TOptions Options;
  bool OptionsEnded = false;
  for (size_t Index = 0; Index < Args.size(); ++Index) {
    const std::string& Arg = Args[Index];
    if (OptionsEnded || Arg.size() < 2 || Arg.compare(0, 2, "--") != 0) {
      if (Options.Command.empty() && !OptionsEnded)
        Options.Command = Arg;
      else
        Options.Operands.push_back(Arg);
      continue;
    }
    if (Arg == "--") {
      OptionsEnded = true;
      continue;
    }
    std::string Name = Arg;
    std::optional<std::string> Value;
    if (const size_t Equals = Arg.find('='); Equals != std::string::npos) {
      Name = Arg.substr(0, Equals);
      Value = Arg.substr(Equals + 1);
    }
    const auto TakeValue = [&]() -> std::string {
      if (Value) return *Value;
      if (Index + 1 >= Args.size()) throw TUsageError("option " + Name + " needs a value");
      return Args[++Index];
    };
    if (Name == "--rows") {
      const std::string Text = TakeValue();
      const std::optional<int64_t> Rows = ParsePosition(Text);
      if (!Rows || *Rows < 1 || *Rows > MaxFrameRows) throw TUsageError("--rows takes a number from 1 to 256, not '" + Text + "'");
      Options.Rows = static_cast<int32_t>(*Rows);
      Options.RowsGiven = true;
    } else if (Name == "--from") {
      const std::string Text = TakeValue();
      Options.From = ParsePosition(Text);
      if (!Options.From) throw TUsageError("--from takes a byte position, not '" + Text + "'");
    } else if (Name == "--set") {
      const std::string Text = TakeValue();
      Options.Set = ParsePosition(Text);
      if (!Options.Set || *Options.Set < 1 || *Options.Set > 31)
        throw TUsageError("--set takes a dialnorm from 1 to 31, not '" + Text + "'");
    } else if (Name == "--series") {
      const std::string Text = TakeValue();
      char* End = nullptr;
      const double Step = std::strtod(Text.c_str(), &End);
      if (Text.empty() || End != Text.c_str() + Text.size() || !(Step >= 0.1 && Step <= 86400.0))
        throw TUsageError("--series takes seconds from 0.1 to 86400, not '" + Text + "'");
      Options.Series = Step;
    } else if (Name == "--output") {
      Options.Output = TakeValue();
      if (Options.Output->empty()) throw TUsageError("--output takes a file name");
    } else if (Value) {
      throw TUsageError("option " + Name + " takes no value");
    } else if (Name == "--force") {
      Options.Force = true;
    } else if (Name == "--match-loudness") {
      Options.MatchLoudness = true;
    } else if (Name == "--all") {
      Options.All = true;
    } else if (Name == "--json") {
      Options.Json = true;
    } else if (Name == "--debug") {
      Options.Debug = true;
    } else if (Name == "--help") {
      Options.Help = true;
    } else if (Name == "--version") {
      Options.Version = true;
    } else {
      throw TUsageError("unknown option " + Name);
    }
  }
  return Options;
}

const char* KindText(TStreamKind Kind) {
  switch (Kind) {
    case TStreamKind::EAC3:
      return "E-AC-3";
    case TStreamKind::AC3:
      return "AC-3";
    default:
      return "none";
  }
}

// The file must exist and be readable before anything else is tried on it.
bool CheckReadable(const std::filesystem::path& File, std::FILE* Err) {
  const std::optional<std::u16string> Reason = OpenFailureReason(File);
  if (!Reason) return true;
  PutError(Err, "cannot open " + PathText(File) + ": " + ToUtf8(*Reason));
  return false;
}

// Loads as the confirmed open does, with --force as the answer to the open-anyway question.
int Load(TFrameWindow& Window, const std::filesystem::path& File, bool Force, std::FILE* Err) {
  bool Asked = false;
  const bool Loaded = Window.OpenConfirmed(File, [&](std::u16string_view) {
    Asked = true;
    return Force;
  });
  if (Loaded) return ExitDone;
  if (Asked && !Force) {
    PutLine(Err, ToUtf8(NotAStreamText));
    return ExitNotAStream;
  }
  PutError(Err, "cannot open " + PathText(File));
  return ExitFailure;
}

TJson FileJson(const TFrameWindow& Window, const std::filesystem::path& File) {
  TJson Json;
  PutFileName(Json, File);
  Json["kind"] = Window.EAC3() ? "E-AC-3" : "AC-3";
  Json["fscod"] = Window.fscod();
  return Json;
}

int RunDetect(const TOptions& Options, const std::filesystem::path& File, std::FILE* Out) {
  auto Window = std::make_unique<TFrameWindow>();
  const TStreamKind Kind = Window->StreamTest(File);
  if (Options.Json) {
    TJson Json;
    PutFileName(Json, File);
    Json["kind"] = KindText(Kind);
    Json["fscod"] = Window->fscod();
    PutLine(Out, Dump(Json));
  } else {
    PutLine(Out, std::string(KindText(Kind)) + " " + std::to_string(Window->fscod()));
  }
  return Kind == TStreamKind::None ? ExitNotAStream : ExitDone;
}

void PrintWindow(TFrameWindow& Window, const std::filesystem::path& File, bool Json, std::FILE* Out) {
  if (!Json) {
    PutText(Out, ToUtf8(Window.ListText(u"\n")));
    return;
  }
  TJson Document = FileJson(Window, File);
  TJson Frames = TJson::array();
  for (int32_t Row = 0; Row < Window.ListRowCount(); ++Row)
    Frames.push_back(Window.EAC3() ? FrameJson(Window.AC3PlusFrame(Row)) : FrameJson(Window.AC3Frame(Row)));
  Document["frames"] = std::move(Frames);
  PutLine(Out, Dump(Document));
}

// Tells how far a long walk has got, on a terminal only, at most a few times a second.
class TProgressLine {
 public:
  TProgressLine(std::FILE* Err, const char* Done) : FErr(Err), FDone(Done), FShown(CORVANE_ISATTY(Err)) {}
  ~TProgressLine() {
    if (FShown && FPrinted) PutText(FErr, "\r" + std::string(40, ' ') + "\r");
  }
  void Update(int64_t Position, int64_t Size) {
    if (!FShown || Size <= 0) return;
    const auto Now = std::chrono::steady_clock::now();
    if (FPrinted && Now - FLast < std::chrono::milliseconds(200)) return;
    FLast = Now;
    FPrinted = true;
    const int Percent = static_cast<int>(Position * 100 / Size);
    PutText(FErr, "\rcorvane-cli: " + std::to_string(Percent) + "% " + FDone);
    std::fflush(FErr);
  }

 private:
  std::FILE* FErr;
  const char* FDone;
  bool FShown;
  bool FPrinted = false;
  std::chrono::steady_clock::time_point FLast;
};

// Rows go into one large block that is written whenever it fills.
class TOutputBlock {
 public:
  explicit TOutputBlock(std::FILE* Out) : FOut(Out), FBlock(new char[BlockSize]) {}
  char* Room(size_t Bytes) {
    if (BlockSize - FUsed < Bytes) Flush();
    return FBlock.get() + FUsed;
  }
  void Commit(size_t Bytes) { FUsed += Bytes; }
  void Append(std::string_view Text) {
    if (Text.size() > BlockSize) {
      Flush();
      Write(Text.data(), Text.size());
      return;
    }
    std::memcpy(Room(Text.size()), Text.data(), Text.size());
    Commit(Text.size());
  }
  void Flush() {
    Write(FBlock.get(), FUsed);
    FUsed = 0;
  }
  bool Failed() const { return FFailed; }

 private:
  static constexpr size_t BlockSize = 1 << 20;
  void Write(const char* Bytes, size_t Count) {
    if (Count > 0 && std::fwrite(Bytes, 1, Count, FOut) != Count) FFailed = true;
  }
  std::FILE* FOut;
  std::unique_ptr<char[]> FBlock;
  size_t FUsed = 0;
  bool FFailed = false;
};

template <typename TKind>
TJson WalkedFrameJson(const TWalkFrame& Walked) {
  // Decoded again exactly as the window decodes a row's record.
  const auto Frame = NewDecodedFrame<TKind>(Walked.Data, Walked.Size, Walked.Offset);
  Frame->Length = Walked.Length;
  return FrameJson(*Frame);
}

int RunListAll(TFrameWindow& Window, const TOptions& Options, const std::filesystem::path& File, std::FILE* Out,
               std::FILE* Err) {
  TOutputBlock Output(Out);
  TProgressLine Progress(Err, "listed");
  const TRowFormatter Formatter(Window.EAC3());
  bool FirstFrame = true;
  if (Options.Json) {
    const std::string Head = Dump(FileJson(Window, File));
    Output.Append(std::string_view(Head).substr(0, Head.size() - 1));
    Output.Append(",\"frames\":[");
  }
  const auto Visit = [&](const TWalkFrame& Frame) {
    if (Options.Json) {
      if (!FirstFrame) Output.Append(",");
      FirstFrame = false;
      Output.Append(Dump(Window.EAC3() ? WalkedFrameJson<TAC3PlusKind>(Frame)
                                       : WalkedFrameJson<TAC3Kind>(Frame)));
    } else {
      Output.Commit(Formatter.Format(Frame, Output.Room(TRowFormatter::MaxLineSize)));
    }
    // Output that can no longer be written ends the walk.
    return !Output.Failed();
  };
  // A file cut short while the walk reads it shows as a size below the one it had at the start,
  // in a read that ends early (the walk passes on the size it then sees) or at the end.
  const int64_t SizeAtStart = Window.FileSize();
  bool Shrank = false;
  const bool Walked = Window.WalkFrames(Options.From.value_or(0), Visit, [&](int64_t Position, int64_t Size) {
    Shrank = Shrank || Size < SizeAtStart;
    Progress.Update(Position, Size);
  });
  Shrank = Shrank || Window.FileSize() < SizeAtStart;
  if (Options.Json) Output.Append("]}\n");
  Output.Flush();
  if (Output.Failed()) {
    PutError(Err, "cannot write the frame list");
    return ExitFailure;
  }
  if (!Walked) {
    PutError(Err, "cannot read " + PathText(File));
    return ExitFailure;
  }
  if (Shrank) {
    PutError(Err, PathText(File) + " changed while it was read: it is shorter now than when the list began");
    return ExitDoubtful;
  }
  return ExitDone;
}

// False, having said so, when Offset lies at or past the end of the open file.
bool OffsetInFile(const TFrameWindow& Window, int64_t Offset, const std::filesystem::path& File, std::FILE* Err) {
  const int64_t Size = Window.FileSize();
  if (Offset < Size) return true;
  PutError(Err, "offset " + std::to_string(Offset) + " is at or past the end of " + PathText(File) + " (" +
                    std::to_string(Size) + " bytes)");
  return false;
}

int RunList(const TOptions& Options, const std::filesystem::path& File, std::FILE* Out, std::FILE* Err) {
  auto Window = std::make_unique<TFrameWindow>();
  // A window asked for elsewhere is not filled at the file's start first: over a long run of junk
  // that fill would search on to the first frame, however far.
  const bool FillAtStart = !Options.All && !Options.From;
  Window->SetVisibleRows(FillAtStart ? Options.Rows : 0);
  if (const int Status = Load(*Window, File, Options.Force, Err); Status != ExitDone) return Status;
  if (Options.From && !OffsetInFile(*Window, *Options.From, File, Err)) return ExitFailure;
  if (Options.All) return RunListAll(*Window, Options, File, Out, Err);
  if (Options.From) {
    Window->SetVisibleRows(Options.Rows);
    Window->FillFrom(*Options.From);
  }
  PrintWindow(*Window, File, Options.Json, Out);
  return ExitDone;
}

// More bytes than any syncinfo(), bsi(), audfrm() and first block's start take (a few hundred),
// so a header decoded from them reads exactly as one decoded from the window's larger read.
constexpr int32_t HeaderReadSize = 4096;

// The header fields of the frame at Offset, decoded again from the file as the window decodes
// the frame it shows; null when the bytes cannot be read.
template <typename TFrame>
TJson DecodedHeaderJson(const std::filesystem::path& File, int64_t Offset,
                        bool (*Parse)(const uint8_t*, int32_t, TFrame&)) {
  TFileStream Stream;
  if (!Stream.Open(File, TFileStream::TMode::Read)) return nullptr;
  auto Bytes = std::make_unique<uint8_t[]>(HeaderReadSize);
  const int32_t Count = Stream.ReadAt(Offset, Bytes.get(), HeaderReadSize);
  if (Count <= 0) return nullptr;
  // The E-AC-3 record is several KiB; keep it off the stack.
  auto Frame = std::make_unique<TFrame>();
  std::memset(Frame.get(), 0, sizeof(*Frame));
  Parse(Bytes.get(), Count, *Frame);
  return HeaderJson(*Frame);
}

// True when the bytes at Offset are a syncword (0B 77), where every frame starts.
bool SyncwordAt(const std::filesystem::path& File, int64_t Offset) {
  TFileStream Stream;
  uint8_t Bytes[2] = {};
  return Stream.Open(File, TFileStream::TMode::Read) && Stream.ReadAt(Offset, Bytes, 2) == 2 && IsSyncword(Bytes);
}

int RunTree(const TOptions& Options, const std::filesystem::path& File, int64_t Offset, std::FILE* Out,
            std::FILE* Err) {
  auto Window = std::make_unique<TFrameWindow>();
  // The tree is decoded at Offset: no window is filled, so a long run of junk costs nothing.
  Window->SetVisibleRows(0);
  if (const int Status = Load(*Window, File, Options.Force, Err); Status != ExitDone) return Status;
  if (!OffsetInFile(*Window, Offset, File, Err)) return ExitFailure;
  if (!Window->UpdatePack(Offset)) {
    PutError(Err, "cannot read " + PathText(File) + " at offset " + std::to_string(Offset));
    return ExitFailure;
  }
  if (Options.Json) {
    TJson Json = FileJson(*Window, File);
    Json["offset"] = Window->PackOffset();
    Json["length"] = Window->PackLength();
    Json["header"] = Window->EAC3() ? DecodedHeaderJson<TAC3PlusFrame>(File, Offset, parse_ac3_plus_frame)
                                    : DecodedHeaderJson<TAC3Frame>(File, Offset, parse_ac3_frame);
    Json["nodes"] = TreeJson(Window->Tree());
    PutLine(Out, Dump(Json));
  } else {
    PutText(Out, ToUtf8(Window->TreeText(u"\n")));
  }
  // The tree shows what the decode gives wherever it is asked for; a script learns from the
  // status whether a frame could start there at all.
  if (!SyncwordAt(File, Offset)) {
    PutError(Err, "no syncword at offset " + std::to_string(Offset) + " of " + PathText(File));
    return ExitDoubtful;
  }
  return ExitDone;
}

// The kind a file is checked or rewritten as: the stream test's answer; with --force, AC-3 for a
// file that fails the test.
int TestedKind(const std::filesystem::path& File, bool Force, std::FILE* Err, bool& EAC3) {
  auto Window = std::make_unique<TFrameWindow>();
  const TStreamKind Kind = Window->StreamTest(File);
  if (Kind == TStreamKind::None && !Force) {
    PutLine(Err, ToUtf8(NotAStreamText));
    return ExitNotAStream;
  }
  EAC3 = Kind == TStreamKind::EAC3;
  return ExitDone;
}

int RunCheck(const TOptions& Options, const std::filesystem::path& File, std::FILE* Out, std::FILE* Err) {
  bool EAC3 = false;
  if (const int Status = TestedKind(File, Options.Force, Err, EAC3); Status != ExitDone) return Status;
  if (const std::string Note = UnfinishedChangeNote(File); !Note.empty()) PutError(Err, "warning: " + Note);
  TOutputBlock Output(Out);
  TCheckReportWriter Report(Options.Json ? TReportFormat::Json : TReportFormat::Text, File, EAC3,
                            [&Output](std::string_view Piece) { Output.Append(Piece); });
  // Findings go out as they are found, so that the check's memory stays the same however many there are.
  const auto Sink = [&](const TStreamFinding& Finding) {
    Report.Finding(Finding);
    return !Output.Failed();
  };
  TProgressLine Progress(Err, "checked");
  TStreamSummary Summary;
  std::string Error;
  const TCheckEnd End = CheckStream(
      File, EAC3, Sink, Summary, [&](int64_t Position, int64_t Size) { Progress.Update(Position, Size); }, nullptr,
      Error);
  if (End == TCheckEnd::Failed) {
    Output.Flush();
    PutError(Err, "cannot read " + PathText(File) + ": " + Error);
    return ExitFailure;
  }
  Report.Finish(Summary);
  Output.Flush();
  if (Output.Failed()) {
    PutError(Err, "cannot write the check's report");
    return ExitFailure;
  }
  return Summary.Problems > 0 ? ExitProblem : ExitDone;
}

std::string SkippedReason(const TDialnormSkipped& Skipped) {
  switch (Skipped.Fit) {
    case TFrameFit::CutShort:
      return "the frame is cut short";
    case TFrameFit::PastEnd:
      return "the frame runs past the end of the file";
    case TFrameFit::SizeUnknown:
      return "the frame's size is unknown";
    case TFrameFit::Whole:
      break;
  }
  return Skipped.Crc.Failed() ? ToUtf8(CrcVerdictText(Skipped.Crc)) : "the frame cannot be rewritten";
}

std::string FramesText(int64_t Count) { return std::to_string(Count) + (Count == 1 ? " frame" : " frames"); }

// --match-loudness: the dialnorm that claims the measured loudness, and what to say of it.
class TLoudnessMatch {
 public:
  TLoudnessMatch(const std::filesystem::path& File, bool EAC3, std::FILE* Err) : FFile(File), FEAC3(EAC3), FErr(Err) {}

  // Measures the file and chooses the value; false, with Error, when the measurement fails or
  // gives no verdict.
  bool Choose(uint32_t& Dialnorm, std::string& Error);
  // "Integrated loudness: ..." and "dialnorm: <before> -> <after>".
  std::vector<std::string> Lines(uint32_t Dialnorm) const;

 private:
  std::filesystem::path FFile;
  bool FEAC3;
  std::FILE* FErr;
#ifdef CORVANE_HAVE_LOUDNESS
  TLoudnessResult FResult;
#endif
};

#ifdef CORVANE_HAVE_LOUDNESS
bool TLoudnessMatch::Choose(uint32_t& Dialnorm, std::string& Error) {
  TLoudnessRequest Request;
  Request.File = FFile;
  Request.EAC3 = FEAC3;
  {
    TProgressLine Progress(FErr, "measured");
    Request.Progress = [&](int64_t Position, int64_t Size) { Progress.Update(Position, Size); };
    FResult = MeasureLoudness(Request);
  }
  const std::string Left = "; it was left as it was";
  if (!FResult.Completed) {
    Error = "cannot measure " + PathText(FFile) + ": " + FResult.Error + Left;
    return false;
  }
  if (const TDialnormVerdict Verdict = JudgeDialnorm(FResult); !Verdict.Measured) {
    Error = "cannot match dialnorm to the loudness of " + PathText(FFile) + ": " + NoVerdictReason(Verdict) + Left;
    return false;
  }
  Dialnorm = MatchingDialnorm(FResult.Integrated);
  return true;
}

std::vector<std::string> TLoudnessMatch::Lines(uint32_t Dialnorm) const {
  std::string Measured = "Integrated loudness: " + LoudnessText(FResult.Integrated) + " (" +
                         FramesText(FResult.Frames) + " measured";
  if (FResult.FindingCount > 0) Measured += ", " + FramesText(FResult.FindingCount) + " left out";
  std::string Change = "dialnorm: " + DialnormValuesText(FResult.Dialnorms) + " -> " + std::to_string(Dialnorm);
  // Past -1 or -31 LKFS dialnorm cannot follow.
  if (std::fabs(FResult.Integrated + Dialnorm) > 0.5)
    Change += " (as near as dialnorm comes to " + LoudnessText(FResult.Integrated) + ")";
  return {Measured + ")", Change};
}
#else
bool TLoudnessMatch::Choose(uint32_t&, std::string& Error) {
  Error = NoLoudnessText;
  return false;
}

std::vector<std::string> TLoudnessMatch::Lines(uint32_t) const { return {}; }
#endif

int RunDialnorm(const TOptions& Options, const std::filesystem::path& File, std::FILE* Out, std::FILE* Err,
                bool& FileComplete) {
  bool EAC3 = false;
  if (const int Status = TestedKind(File, Options.Force, Err, EAC3); Status != ExitDone) return Status;
  TDialnormRequest Request;
  Request.File = File;
  TLoudnessMatch Match(File, EAC3, Err);
  if (Options.Set)
    Request.Dialnorm = static_cast<uint32_t>(*Options.Set);
  else
    Request.Choose = [&Match](uint32_t& Dialnorm, std::string& Error) { return Match.Choose(Dialnorm, Error); };
  if (Options.Output) Request.Output = PathFromArg(*Options.Output);
  Request.Skipped = [Out](const TDialnormSkipped& Skipped) {
    PutLine(Out, ToUtf8(OffsetText(Skipped.Offset)) + " left as it was: " + SkippedReason(Skipped));
  };
  Request.Notice = [Err](const std::string& Text) { PutError(Err, Text); };
  TProgressLine Progress(Err, "rewritten");
  Request.Progress = [&](int64_t Position, int64_t Size) { Progress.Update(Position, Size); };
  const TDialnormResult Result = RewriteDialnorm(Request);
  if (!Result.Completed) {
    PutError(Err, Result.Error);
    return ExitFailure;
  }
  FileComplete = true;
  if (Options.MatchLoudness)
    for (const std::string& Line : Match.Lines(Result.Dialnorm)) PutLine(Out, Line);
  const int64_t Left = Result.BadCrc + Result.NotWhole;
  PutLine(Out, FramesText(Result.Frames) + ": " + std::to_string(Result.Rewritten) + " rewritten, " +
                   std::to_string(Result.AlreadySet) + " already at dialnorm " + std::to_string(Result.Dialnorm) +
                   ", " + std::to_string(Left) + " left as " + (Left == 1 ? "it was" : "they were") + " (" +
                   std::to_string(Result.BadCrc) + " failing a CRC, " + std::to_string(Result.NotWhole) +
                   " not whole)");
  return Result.AllSet() ? ExitDone : ExitProblem;
}

#ifdef CORVANE_HAVE_LOUDNESS
int RunLoudness(const TOptions& Options, const std::filesystem::path& File, std::FILE* Out, std::FILE* Err) {
  bool EAC3 = false;
  if (const int Status = TestedKind(File, Options.Force, Err, EAC3); Status != ExitDone) return Status;
  TOutputBlock Output(Out);
  const bool Series = Options.Series.has_value();
  TJson Head;
  PutFileName(Head, File);
  Head["kind"] = EAC3 ? "E-AC-3" : "AC-3";
  if (Options.Json && Series) {
    // The rows go out as they are measured, so that a long series takes no memory.
    const std::string Text = Dump(Head);
    Output.Append(std::string_view(Text).substr(0, Text.size() - 1));
    Output.Append(",\"series\":[");
  } else if (Series) {
    Output.Append(std::string(SeriesCsvHeader) + "\n");
  }
  TLoudnessRequest Request;
  Request.File = File;
  Request.EAC3 = EAC3;
  int64_t Rows = 0;
  if (Series) {
    Request.SeriesStep = *Options.Series;
    Request.Series = [&](const TSeriesRow& Row) {
      if (Options.Json && Rows > 0) Output.Append(",");
      Output.Append(Options.Json ? Dump(SeriesJson(Row)) : SeriesCsvLine(Row) + "\n");
      ++Rows;
      return !Output.Failed();
    };
  }
  TProgressLine Progress(Err, "measured");
  Request.Progress = [&](int64_t Position, int64_t Size) { Progress.Update(Position, Size); };
  const TLoudnessResult Result = MeasureLoudness(Request);
  if (!Result.Completed) {
    Output.Flush();
    PutError(Err, "cannot measure " + PathText(File) + ": " + Result.Error);
    return ExitFailure;
  }
  if (Options.Json) {
    TJson Summary = Series ? TJson::object() : Head;
    AddLoudnessJson(Summary, Result);
    const std::string Text = Dump(Summary);
    // After the series its members join the document the head began.
    if (Series) Output.Append("],");
    Output.Append(std::string_view(Text).substr(Series ? 1 : 0));
    Output.Append("\n");
  } else if (Series) {
    // The CSV stays CSV: what kept frames out of the measurement goes to stderr.
    for (const std::string& Line : LoudnessFindingLines(Result)) PutError(Err, Line);
  } else {
    for (const std::string& Line : LoudnessFindingLines(Result)) Output.Append(Line + "\n");
    if (!Result.Findings.empty()) Output.Append("\n");
    Output.Append("File: " + PathText(File) + "\nKind: " + (EAC3 ? "E-AC-3" : "AC-3") + "\n");
    for (const std::string& Line : LoudnessLines(Result)) Output.Append(Line + "\n");
  }
  Output.Flush();
  if (Output.Failed()) {
    PutError(Err, "cannot write the loudness report");
    return ExitFailure;
  }
  return JudgeDialnorm(Result).Agrees ? ExitDone : ExitDisagrees;
}
#else
int RunLoudness(const TOptions&, const std::filesystem::path&, std::FILE*, std::FILE* Err) {
  PutError(Err, NoLoudnessText);
  return ExitFailure;
}
#endif

int RunRestore(const std::filesystem::path& File, std::FILE* Out, std::FILE* Err, bool& FileComplete) {
  const TRecovery Recovery = RestoreFile(File);
  switch (Recovery.Outcome) {
    case TRecovery::TOutcome::Failed:
      PutError(Err, Recovery.Text);
      return ExitFailure;
    case TRecovery::TOutcome::Nothing:
      PutLine(Out, PathText(File) + " has no unfinished change");
      break;
    case TRecovery::TOutcome::RolledBack:
    case TRecovery::TOutcome::Discarded:
      PutLine(Out, Recovery.Text);
      break;
  }
  FileComplete = true;
  return ExitDone;
}

// Sends the analysis' diagnostic lines to stderr when they were asked for and drops them
// otherwise. The channel's own default would not do: on Windows it is the debugger output.
class TDebugLines {
 public:
  TDebugLines(bool Show, std::FILE* Err) {
    FPrevious = SetDebugSink([Show, Err](const std::u16string& Line) {
      if (Show) PutLine(Err, ToUtf8(Line));
    });
  }
  ~TDebugLines() { SetDebugSink(std::move(FPrevious)); }
  TDebugLines(const TDebugLines&) = delete;
  TDebugLines& operator=(const TDebugLines&) = delete;

 private:
  TDebugSink FPrevious;
};

// FileComplete: the command wrote a file, and it is complete and correct.
int Run(const std::vector<std::string>& Args, std::FILE* Out, std::FILE* Err, bool& FileComplete) {
  const TOptions Options = ParseArgs(Args);
  if (Options.Help) {
    PutText(Out, HelpText);
    return ExitDone;
  }
  if (Options.Version) {
    PutLine(Out, "corvane-cli " CORVANE_VERSION);
    return ExitDone;
  }
  if (Options.Command.empty()) throw TUsageError("no command given");
  const bool Tree = Options.Command == "tree";
  const bool Dialnorm = Options.Command == "dialnorm";
  const bool Loudness = Options.Command == "loudness";
  const bool Restore = Options.Command == "restore";
  if (Options.Command != "detect" && Options.Command != "list" && Options.Command != "check" && !Tree && !Dialnorm &&
      !Loudness && !Restore)
    throw TUsageError("unknown command '" + Options.Command + "'");
  const size_t Wanted = Tree ? 2 : 1;
  if (Options.Operands.size() != Wanted)
    throw TUsageError(Options.Command + (Tree ? " takes a FILE and an OFFSET" : " takes one FILE"));
  if (Options.Command != "list" && (Options.All || Options.From || Options.RowsGiven))
    throw TUsageError("--rows, --from and --all belong to list");
  if (Options.All && Options.RowsGiven) throw TUsageError("--all lists windows of 256 rows; --rows does not apply");
  if (!Dialnorm && (Options.Set || Options.Output || Options.MatchLoudness))
    throw TUsageError("--set, --match-loudness and --output belong to dialnorm");
  if (Dialnorm && Options.Set.has_value() == Options.MatchLoudness)
    throw TUsageError("dialnorm needs either --set N or --match-loudness");
  if ((Dialnorm || Restore) && Options.Json) throw TUsageError(Options.Command + " has no --json form");
  if (!Loudness && Options.Series) throw TUsageError("--series belongs to loudness");

  std::optional<int64_t> Offset;
  if (Tree) {
    Offset = ParsePosition(Options.Operands[1]);
    if (!Offset) throw TUsageError("OFFSET must be a byte position, not '" + Options.Operands[1] + "'");
  }
  const std::filesystem::path File = PathFromArg(Options.Operands[0]);
  if (!CheckReadable(File, Err)) return ExitFailure;

  const TDebugLines DebugLines(Options.Debug, Err);
  if (Options.Command == "detect") return RunDetect(Options, File, Out);
  if (Options.Command == "list") return RunList(Options, File, Out, Err);
  if (Options.Command == "check") return RunCheck(Options, File, Out, Err);
  if (Dialnorm) return RunDialnorm(Options, File, Out, Err, FileComplete);
  if (Loudness) return RunLoudness(Options, File, Out, Err);
  if (Restore) return RunRestore(File, Out, Err, FileComplete);
  return RunTree(Options, File, *Offset, Out, Err);
}

}  // namespace

int RunCli(const std::vector<std::string>& Args, std::FILE* Out, std::FILE* Err) {
  int Status;
  bool FileComplete = false;
  try {
    Status = Run(Args, Out, Err, FileComplete);
  } catch (const TUsageError& Error) {
    PutError(Err, std::string(Error.what()) + " (see corvane-cli --help)");
    Status = ExitFailure;
  } catch (const std::exception& Error) {
    PutError(Err, Error.what());
    Status = ExitFailure;
  }
  // Output that could not be written is a failure, also where it only shows when the last
  // buffered bytes go out.
  const bool OutputLost = std::fflush(Out) != 0 || std::ferror(Out) != 0;
  if (OutputLost && FileComplete) {
    // The file is what counts: its status stands.
    PutError(Err, "cannot write the report, but the file is complete and correct");
  } else if (OutputLost && Status != ExitFailure) {
    PutError(Err, "cannot write the output");
    Status = ExitFailure;
  }
  std::fflush(Err);
  return Status;
}

}  // namespace corvane::cli
