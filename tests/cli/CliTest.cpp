// corvane-cli's commands, run in-process: their exact output, JSON forms, errors and exit codes.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/Cli.h"
#include "core/ODSUtls.h"
#include "viewer/CheckReport.h"
#include "viewer/DialnormRewrite.h"
#include "viewer/ViewerTestSupport.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/WriterFaults.h"
#endif

namespace corvane {
namespace {

using test::TBytes;

struct TRun {
  int Status;
  std::string Out;
  std::string Err;
};

std::string ReadAll(std::FILE* File) {
  std::rewind(File);
  std::string Text;
  char Chunk[4096];
  size_t Got;
  while ((Got = std::fread(Chunk, 1, sizeof(Chunk), File)) > 0) Text.append(Chunk, Got);
  std::fclose(File);
  return Text;
}

TRun RunCommand(const std::vector<std::string>& Args) {
  std::FILE* Out = std::tmpfile();
  std::FILE* Err = std::tmpfile();
  const int Status = cli::RunCli(Args, Out, Err);
  return {Status, ReadAll(Out), ReadAll(Err)};
}

std::string AC3File() { return test::ViewerDataPath("ac3_48k_51_448k.ac3").string(); }  // 32 frames of 1792
std::string EAC3File() { return test::ViewerDataPath("eac3_44k_stereo.eac3").string(); }

// The expected lines, built from the frames' own coded sizes.
std::string ExpectedAC3Lines(int First, int Count) {
  std::string Text;
  char Line[128];
  for (int Frame = First; Frame < First + Count; ++Frame) {
    std::snprintf(Line, sizeof(Line), "0x%016" PRIX64 ", 1792, 1792, 48000 Hz, 448 kbps, \n",
                  static_cast<uint64_t>(Frame) * 1792);
    Text += Line;
  }
  return Text;
}

std::string ExpectedEAC3Lines() {
  std::string Text;
  char Line[128];
  uint64_t Offset = 0;
  for (const TBytes& Frame : test::SplitFrames(test::ReadTestFile(EAC3File()), true)) {
    std::snprintf(Line, sizeof(Line), "0x%016" PRIX64 ", %zu, %zu, 44100 Hz, , \n", Offset, Frame.size(), Frame.size());
    Text += Line;
    Offset += Frame.size();
  }
  return Text;
}

std::string JoinLines(const std::vector<std::u16string>& Lines) {
  std::string Text;
  for (const auto& Line : Lines) Text += ToUtf8(Line) + "\n";
  return Text;
}

TEST(CliList, PrintsTheWindowOfAnAC3FileByteForByte) {
  EXPECT_EQ(RunCommand({"list", AC3File()}).Out, ExpectedAC3Lines(0, 25));
  const TRun Window = RunCommand({"list", "--rows", "3", "--from", "0x700", AC3File()});
  EXPECT_EQ(Window.Status, 0);
  EXPECT_EQ(Window.Out, ExpectedAC3Lines(1, 3));
  EXPECT_EQ(Window.Err, "");
  EXPECT_EQ(RunCommand({"list", "--rows=2", "--from=3585", AC3File()}).Out, ExpectedAC3Lines(3, 2));
  // A window from past the end is an error, however far past: never the load's window again.
  for (const char* From : {"57344", "0x7FFFFFFFFFFFFFFF"}) {
    const TRun Past = RunCommand({"list", "--from", From, AC3File()});
    EXPECT_EQ(Past.Status, 2) << From;
    EXPECT_EQ(Past.Out, "") << From;
  }
}

TEST(CliList, AllListsEveryFrameOfBothKinds) {
  EXPECT_EQ(RunCommand({"list", "--all", AC3File()}).Out, ExpectedAC3Lines(0, 32));
  EXPECT_EQ(RunCommand({"list", "--all", "--from", "55000", AC3File()}).Out, ExpectedAC3Lines(31, 1));
  const TRun Plus = RunCommand({"list", "--all", EAC3File()});
  EXPECT_EQ(Plus.Status, 0);
  EXPECT_EQ(Plus.Out, ExpectedEAC3Lines());
  // The window of an E-AC-3 file is the start of the same list.
  const std::string First = RunCommand({"list", "--rows", "256", EAC3File()}).Out;
  EXPECT_EQ(First, Plus.Out);
}

TEST(CliList, NotAStreamFailsUnlessForced) {
  const test::TTempFile Text(TBytes(5000, 'x'), ".txt");
  const TRun Refused = RunCommand({"list", Text.Path().string()});
  EXPECT_EQ(Refused.Status, 1);
  EXPECT_EQ(Refused.Err, "This is not a valid AC3 audio stream.\n");
  EXPECT_EQ(Refused.Out, "");
  const TRun Forced = RunCommand({"list", "--force", Text.Path().string()});
  EXPECT_EQ(Forced.Status, 0);
  EXPECT_EQ(Forced.Out, "");
  EXPECT_EQ(Forced.Err, "");
}

// The tree the analysis builds for the frame that starts at Offset of File.
template <typename TFrame>
std::string ExpectedTree(const std::string& File, size_t Offset, bool (*Parse)(const uint8_t*, int32_t, TFrame&),
                         void (*Build)(TTreeModel*, const TFrame&)) {
  const TBytes Bytes = test::ReadTestFile(File);
  auto Frame = std::make_unique<TFrame>();
  std::memset(Frame.get(), 0, sizeof(TFrame));
  Parse(Bytes.data() + Offset, static_cast<int32_t>(Bytes.size() - Offset), *Frame);
  TTreeModel Tree;
  Build(&Tree, *Frame);
  return JoinLines(Tree.Texts());
}

TEST(CliTree, PrintsTheSyntaxTreeOfTheFrameAtOffset) {
  const TRun Tree = RunCommand({"tree", AC3File(), "0x700"});
  EXPECT_EQ(Tree.Status, 0);
  EXPECT_EQ(Tree.Out, ExpectedTree<TAC3Frame>(AC3File(), 1792, parse_ac3_frame, UpdateTreeView_ac3_frame));
  EXPECT_EQ(Tree.Out.substr(0, 25), "ac3_syncframe()     \nsync");
  EXPECT_EQ(RunCommand({"tree", EAC3File(), "416"}).Out,
            ExpectedTree<TAC3PlusFrame>(EAC3File(), 416, parse_ac3_plus_frame, UpdateTreeView_ac3_plus_frame));
}

TEST(CliTree, OffsetAtOrPastTheEndIsAnError) {
  for (const char* Offset : {"57344", "0xFFFFFF"}) {
    const TRun Tree = RunCommand({"tree", AC3File(), Offset});
    EXPECT_EQ(Tree.Status, 2) << Offset;
    EXPECT_EQ(Tree.Out, "") << Offset;
    EXPECT_NE(Tree.Err.find("past the end"), std::string::npos) << Tree.Err;
    EXPECT_EQ(std::count(Tree.Err.begin(), Tree.Err.end(), '\n'), 1) << Tree.Err;
  }
}

TEST(CliDetect, PrintsKindAndFscod) {
  const test::TTempFile Text(TBytes(10, 'x'), ".txt");
  struct TCase {
    std::string File;
    std::string Out;
    int Status;
  };
  const TCase Cases[] = {
      {AC3File(), "AC-3 0\n", 0},
      {test::TestDataPath("ac3_32k_mono.ac3").string(), "AC-3 2\n", 0},
      {EAC3File(), "E-AC-3 1\n", 0},
      {Text.Path().string(), "none 0\n", 1},
  };
  for (const TCase& Case : Cases) {
    const TRun Detect = RunCommand({"detect", Case.File});
    EXPECT_EQ(Detect.Out, Case.Out) << Case.File;
    EXPECT_EQ(Detect.Status, Case.Status) << Case.File;
  }
}

TEST(CliErrors, MissingOrUnreadableFileIsOneLineNamingItBeforeAnyTest) {
  const test::TTempFile Present(TBytes{}, ".ac3");
  const std::string Missing = Present.Path().string() + ".missing";
  const std::string Folder = std::filesystem::temp_directory_path().string();
  const std::pair<std::vector<std::string>, std::string> Commands[] = {
      {{"detect", Missing}, Missing},
      {{"list", Missing}, Missing},
      {{"list", "--all", "--json", Missing}, Missing},
      {{"tree", Missing, "0"}, Missing},
      {{"detect", Folder}, Folder},
  };
  for (const auto& [Command, File] : Commands) {
    const TRun Result = RunCommand(Command);
    EXPECT_EQ(Result.Status, 2) << Command[0];
    EXPECT_EQ(Result.Out, "") << Command[0];
    EXPECT_NE(Result.Err.find(File), std::string::npos) << Result.Err;
    EXPECT_EQ(std::count(Result.Err.begin(), Result.Err.end(), '\n'), 1) << Result.Err;
  }
#ifndef _WIN32  // Windows words its reasons in the user's language
  EXPECT_NE(RunCommand({"list", Missing}).Err.find("No such file or directory"), std::string::npos);
  EXPECT_NE(RunCommand({"list", Folder}).Err.find("Is a directory"), std::string::npos);
#endif
}

TEST(CliErrors, BadUsageExitsWithTwo) {
  const std::vector<std::vector<std::string>> Commands = {
      {},
      {"play", AC3File()},
      {"list"},
      {"list", AC3File(), AC3File()},
      {"list", "--rows", "0", AC3File()},
      {"list", "--rows", "257", AC3File()},
      {"list", "--from", "-5", AC3File()},
      {"list", "--rows"},
      {"list", "--bogus", AC3File()},
      {"tree", AC3File()},
      {"tree", AC3File(), "12z"},
      {"detect", "--all", AC3File()},
      {"list", "--all", "--rows", "25", AC3File()},
      {"dialnorm", AC3File()},
      {"dialnorm", "--set", "0", AC3File()},
      {"dialnorm", "--set", "32", AC3File()},
      {"dialnorm", "--set", "12", "--json", AC3File()},
      {"check", "--set", "12", AC3File()},
      {"list", "--output", "x.ac3", AC3File()},
      {"list", "--series", "1", AC3File()},
      {"loudness", "--series", "0", AC3File()},
      {"loudness", "--series", "1s", AC3File()},
      {"loudness", AC3File(), AC3File()},
      {"dialnorm", "--set", "12", "--match-loudness", AC3File()},
      {"check", "--match-loudness", AC3File()},
  };
  for (const auto& Command : Commands) {
    const TRun Result = RunCommand(Command);
    EXPECT_EQ(Result.Status, 2) << (Command.empty() ? "" : Command.back());
    EXPECT_EQ(std::count(Result.Err.begin(), Result.Err.end(), '\n'), 1) << Result.Err;
  }
}

#ifdef CORVANE_HAVE_LOUDNESS
std::string LoudnessStream(const std::string& Name) { return test::TestDataPath("loudness/" + Name).string(); }

// The summary's verdict decides the exit status: a stream of -20 LKFS with dialnorm 20 agrees,
// one of -23 LKFS with dialnorm 27 does not.
TEST(CliLoudness, TheVerdictDecidesTheExitStatus) {
  const TRun Agrees = RunCommand({"loudness", LoudnessStream("sine_2_0.ac3")});
  EXPECT_EQ(Agrees.Status, 0) << Agrees.Err;
  EXPECT_NE(Agrees.Out.find("\nIntegrated loudness: -20.0 LKFS\n"), std::string::npos) << Agrees.Out;
  EXPECT_NE(Agrees.Out.find("\nTrue peak: -20.0 dBTP (L -20.0, R -20.0)\n"), std::string::npos) << Agrees.Out;
  EXPECT_NE(Agrees.Out.find("\nVerdict: dialnorm agrees with the measured loudness (0.0 dB apart"), std::string::npos);

  const TRun Disagrees = RunCommand({"loudness", LoudnessStream("sine_1_0.ac3")});
  EXPECT_EQ(Disagrees.Status, 1) << Disagrees.Err;
  EXPECT_NE(Disagrees.Out.find("\nDifference: +3.9 dB (measured -23.1 LKFS, dialnorm 27 says -27 LKFS)\n"),
            std::string::npos)
      << Disagrees.Out;
  EXPECT_NE(Disagrees.Out.find("\nVerdict: dialnorm does not agree"), std::string::npos);
  EXPECT_EQ(Disagrees.Err, "");
}

TEST(CliLoudness, JsonAndSeries) {
  const auto Json = nlohmann::json::parse(RunCommand({"loudness", "--json", LoudnessStream("sine_3_2_lfe.ac3")}).Out);
  EXPECT_EQ(Json["kind"], "AC-3");
  EXPECT_NEAR(Json["integrated"].get<double>(), -18.8, 0.1);
  EXPECT_NEAR(Json["true_peaks"]["LFE"].get<double>(), -6.0, 0.1);
  EXPECT_EQ(Json["verdict"]["dialnorm"], 19);
  EXPECT_EQ(Json["verdict"]["agrees"], true);
  EXPECT_EQ(Json["compr"]["frames"], 0);
  EXPECT_EQ(Json["dynrng"]["frames"], Json["frames"]);
  EXPECT_EQ(Json["findings"].size(), 0u);

  // CSV: the header, three whole seconds and the rest.
  const TRun Csv = RunCommand({"loudness", "--series", "1", LoudnessStream("sine_2_0.ac3")});
  EXPECT_EQ(Csv.Status, 0);
  const std::string Header = "time,momentary,short_term,bit_rate,dialnorm,compr,dynrng\n";
  ASSERT_EQ(Csv.Out.substr(0, Header.size()), Header);
  EXPECT_EQ(std::count(Csv.Out.begin(), Csv.Out.end(), '\n'), 5);
  EXPECT_NE(Csv.Out.find("\n3.000,-20.0,-20.0,96.0,20,,0.00\n"), std::string::npos) << Csv.Out;

  const auto Series = nlohmann::json::parse(RunCommand({"loudness", "--json", "--series", "1", LoudnessStream("sine_2_0.ac3")}).Out);
  ASSERT_EQ(Series["series"].size(), 4u);
  EXPECT_EQ(Series["series"][2]["time"], 3.0);
  EXPECT_EQ(Series["series"][2]["compr"], nullptr);
  EXPECT_NEAR(Series["integrated"].get<double>(), -20.0, 0.1);
  EXPECT_EQ(Series["file"], LoudnessStream("sine_2_0.ac3"));
}

// --match-loudness measures, then sets the level it measured through the writer of --set, in
// place or into an output file; a measurement without a verdict changes nothing.
TEST(CliLoudness, MatchLoudnessSetsTheMeasuredLevel) {
  const TBytes Original = test::ReadTestFile(LoudnessStream("sine_1_0.ac3"));  // -23.1 LKFS, dialnorm 27
  const test::TTempFile File(Original, ".ac3");
  const std::string Name = File.Path().string();
  const std::string Set = "94 frames: 94 rewritten, 0 already at dialnorm 23, 0 left as they were (0 failing a CRC, 0 not whole)\n";
  const std::filesystem::path Output = Name + ".out.ac3";
  const TRun Copy = RunCommand({"dialnorm", "--match-loudness", "--output", Output.string(), Name});
  EXPECT_EQ(Copy.Status, 0) << Copy.Err;
  EXPECT_EQ(Copy.Err, "");
  EXPECT_EQ(Copy.Out, "Integrated loudness: -23.1 LKFS (94 frames measured)\ndialnorm: 27 (94 frames) -> 23\n" + Set);
  EXPECT_EQ(File.ReadAll(), Original);
  const TRun Agrees = RunCommand({"loudness", Output.string()});
  EXPECT_EQ(Agrees.Status, 0);
  EXPECT_NE(Agrees.Out.find("\nVerdict: dialnorm agrees with the measured loudness (0.1 dB apart"), std::string::npos)
      << Agrees.Out;

  const TRun InPlace = RunCommand({"dialnorm", "--match-loudness", Name});
  EXPECT_EQ(InPlace.Status, 0) << InPlace.Err;
  EXPECT_EQ(File.ReadAll(), test::ReadTestFile(Output));
  std::filesystem::remove(Output);

  // Silence rises above no gate: an error, and the file as it was.
  const TBytes Silent = test::ReadTestFile(LoudnessStream("silence_2_0.ac3"));
  const test::TTempFile Quiet(Silent, ".ac3");
  const TRun Refused = RunCommand({"dialnorm", "--match-loudness", Quiet.Path().string()});
  EXPECT_EQ(Refused.Status, 2);
  EXPECT_EQ(Refused.Out, "");
  EXPECT_EQ(Refused.Err, "corvane-cli: cannot match dialnorm to the loudness of " + Quiet.Path().string() +
                             ": the programme stays below the gates of the measurement; it was left as it was\n");
  EXPECT_EQ(Quiet.ReadAll(), Silent);
  EXPECT_FALSE(std::filesystem::exists(JournalPath(Quiet.Path())));
}
#endif

// The analysis reports a frame too short to decode; the line reaches the command's stderr with
// --debug (on every platform: the channel's own default is the debugger output on Windows) and
// nowhere without it, the debug channel's sink being left as it was either way.
TEST(CliDebug, DiagnosticLinesGoToStderrOnlyWhenAskedFor) {
  const test::TTempFile Short(TBytes{'a', 'b', 'c'}, ".bin");
  TDebugCapture Capture;
  const TRun Shown = RunCommand({"tree", "--force", "--debug", Short.Path().string(), "0"});
  EXPECT_EQ(Shown.Status, 1);
  EXPECT_NE(Shown.Err.find("nox: Error in parse_ac3_frame - insufficient memory.\n"), std::string::npos) << Shown.Err;
  const TRun Quiet = RunCommand({"tree", "--force", Short.Path().string(), "0"});
  EXPECT_EQ(Quiet.Err, "corvane-cli: no syncword at offset 0 of " + Short.Path().string() + "\n");
  EXPECT_TRUE(Capture.Lines().empty());
  DebugLog(u"after");
  EXPECT_EQ(Capture.Lines(), std::vector<std::u16string>{u"after"});
}

TEST(CliHelp, DocumentsEveryCommand) {
  const TRun Help = RunCommand({"--help"});
  EXPECT_EQ(Help.Status, 0);
  for (const char* Word :
       {"detect FILE", "list FILE", "tree FILE OFFSET", "check FILE", "dialnorm --set N FILE", "--match-loudness",
        "--output OUT",
        "restore FILE", "--rows", "--from", "--all", "--force", "--json", "Exit status"})
    EXPECT_NE(Help.Out.find(Word), std::string::npos) << Word;
}

TEST(CliJson, ListTreeAndDetectCarryTheSameContent) {
  const auto List = nlohmann::json::parse(RunCommand({"list", "--json", "--rows", "4", AC3File()}).Out);
  EXPECT_EQ(List["kind"], "AC-3");
  EXPECT_EQ(List["fscod"], 0);
  ASSERT_EQ(List["frames"].size(), 4u);
  const auto& Second = List["frames"][1];
  EXPECT_EQ(Second["offset"], 1792);
  EXPECT_EQ(Second["length"], 1792);
  EXPECT_EQ(Second["row"]["Offset"], "0x0000000000000700");
  EXPECT_EQ(Second["row"]["Bitrate"], "448 kbps");
  EXPECT_EQ(Second["header"]["syncword"]["value"], 0x0B77);
  EXPECT_EQ(Second["header"]["frmsizecod"]["value"], 30);
  EXPECT_EQ(Second["header"]["acmod"]["value"], 7);
  EXPECT_EQ(Second["header"]["lfeon"]["value"], 1);

  // The walk decodes every frame as the window does.
  const auto All = nlohmann::json::parse(RunCommand({"list", "--all", "--json", AC3File()}).Out);
  ASSERT_EQ(All["frames"].size(), 32u);
  for (size_t Frame = 0; Frame < 4; ++Frame) EXPECT_EQ(All["frames"][Frame], List["frames"][Frame]) << Frame;

  const auto Plus = nlohmann::json::parse(RunCommand({"list", "--all", "--json", EAC3File()}).Out);
  EXPECT_EQ(Plus["kind"], "E-AC-3");
  EXPECT_EQ(Plus["frames"][0]["header"]["bsid"]["value"], 16);
  EXPECT_EQ(Plus["frames"][0]["header"]["frmsiz"]["value"], 416);
  EXPECT_EQ(Plus["frames"][0]["row"]["Bitrate"], "");

  const auto Tree = nlohmann::json::parse(RunCommand({"tree", "--json", AC3File(), "0"}).Out);
  EXPECT_EQ(Tree["length"], 1792);
  std::string Flat;
  const std::function<void(const nlohmann::json&)> Flatten = [&](const nlohmann::json& Nodes) {
    for (const auto& Node : Nodes) {
      Flat += Node["text"].get<std::string>() + "\n";
      Flatten(Node["children"]);
    }
  };
  Flatten(Tree["nodes"]);
  EXPECT_EQ(Flat, RunCommand({"tree", AC3File(), "0"}).Out);
  EXPECT_GT(Tree["nodes"][0]["children"].size(), 1u);

  const auto Detect = nlohmann::json::parse(RunCommand({"detect", "--json", EAC3File()}).Out);
  EXPECT_EQ(Detect["kind"], "E-AC-3");
  EXPECT_EQ(Detect["fscod"], 1);
}

// The bits [Offset, Offset + Width) of Bytes, most significant bit first.
uint64_t BitsAt(const TBytes& Bytes, int64_t Offset, int64_t Width) {
  uint64_t Value = 0;
  for (int64_t Bit = Offset; Bit < Offset + Width; ++Bit)
    Value = Value << 1 | ((static_cast<uint32_t>(Bytes.at(static_cast<size_t>(Bit / 8))) >> (7 - Bit % 8)) & 1u);
  return Value;
}

// Each field's value is the one its offset and width point at in the file, the fields follow each
// other without a gap, and a field the frame does not carry is left out rather than written as 0.
TEST(CliJson, HeaderFieldsCarryTheirBitsAndOnlyTheFieldsTheFrameCarries) {
  struct TCase {
    std::string File;
    std::vector<std::string> Carried;
    std::vector<std::string> NotCarried;
  };
  const TCase Cases[] = {
      {AC3File(),
       {"crc1", "cmixlev", "surmixlev", "timecod1e", "blksw[4]", "dithflag[0]", "dynrnge"},
       {"dsurmod", "dialnorm2", "compr2", "addbsil", "dynrng", "dynrng2e"}},
      {EAC3File(), {"frmsiz", "infomdate", "addbsie", "audfrm", "dynrnge"}, {"fscod2", "chanmap", "dmixmod", "blkid", "addbsil", "dynrng"}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.File);
    const TBytes Bytes = test::ReadTestFile(Case.File);
    // Parsed keeping the order of the fields, which is the order they were read in.
    const auto List = nlohmann::ordered_json::parse(RunCommand({"list", "--json", "--rows", "3", Case.File}).Out);
    ASSERT_EQ(List["frames"].size(), 3u);
    for (const auto& Frame : List["frames"]) {
      const int64_t FrameBit = 8 * Frame["offset"].get<int64_t>();
      int64_t Next = 0;
      for (const auto& [Name, Field] : Frame["header"].items()) {
        ASSERT_EQ(Field["offset"], Next) << Name;
        Next += Field["width"].get<int64_t>();
        // A structure measured as a whole (audfrm) has bits but no value.
        if (!Field.contains("value")) continue;
        EXPECT_EQ(Field["value"], BitsAt(Bytes, FrameBit + Field["offset"].get<int64_t>(), Field["width"])) << Name;
      }
      for (const std::string& Name : Case.Carried) EXPECT_TRUE(Frame["header"].contains(Name)) << Name;
      for (const std::string& Name : Case.NotCarried) EXPECT_FALSE(Frame["header"].contains(Name)) << Name;
    }
  }
}

// The tree's JSON holds the frame's header as list has it, and each field's node the same bits.
TEST(CliJson, TreeNodesCarryTheBitsOfTheirFields) {
  for (const std::string& File : {AC3File(), EAC3File()}) {
    SCOPED_TRACE(File);
    const auto List = nlohmann::json::parse(RunCommand({"list", "--json", "--rows", "2", File}).Out);
    const auto& Second = List["frames"][1];
    const auto Tree =
        nlohmann::json::parse(RunCommand({"tree", "--json", File, std::to_string(Second["offset"].get<int64_t>())}).Out);
    EXPECT_EQ(Tree["header"], Second["header"]);

    std::vector<std::string> Marked;
    const std::function<void(const nlohmann::json&)> Walk = [&](const nlohmann::json& Nodes) {
      for (const auto& Node : Nodes) {
        if (Node.contains("offset")) {
          const std::string Text = Node["text"];
          std::string Name = Text.substr(0, Text.find(' '));
          if (Name.ends_with("()")) Name.resize(Name.size() - 2);  // audfrm(), marked as a whole
          ASSERT_TRUE(Tree["header"].contains(Name)) << Text;
          EXPECT_EQ(Node["offset"], Tree["header"][Name]["offset"]) << Text;
          EXPECT_EQ(Node["width"], Tree["header"][Name]["width"]) << Text;
          Marked.push_back(Name);
        }
        Walk(Node["children"]);
      }
    };
    Walk(Tree["nodes"]);
    EXPECT_EQ(Marked.size(), Tree["header"].size());
  }
}

// Output that cannot be written is an error, whether it fails at once or only when the last
// buffered bytes go out at the end.
TEST(CliErrors, OutputThatCannotBeWrittenFailsTheCommand) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const std::vector<std::vector<std::string>> Commands = {
      {"detect", AC3File()},        {"list", AC3File()}, {"list", "--json", EAC3File()},
      {"list", "--all", AC3File()}, {"tree", EAC3File(), "0"}, {"--help"},
      {"check", AC3File()},
  };
  for (const auto& Command : Commands) {
    std::FILE* Full = std::fopen("/dev/full", "w");
    ASSERT_NE(Full, nullptr);
    std::FILE* Err = std::tmpfile();
    const int Status = cli::RunCli(Command, Full, Err);
    std::fclose(Full);
    const std::string Errors = ReadAll(Err);
    EXPECT_EQ(Status, 2) << Command[0];
    EXPECT_NE(Errors.find("cannot write"), std::string::npos) << Errors;
    EXPECT_EQ(std::count(Errors.begin(), Errors.end(), '\n'), 1) << Errors;
  }
}

// The analysis' diagnostic lines reach stderr with --debug and nowhere without it.
TEST(CliDebug, DiagnosticLinesOnlyWhenAskedFor) {
  // A syncword with four bytes behind it at the end of the file: decoding there is short of bytes.
  TBytes Bytes = test::ReadTestFile(AC3File());
  test::AppendBytes(Bytes, {0x0B, 0x77, 0x00, 0x00});
  const test::TTempFile File(Bytes, ".ac3");
  const std::string Offset = std::to_string(Bytes.size() - 4);

  TDebugCapture Channel;
  const TRun Quiet = RunCommand({"tree", File.Path().string(), Offset});
  EXPECT_EQ(Quiet.Status, 0);
  EXPECT_EQ(Quiet.Err, "");
  const TRun Shown = RunCommand({"tree", "--debug", File.Path().string(), Offset});
  EXPECT_EQ(Shown.Status, 0);
  EXPECT_NE(Shown.Err.find("nox: Error in parse_ac3_frame - insufficient memory.\n"), std::string::npos) << Shown.Err;
  EXPECT_EQ(Shown.Err.rfind("nox: ", 0), 0u) << Shown.Err;
  EXPECT_EQ(Shown.Out, Quiet.Out);
  EXPECT_TRUE(Channel.Lines().empty()) << "the command's sink is removed again when it ends";
}

TEST(CliErrors, AnOutputThatCannotBeWrittenEndsTheListingWithOneLine) {
  // More lines than the output block holds, so that the walk meets the failed write.
  const test::TTempFile File(test::SyntheticAC3(20000));
  const test::TTempFile Closed(TBytes{});
  std::FILE* Out = std::fopen(Closed.Path().string().c_str(), "rb");
  ASSERT_NE(Out, nullptr);
  std::FILE* Err = std::tmpfile();
  TDebugCapture Capture;
  const int Status = cli::RunCli({"list", "--all", "--debug", File.Path().string()}, Out, Err);
  std::fclose(Out);
  EXPECT_EQ(Status, 2);
  EXPECT_EQ(ReadAll(Err), "corvane-cli: cannot write the frame list\n");
  EXPECT_TRUE(Capture.Lines().empty());
}

TEST(CliFile, NoCommandButDialnormWritesToTheFile) {
  const test::TTempFile File(test::ReadTestFile(AC3File()));
  const auto Before = std::filesystem::last_write_time(File.Path());
  const std::string Path = File.Path().string();
  for (const auto& Command : std::vector<std::vector<std::string>>{
           {"detect", Path}, {"list", Path}, {"list", "--all", "--json", Path}, {"tree", Path, "1792"}, {"check", Path}})
    EXPECT_EQ(RunCommand(Command).Status, 0) << Command[0];
  EXPECT_EQ(std::filesystem::last_write_time(File.Path()), Before);
  EXPECT_EQ(test::ReadTestFile(File.Path()), test::ReadTestFile(AC3File()));
}

#ifndef _WIN32

// Runs the command in a child process and kills it after Seconds, so that a command that hangs
// fails the test instead of hanging it. The status is -1 when the child was killed or crashed.
TRun RunCommandWithin(const std::vector<std::string>& Args, int Seconds = 20) {
  std::FILE* Out = std::tmpfile();
  std::FILE* Err = std::tmpfile();
  std::fflush(nullptr);
  const pid_t Child = fork();
  if (Child == 0) {
    const int Status = cli::RunCli(Args, Out, Err);
    std::fflush(nullptr);
    _exit(Status);
  }
  int Wait = 0;
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
  pid_t Done = 0;
  while ((Done = waitpid(Child, &Wait, WNOHANG)) == 0 && std::chrono::steady_clock::now() < Deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (Done == 0) {
    kill(Child, SIGKILL);
    waitpid(Child, &Wait, 0);
    ADD_FAILURE() << "corvane-cli " << testing::PrintToString(Args) << " still ran after " << Seconds << " s";
    ReadAll(Out);
    ReadAll(Err);
    return {-1, "", ""};
  }
  const int Status = WIFEXITED(Wait) ? WEXITSTATUS(Wait) : -1;
  return {Status, ReadAll(Out), ReadAll(Err)};
}

// A FIFO in the temporary directory, removed with the object; Writer() holds it open for
// writing (read-write, which does not wait for a reader) until the object dies.
class TTempFifo {
 public:
  explicit TTempFifo(const std::string& Name)
      : FPath(std::filesystem::temp_directory_path() / ("corvane_cli_" + Name + "_" + std::to_string(getpid()))) {
    std::filesystem::remove(FPath);
    if (mkfifo(FPath.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
  }
  ~TTempFifo() {
    if (FWriter >= 0) close(FWriter);
    std::filesystem::remove(FPath);
  }
  TTempFifo(const TTempFifo&) = delete;
  TTempFifo& operator=(const TTempFifo&) = delete;
  const std::filesystem::path& Path() const { return FPath; }
  void Writer() { FWriter = open(FPath.c_str(), O_RDWR | O_CLOEXEC); }

 private:
  std::filesystem::path FPath;
  int FWriter = -1;
};

// A file with a name of raw bytes (any but '/' and NUL), removed with the object.
class TNamedFile {
 public:
  // In a folder of its own, so that no other test program or user has a file of that name there.
  TNamedFile(const std::string& Name, const TBytes& Bytes)
      : FFolder(std::filesystem::temp_directory_path() /
                ("corvane_cli_named_" + std::to_string(getpid()) + "_" + std::to_string(std::random_device{}()))),
        FPath(FFolder / std::filesystem::path(Name)) {
    std::filesystem::create_directory(FFolder);
    test::TTempFile Source(Bytes);
    std::filesystem::copy_file(Source.Path(), FPath);
  }
  ~TNamedFile() {
    std::error_code Ignored;
    std::filesystem::remove_all(FFolder, Ignored);
  }
  std::string Folder() const { return FFolder.native(); }
  TNamedFile(const TNamedFile&) = delete;
  TNamedFile& operator=(const TNamedFile&) = delete;
  std::string Path() const { return FPath.native(); }

 private:
  std::filesystem::path FFolder;
  std::filesystem::path FPath;
};

// U+FFFD in UTF-8: what a byte of a file name that is not UTF-8 shows as.
constexpr const char* Replaced = "\xEF\xBF\xBD";

// Files a hostile user or a damaged capture hands over: each row gives an exit status and one
// line on stderr that says what happened (or nothing), and never a crash or a hang.
TEST(CliHostileFiles, EveryFileGivesItsStatusAndOneLineWithoutHangingOrCrashing) {
  const TBytes Stream = test::ReadTestFile(AC3File());
  const test::TTempFile Empty(TBytes{}, ".ac3");
  std::vector<std::unique_ptr<test::TTempFile>> Short;
  for (size_t Size = 1; Size <= 7; ++Size)
    Short.push_back(std::make_unique<test::TTempFile>(TBytes(Stream.begin(), Stream.begin() + static_cast<long>(Size))));
  const std::string Folder = std::filesystem::temp_directory_path().string();
  TTempFifo Lonely("lonely");
  TTempFifo Written("written");
  Written.Writer();
  // Frames start 1 MiB before the end of a 5 GiB file of holes.
  constexpr int64_t FarFrames = (int64_t{5} << 30) - (1 << 20);
  const test::TTempFile Sparse(int64_t{5} << 30, FarFrames, TBytes(Stream.begin(), Stream.begin() + 4 * 1792));
  const TNamedFile Spaced("corvane cli Stra\xC3\x9F" "e \xE2\x99\xAB.ac3", Stream);
  const std::string Spaced8 = Spaced.Path();
  const TNamedFile Latin1("corvane_cli_\xE9t\xE9.ac3", Stream);
  const std::string Latin1Shown = Latin1.Folder() + "/corvane_cli_" + Replaced + "t" + Replaced + ".ac3";
  const std::string Missing1 = Latin1.Folder() + "/corvane_cli_\xFF_missing.ac3";
  // Frames behind 2 MiB of zeros: more junk than the first fill's one read.
  TBytes JunkFirstBytes(2 << 20, 0);
  JunkFirstBytes.insert(JunkFirstBytes.end(), Stream.begin(), Stream.end());
  const test::TTempFile JunkFirst(JunkFirstBytes);

  struct TCase {
    std::vector<std::string> Args;
    int Status;
    std::string Out;  // the whole of stdout, or its start when it ends in "..."
    std::string Err;  // a part of the one line on stderr; empty: nothing on stderr
  };
  const std::string A = AC3File();
  const std::vector<TCase> Cases = {
      {{"detect", Empty.Path().string()}, 1, "none 0\n", ""},
      {{"list", Empty.Path().string()}, 1, "", "This is not a valid AC3 audio stream."},
      {{"list", "--force", Empty.Path().string()}, 0, "", ""},
      {{"tree", "--force", Empty.Path().string(), "0"}, 2, "", "is at or past the end of"},
      // 1 to 7 bytes of a frame: no stream; forced, one frame that runs to the end of the file,
      // its header read as far as the bytes go (zeros after them), and the tree of what is there
      // with whether a syncword is there at all.
      {{"detect", Short[0]->Path().string()}, 1, "none 0\n", ""},
      {{"detect", Short[6]->Path().string()}, 1, "none 0\n", ""},
      {{"list", "--force", Short[3]->Path().string()}, 0, "0x0000000000000000, 4, 128, 48000 Hz, 32 kbps, \n", ""},
      {{"list", "--all", "--force", Short[6]->Path().string()}, 0, "0x0000000000000000, 7, 1792, 48000 Hz, 448 kbps, \n", ""},
      {{"tree", "--force", Short[0]->Path().string(), "0"}, 1, "ac3_syncframe()...", "no syncword at offset 0 of"},
      {{"tree", "--force", Short[1]->Path().string(), "0"}, 0, "ac3_syncframe()...", ""},
      {{"tree", "--force", Short[6]->Path().string(), "1"}, 1, "ac3_syncframe()...", "no syncword at offset 1 of"},
      // What is not a regular file is refused at once, a FIFO with or without a writer too.
      {{"detect", Folder}, 2, "", "Is a directory"},
      {{"detect", Lonely.Path().string()}, 2, "", "not a regular file"},
      {{"list", Lonely.Path().string()}, 2, "", "not a regular file"},
      {{"detect", Written.Path().string()}, 2, "", "not a regular file"},
      {{"list", "--all", Written.Path().string()}, 2, "", "not a regular file"},
      {{"detect", "/dev/zero"}, 2, "", "/dev/zero: not a regular file"},
      {{"tree", "--force", "/dev/zero", "0"}, 2, "", "not a regular file"},
      {{"check", Lonely.Path().string()}, 2, "", "not a regular file"},
      {{"check", "/dev/zero"}, 2, "", "not a regular file"},
      {{"dialnorm", "--set", "12", Written.Path().string()}, 2, "", "not a regular file"},
      // Frames past 4 GiB of a sparse file: found, listed and decoded where they are.
      {{"detect", Sparse.Path().string()}, 1, "none 0\n", ""},
      {{"list", "--force", "--rows", "2", "--from", "0x13FE80000", Sparse.Path().string()},
       0,
       "0x000000013FF00000, 1792, 1792, 48000 Hz, 448 kbps, \n0x000000013FF00700, 1792, 1792, 48000 Hz, 448 kbps, \n",
       ""},
      {{"list", "--all", "--force", "--from", std::to_string(FarFrames - 100), Sparse.Path().string()},
       0,
       "0x000000013FF00000, 1792, 1792, 48000 Hz, 448 kbps, \n...",
       ""},
      {{"tree", "--force", Sparse.Path().string(), std::to_string(FarFrames + 1792)}, 0, "ac3_syncframe()...", ""},
      {{"tree", "--force", Sparse.Path().string(), std::to_string(FarFrames - 16)}, 1, "ac3_syncframe()...", "no syncword at offset"},
      // Names with spaces and characters past ASCII read as any other; a name that is not UTF-8
      // is named with U+FFFD in every message.
      {{"detect", Spaced8}, 0, "AC-3 0\n", ""},
      {{"list", "--rows", "1", Spaced8}, 0, "0x0000000000000000, 1792, 1792, 48000 Hz, 448 kbps, \n", ""},
      {{"detect", Latin1.Path()}, 0, "AC-3 0\n", ""},
      {{"list", "--all", Latin1.Path()}, 0, ExpectedAC3Lines(0, 32), ""},
      {{"tree", Latin1.Path(), "1792"}, 0, "ac3_syncframe()...", ""},
      {{"tree", Latin1.Path(), "57344"}, 2, "", "is at or past the end of " + Latin1Shown + " (57344 bytes)"},
      {{"tree", "--force", Latin1.Path(), "7"}, 1, "ac3_syncframe()...", "no syncword at offset 7 of " + Latin1Shown},
      {{"check", Latin1.Path()}, 0, "File: " + Latin1Shown + "\n...", ""},
      {{"list", Missing1}, 2, "", "cannot open " + Latin1.Folder() + "/corvane_cli_" + Replaced + "_missing.ac3: No such file"},
      {{"detect", "--json", Missing1}, 2, "", "No such file or directory"},
      // Offsets and row counts that are no numbers or out of range.
      {{"tree", A, "ten"}, 2, "", "OFFSET must be a byte position, not 'ten'"},
      {{"tree", A, ""}, 2, "", "OFFSET must be a byte position"},
      {{"tree", A, "-1"}, 2, "", "OFFSET must be a byte position"},
      {{"tree", A, "0x"}, 2, "", "OFFSET must be a byte position"},
      {{"tree", A, "9223372036854775808"}, 2, "", "OFFSET must be a byte position"},
      {{"tree", A, "9223372036854775807"}, 2, "", "is at or past the end of"},
      {{"tree", A, "0x7FFFFFFFFFFFFFFF"}, 2, "", "is at or past the end of"},
      {{"list", "--rows", "ten", A}, 2, "", "--rows takes a number from 1 to 256, not 'ten'"},
      {{"list", "--rows", "", A}, 2, "", "--rows takes a number from 1 to 256"},
      {{"list", "--rows", "0x101", A}, 2, "", "--rows takes a number from 1 to 256"},
      {{"list", "--rows", "18446744073709551617", A}, 2, "", "--rows takes a number from 1 to 256"},
      {{"list", "--from", "1e3", A}, 2, "", "--from takes a byte position, not '1e3'"},
      {{"list", "--from", "0x10000000000000000", A}, 2, "", "--from takes a byte position"},
      {{"list", "--all", "--from", "0x7FFFFFFFFFFFFFFF", A}, 2, "", "is at or past the end of"},
      // The first fill finds the first frame however much junk comes before it; a window asked
      // for past the end is an error, one inside the file after the last frame an empty answer.
      {{"list", "--force", "--rows", "2", JunkFirst.Path().string()},
       0,
       "0x0000000000200000, 1792, 1792, 48000 Hz, 448 kbps, \n0x0000000000200700, 1792, 1792, 48000 Hz, 448 kbps, \n",
       ""},
      {{"list", "--from", "0x1000000000", A}, 2, "", "offset 68719476736 is at or past the end of " + A + " (57344 bytes)"},
      {{"list", "--from", "57344", A}, 2, "", "is at or past the end of"},
      {{"list", "--from", "57343", A}, 0, "", ""},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::PrintToString(Case.Args));
    const TRun Run = RunCommandWithin(Case.Args);
    EXPECT_EQ(Run.Status, Case.Status);
    if (Case.Out.size() >= 3 && Case.Out.compare(Case.Out.size() - 3, 3, "...") == 0)
      EXPECT_EQ(Run.Out.substr(0, Case.Out.size() - 3), Case.Out.substr(0, Case.Out.size() - 3)) << Run.Out;
    else
      EXPECT_EQ(Run.Out, Case.Out);
    if (Case.Err.empty()) {
      EXPECT_EQ(Run.Err, "");
    } else {
      EXPECT_NE(Run.Err.find(Case.Err), std::string::npos) << Run.Err;
      EXPECT_EQ(std::count(Run.Err.begin(), Run.Err.end(), '\n'), 1) << Run.Err;
    }
  }
}

// The JSON of a file whose name is not UTF-8 is valid JSON: the name with U+FFFD for the bytes
// that are not UTF-8, and a flag that says so; a name that is text has no such flag.
TEST(CliJson, AFileNameThatIsNotUtf8IsReplacedAndFlagged) {
  const TNamedFile Latin1("corvane_cli_json_\xE9.ac3", test::ReadTestFile(AC3File()));
  const std::string Shown =
      Latin1.Folder() + "/corvane_cli_json_" + Replaced + ".ac3";
  for (const std::vector<std::string>& Command : std::vector<std::vector<std::string>>{
           {"detect", "--json", Latin1.Path()},
           {"list", "--json", "--rows", "1", Latin1.Path()},
           {"list", "--all", "--json", Latin1.Path()},
           {"tree", "--json", Latin1.Path(), "0"},
           {"check", "--json", Latin1.Path()}}) {
    const TRun Run = RunCommand(Command);
    SCOPED_TRACE(Command[0] + " " + Command[1]);
    EXPECT_EQ(Run.Status, 0);
    EXPECT_EQ(Run.Err, "");
    const auto Json = nlohmann::json::parse(Run.Out);
    EXPECT_EQ(Json["file"], Shown);
    EXPECT_EQ(Json["file_not_utf8"], true);
  }
  const auto Plain = nlohmann::json::parse(RunCommand({"detect", "--json", AC3File()}).Out);
  EXPECT_EQ(Plain["file"], AC3File());
  EXPECT_FALSE(Plain.contains("file_not_utf8"));

  // An output that cannot be written is named the same way.
  const TRun Unwritten =
      RunCommand({"dialnorm", "--set", "12", "--output", "/nonexistent-\xFF/out.ac3", Latin1.Path()});
  EXPECT_EQ(Unwritten.Status, 2);
  EXPECT_NE(Unwritten.Err.find(std::string("/nonexistent-") + Replaced + "/out.ac3"), std::string::npos) << Unwritten.Err;
}

#ifdef __GLIBC__
// An output stream that cuts the listed file short the first time the walk writes a block of
// rows, as another program might while the list runs.
struct TShrinkingOutput {
  std::filesystem::path File;
  uintmax_t NewSize;
  std::string Text;
  bool Cut = false;
};

ssize_t WriteAndShrink(void* Cookie, const char* Bytes, size_t Count) {
  auto& Output = *static_cast<TShrinkingOutput*>(Cookie);
  Output.Text.append(Bytes, Count);
  if (!Output.Cut) std::filesystem::resize_file(Output.File, Output.NewSize);
  Output.Cut = true;
  return static_cast<ssize_t>(Count);
}

TEST(CliList, AFileCutShortWhileListedIsNoticedAndFails) {
  // 384-byte frames: the first block of rows (1 MiB of text) goes out about 7.7 MB into the file.
  const TBytes Bytes = test::SyntheticAC3(60000);
  const test::TTempFile File(Bytes);
  TShrinkingOutput Output{File.Path(), 9'000'000, {}};
  std::FILE* Out = fopencookie(&Output, "w", cookie_io_functions_t{nullptr, WriteAndShrink, nullptr, nullptr});
  ASSERT_NE(Out, nullptr);
  std::FILE* Err = std::tmpfile();
  const int Status = cli::RunCli({"list", "--all", File.Path().string()}, Out, Err);
  std::fclose(Out);
  const std::string Errors = ReadAll(Err);
  EXPECT_TRUE(Output.Cut);
  EXPECT_EQ(Status, 1);
  EXPECT_EQ(Errors, "corvane-cli: " + File.Path().string() +
                        " changed while it was read: it is shorter now than when the list began\n");
  // Nothing is listed past the file's end as the walk last saw it.
  const std::string LastLine = Output.Text.substr(Output.Text.rfind('\n', Output.Text.size() - 2) + 1);
  EXPECT_LE(std::stoll(LastLine.substr(2, 16), nullptr, 16), 9'000'000) << LastLine;

  // The same file, left alone, lists to its end without a word.
  const test::TTempFile Whole(Bytes);
  const TRun Quiet = RunCommand({"list", "--all", Whole.Path().string()});
  EXPECT_EQ(Quiet.Status, 0);
  EXPECT_EQ(Quiet.Err, "");
}
#endif

#endif  // !_WIN32

// A 48 kHz stream with 40 bytes of junk after its second frame and its fourth frame damaged in
// the last 3/8 (crc2 fails); the offsets of the two problems.
struct TDamagedStream {
  TBytes Bytes;
  int64_t Junk;
  int64_t Damaged;
};

TDamagedStream DamagedStream() {
  const std::vector<TBytes> Frames = test::SplitFrames(test::ReadTestFile(AC3File()), false);
  TDamagedStream Stream;
  for (size_t Frame = 0; Frame < 6; ++Frame) {
    TBytes Bytes = Frames[Frame];
    if (Frame == 3) {
      Stream.Damaged = static_cast<int64_t>(Stream.Bytes.size());
      Bytes[1700] ^= 0x20;
    }
    test::AppendBytes(Stream.Bytes, Bytes);
    if (Frame == 1) {
      Stream.Junk = static_cast<int64_t>(Stream.Bytes.size());
      test::AppendBytes(Stream.Bytes, test::Garbage(40));
    }
  }
  return Stream;
}

std::string Hex16(int64_t Offset) {
  char Text[32];
  std::snprintf(Text, sizeof(Text), "0x%016" PRIX64, static_cast<uint64_t>(Offset));
  return Text;
}

TEST(CliCheck, PrintsEachFindingAtItsOffsetThenTheSummary) {
  const TDamagedStream Stream = DamagedStream();
  const test::TTempFile File(Stream.Bytes, ".ac3");
  const TRun Check = RunCommand({"check", File.Path().string()});
  EXPECT_EQ(Check.Status, 1);
  EXPECT_EQ(Check.Err, "");
  EXPECT_EQ(Check.Out, Hex16(Stream.Junk) + " problem: 40 bytes that belong to no frame\n" + Hex16(Stream.Damaged) +
                           " problem: crc2 fails\n"
                           "\n"
                           "File: " + File.Path().string() + "\n"
                           "Kind: AC-3\n"
                           "Frames: 6\n"
                           "Duration: 0.192 s (0:00:00.192)\n"
                           "Sampling rate: 48000 Hz\n"
                           "Bit rate: 448 kbps (average 448.0 kbps)\n"
                           "acmod/lfeon: 7/1 [3/2 (5) L, C, R, SL, SR]\n"
                           "bsid: 8\n"
                           "dialnorm: 31\n"
                           "compr: in no frame\n"
                           // The frame failing crc2 has its header, and its first block's start,
                           // under a passing crc1.
                           "dynrng: min 0.00 dB, max 0.00 dB, mean 0.00 dB (first block of 6 frames)\n"
                           "Problems: 2 (1 frame fails its CRC, 1 stretch of junk, 40 bytes)\n"
                           "Changes: 0\n");

  const TRun Clean = RunCommand({"check", EAC3File()});
  EXPECT_EQ(Clean.Status, 0);
  EXPECT_EQ(Clean.Out.rfind("File: " + EAC3File() + "\nKind: E-AC-3\n", 0), 0u) << Clean.Out;

  // A file that is no stream is refused as by the other commands, and checked with --force.
  const test::TTempFile Text(TBytes(5000, 'x'), ".txt");
  const TRun Refused = RunCommand({"check", Text.Path().string()});
  EXPECT_EQ(Refused.Status, 1);
  EXPECT_EQ(Refused.Err, "This is not a valid AC3 audio stream.\n");
  const TRun Forced = RunCommand({"check", "--force", Text.Path().string()});
  EXPECT_EQ(Forced.Status, 1);
  EXPECT_EQ(Forced.Out.rfind(Hex16(0) + " problem: 5000 bytes that belong to no frame\n" + Hex16(0) +
                                 " problem: no frame found\n",
                             0),
            0u)
      << Forced.Out;
}

// The windows save the report they hold through the same writer: the same bytes as the command.
TEST(CliCheck, TheWindowsSavedReportIsWhatTheCommandPrints) {
  const test::TTempFile File(DamagedStream().Bytes, ".ac3");
  TCheckReport Report(File.Path(), false);
  TStreamSummary Summary;
  std::string Error;
  ASSERT_EQ(CheckStream(
                File.Path(), false, [&](const TStreamFinding& Finding) { return Report.Add(Finding), true; }, Summary,
                {}, nullptr, Error),
            TCheckEnd::Completed);
  Report.SetSummary(Summary);
  EXPECT_EQ(Report.Saved(TReportFormat::Text), RunCommand({"check", File.Path().string()}).Out);
  EXPECT_EQ(Report.Saved(TReportFormat::Json), RunCommand({"check", "--json", File.Path().string()}).Out);
}

TEST(CliCheck, JsonCarriesTheFindingsAndTheSummary) {
  const TDamagedStream Stream = DamagedStream();
  const test::TTempFile File(Stream.Bytes, ".ac3");
  const TRun Check = RunCommand({"check", "--json", File.Path().string()});
  EXPECT_EQ(Check.Status, 1);
  const auto Json = nlohmann::json::parse(Check.Out);
  EXPECT_EQ(Json["kind"], "AC-3");
  ASSERT_EQ(Json["findings"].size(), 2u);
  const auto& Junk = Json["findings"][0];
  EXPECT_EQ(Junk["offset"], Stream.Junk);
  EXPECT_EQ(Junk["type"], "problem");
  EXPECT_EQ(Junk["problem"], "junk");
  EXPECT_EQ(Junk["length"], 40);
  const auto& Crc = Json["findings"][1];
  EXPECT_EQ(Crc["offset"], Stream.Damaged);
  EXPECT_EQ(Crc["problem"], "crc");
  EXPECT_EQ(Crc["crc1"], "ok");
  EXPECT_EQ(Crc["crc2"], "failed");
  EXPECT_EQ(Crc["text"], "crc2 fails");
  const auto& Summary = Json["summary"];
  EXPECT_EQ(Summary["frames"], 6);
  EXPECT_EQ(Summary["sampling_rates"], nlohmann::json::array({48000}));
  EXPECT_EQ(Summary["bit_rates"], nlohmann::json::array({448}));
  EXPECT_EQ(Summary["acmod_lfeon"][0]["acmod"], 7);
  EXPECT_EQ(Summary["dialnorm"], nlohmann::json::array({31}));
  EXPECT_EQ(Summary["problems"], 2);
  EXPECT_EQ(Summary["junk_bytes"], 40);

  // A change carries its field and values.
  TBytes Changed = test::ReadTestFile(AC3File());
  test::AppendBytes(Changed, test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3")));
  const test::TTempFile Joined(Changed, ".ac3");
  const auto Rates = nlohmann::json::parse(RunCommand({"check", "--json", Joined.Path().string()}).Out);
  ASSERT_GE(Rates["findings"].size(), 1u);
  EXPECT_EQ(Rates["findings"][0]["type"], "change");
  EXPECT_EQ(Rates["findings"][0]["offset"], 32 * 1792);
  EXPECT_EQ(Rates["findings"][0]["field"], "bit_rate");
  EXPECT_EQ(Rates["findings"][0]["from"], 448);
  EXPECT_EQ(Rates["findings"][0]["to"], 384);

  // A frame of the other kind: a change of kind, named by the kinds, and counted in the summary.
  TBytes Mixed = test::ReadTestFile(AC3File());
  const TBytes Other = test::SplitFrames(test::ReadTestFile(EAC3File()), true)[0];
  Mixed.insert(Mixed.begin() + 1792, Other.begin(), Other.end());
  const test::TTempFile Kinds(Mixed, ".ac3");
  const auto Kind = nlohmann::json::parse(RunCommand({"check", "--json", Kinds.Path().string()}).Out);
  ASSERT_GE(Kind["findings"].size(), 1u);
  EXPECT_EQ(Kind["findings"][0]["offset"], 1792);
  EXPECT_EQ(Kind["findings"][0]["field"], "kind");
  EXPECT_EQ(Kind["findings"][0]["from"], "AC-3");
  EXPECT_EQ(Kind["findings"][0]["to"], "E-AC-3");
  EXPECT_EQ(Kind["summary"]["frames"], 33);
  EXPECT_EQ(Kind["summary"]["other_kind_frames"], 1);
}

TEST(CliDialnorm, RewritesInPlaceOrIntoAnOutputFileAndNamesTheFramesLeftAsTheyWere) {
  const TDamagedStream Stream = DamagedStream();
  const test::TTempFile File(Stream.Bytes, ".ac3");
  const std::filesystem::path Output = File.Path().string() + ".out.ac3";
  const TRun Copy = RunCommand({"dialnorm", "--set", "0x0C", "--output", Output.string(), File.Path().string()});
  EXPECT_EQ(Copy.Status, 1);
  EXPECT_EQ(Copy.Err, "");
  EXPECT_EQ(Copy.Out, Hex16(Stream.Damaged) +
                          " left as it was: crc2 fails\n"
                          "6 frames: 5 rewritten, 0 already at dialnorm 12, 1 left as it was (1 failing a CRC, 0 not whole)\n");
  EXPECT_EQ(File.ReadAll(), Stream.Bytes);
  const TRun Checked = RunCommand({"check", Output.string()});
  EXPECT_NE(Checked.Out.find("\ndialnorm: 12, 31\n"), std::string::npos) << Checked.Out;

  // In place, on a clean stream: every frame carries the value, and the result is the copy's.
  const test::TTempFile Clean(test::ReadTestFile(AC3File()), ".ac3");
  const TRun InPlace = RunCommand({"dialnorm", "--set", "12", Clean.Path().string()});
  EXPECT_EQ(InPlace.Status, 0);
  EXPECT_EQ(InPlace.Out, "32 frames: 32 rewritten, 0 already at dialnorm 12, 0 left as they were (0 failing a CRC, 0 not whole)\n");
  const TBytes Rewritten = Clean.ReadAll();
  const TBytes Copied = test::ReadTestFile(Output);
  EXPECT_TRUE(std::equal(Copied.begin(), Copied.begin() + 2 * 1792, Rewritten.begin()));
  EXPECT_EQ(RunCommand({"check", Clean.Path().string()}).Status, 0);
  std::filesystem::remove(Output);

  // A file that cannot be written is an error with one line naming it.
  const TRun Missing = RunCommand({"dialnorm", "--set", "12", "--output", "/nonexistent-folder/out.ac3", AC3File()});
  EXPECT_EQ(Missing.Status, 2);
  EXPECT_NE(Missing.Err.find("/nonexistent-folder"), std::string::npos) << Missing.Err;
}

#ifndef _WIN32

// A copy of the 32-frame stream as an in-place rewrite to 12 leaves it when it is killed half-way
// through its write: a frame torn, the undo journal beside the file.
void KillRewriteHalfWay(const std::filesystem::path& File) {
  int Count = 0;
  const TWriteHooks Hooks = test::KillingHooks({"torn", TWriteStep::Wrote, 1, true}, Count);
  TDialnormRequest Request;
  Request.File = File;
  Request.Dialnorm = 12;
  Request.Hooks = &Hooks;
  ASSERT_TRUE(test::Killed(test::RunChild([&] { return RewriteDialnorm(Request).Completed; })));
}

TEST(CliRestore, AStoppedRewriteIsWarnedOfAndRolledBackOnRequestOrByTheNextWriter) {
  const test::TTempFolder Folder;
  const std::filesystem::path File = Folder / "film.ac3";
  const TBytes Original = test::ReadTestFile(AC3File());
  test::WriteFile(File, Original);
  const std::string Name = File.string();
  KillRewriteHalfWay(File);
  EXPECT_NE(test::ReadTestFile(File), Original);

  const TRun Checked = RunCommand({"check", Name});
  EXPECT_EQ(Checked.Err, "corvane-cli: warning: " + Name +
                             " has an unfinished change: a write to it stopped "
                             "part-way; the next write or a restore rolls it back (undo journal " +
                             (Folder / ".film.ac3.corvane-journal").string() + ")\n");
  const TRun Restored = RunCommand({"restore", Name});
  EXPECT_EQ(Restored.Status, 0);
  EXPECT_EQ(Restored.Err, "");
  EXPECT_EQ(Restored.Out.rfind("rolled back the unfinished change of an earlier write to " + Name + ": ", 0), 0u)
      << Restored.Out;
  EXPECT_EQ(test::ReadTestFile(File), Original);
  EXPECT_EQ(RunCommand({"restore", Name}).Out, Name + " has no unfinished change\n");
  EXPECT_EQ(RunCommand({"check", Name}).Err, "");

  // The next writer rolls back first, says so in one line, and completes.
  KillRewriteHalfWay(File);
  const TRun Again = RunCommand({"dialnorm", "--set", "12", Name});
  EXPECT_EQ(Again.Status, 0);
  EXPECT_EQ(Again.Err.rfind("corvane-cli: rolled back the unfinished change of an earlier write to " + Name, 0), 0u)
      << Again.Err;
  EXPECT_EQ(std::count(Again.Err.begin(), Again.Err.end(), '\n'), 1);
  const TRun After = RunCommand({"check", Name});
  EXPECT_EQ(After.Status, 0);
  EXPECT_NE(After.Out.find("\ndialnorm: 12\n"), std::string::npos) << After.Out;

  // A journal that is not Corvane's is left where it is.
  test::WriteFile(JournalPath(File), {'n', 'o', 't', ' ', 'o', 'u', 'r', 's'});
  for (const char* Command : {"restore", "dialnorm"}) {
    const TRun Refused = Command == std::string("restore") ? RunCommand({"restore", Name})
                                                           : RunCommand({"dialnorm", "--set", "5", Name});
    EXPECT_EQ(Refused.Status, 2) << Command;
    EXPECT_EQ(Refused.Err, "corvane-cli: " + (Folder / ".film.ac3.corvane-journal").string() +
                               " is not an undo journal of Corvane; move it away before " + Name + " is written\n");
  }
  EXPECT_TRUE(std::filesystem::exists(JournalPath(File)));
}

// The run the issue describes: a nearly full file system, and a stream whose frames carry the
// value already rewritten into itself. It fails with the real reason in one line, and the file
// keeps every byte; in place on a full disk the journal cannot be written, and nothing is.
TEST(CliDialnorm, ANearlyFullFileSystemFailsWithOneLineAndLeavesTheFileWhole) {
  const test::TSmallFileSystem Disk(1 << 20);
  if (!Disk.Mounted()) GTEST_SKIP() << Disk.Why();
  const std::filesystem::path File = Disk.Path() / "film.ac3";
  TBytes Stream;
  for (int Copy = 0; Copy < 12; ++Copy) test::AppendBytes(Stream, test::ReadTestFile(AC3File()));  // dialnorm 31
  test::WriteFile(File, Stream);

  const TRun Copied = RunCommand({"dialnorm", "--set", "31", "--output", File.string(), File.string()});
  EXPECT_EQ(Copied.Status, 2);
  EXPECT_EQ(Copied.Err.rfind("corvane-cli: cannot write " + File.string() + ": No space left on device", 0), 0u)
      << Copied.Err;
  EXPECT_EQ(std::count(Copied.Err.begin(), Copied.Err.end(), '\n'), 1);
  EXPECT_EQ(test::ReadTestFile(File), Stream);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Disk.Path()), {}), 1);

  // Full to the last byte.
  {
    std::ofstream Filler(Disk.Path() / "filler", std::ios::binary);
    const std::vector<char> Block(4096, 'x');
    while (Filler.write(Block.data(), static_cast<std::streamsize>(Block.size()))) {
    }
  }
  const TRun InPlace = RunCommand({"dialnorm", "--set", "12", File.string()});
  EXPECT_EQ(InPlace.Status, 2);
  EXPECT_NE(InPlace.Err.find("the undo journal"), std::string::npos) << InPlace.Err;
  EXPECT_NE(InPlace.Err.find("No space left on device"), std::string::npos) << InPlace.Err;
  EXPECT_EQ(std::count(InPlace.Err.begin(), InPlace.Err.end(), '\n'), 1);
  EXPECT_EQ(test::ReadTestFile(File), Stream);
  EXPECT_FALSE(JournalPresent(File));
}

TEST(CliDialnorm, AnOutputThatIsNoRegularFileOrIsBeingWrittenIsRefusedInOneLine) {
  const test::TTempFolder Folder;
  const TTempFifo Fifo("output");
  const test::TTempFile Held(test::ReadTestFile(AC3File()));
  TFileStream Holder;
  ASSERT_TRUE(Holder.Open(Held.Path(), TFileStream::TMode::ReadWrite));
  const struct {
    std::string Output;
    std::string Error;
  } Cases[] = {
      {"/dev/null", "cannot write /dev/null: it is a device, not a regular file"},
      {Folder.Path().string(), "cannot write " + Folder.Path().string() + ": it is a folder, not a regular file"},
      {Fifo.Path().string(), "cannot write " + Fifo.Path().string() + ": it is a FIFO, not a regular file"},
      {Held.Path().string(), "cannot write " + Held.Path().string() + ": another program is writing it"},
  };
  for (const auto& Case : Cases) {
    const TRun Run = RunCommandWithin({"dialnorm", "--set", "12", "--output", Case.Output, AC3File()});
    EXPECT_EQ(Run.Status, 2) << Case.Output;
    EXPECT_EQ(Run.Err, "corvane-cli: " + Case.Error + "\n");
  }
  EXPECT_EQ(std::filesystem::status("/dev/null").type(), std::filesystem::file_type::character);
  EXPECT_EQ(std::filesystem::status(Fifo.Path()).type(), std::filesystem::file_type::fifo);
  EXPECT_EQ(Held.ReadAll(), test::ReadTestFile(AC3File()));
}

// What counts is the file: a rewrite that completed keeps its status when its report is lost,
// and says so.
TEST(CliDialnorm, AReportThatCannotBeWrittenKeepsTheStatusOfACompleteFile) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const test::TTempFile File(test::ReadTestFile(AC3File()), ".ac3");
  std::FILE* Full = std::fopen("/dev/full", "w");
  ASSERT_NE(Full, nullptr);
  std::FILE* Err = std::tmpfile();
  const int Status = cli::RunCli({"dialnorm", "--set", "12", File.Path().string()}, Full, Err);
  std::fclose(Full);
  EXPECT_EQ(Status, 0);
  EXPECT_EQ(ReadAll(Err), "corvane-cli: cannot write the report, but the file is complete and correct\n");
  EXPECT_NE(RunCommand({"check", File.Path().string()}).Out.find("\ndialnorm: 12\n"), std::string::npos);
}

#endif  // !_WIN32

}  // namespace
}  // namespace corvane
