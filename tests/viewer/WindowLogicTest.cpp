// What every front-end's main window decides below its widgets: where the window comes back
// (placement on the screens there are, the checked settings), the recent files, the texts of
// numbers, Go to Offset and files that cannot be opened, which key release shows a frame, the
// live thumb drag, and the stream check's report with its copy and saved forms.

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

#include "core/StringUtils.h"
#include "viewer/CheckReport.h"
#include "viewer/RecentFiles.h"
#include "viewer/ViewerTestSupport.h"
#include "viewer/ViewerTexts.h"
#include "viewer/WindowPlacement.h"

namespace corvane {
namespace {

constexpr int64_t FrameSize = 256;  // test::SyntheticAC3

}  // namespace

void PrintTo(const TRect& Rect, std::ostream* Out) {
  *Out << Rect.Left << "," << Rect.Top << " " << Rect.Width << "x" << Rect.Height;
}

namespace {

// ------------------------------------------------------------------------------------------------
// Placement

// Two screens side by side, and a frame placed on them.
const std::vector<TRect> TwoScreens = {{0, 0, 1280, 800}, {1280, 0, 1920, 1050}};
struct TPlacementCase {
  const char* What;
  TRect From;  // the stored frame, or the owner's
  TRect Placed;
};

TEST(WindowPlacement, AStoredFrameIsKeptOnAScreenThatExists) {
  const TPlacementCase Cases[] = {
      {"inside the first screen", {111, 77, 1147, 719}, {111, 77, 1147, 719}},
      {"inside the second screen", {1400, 100, 800, 600}, {1400, 100, 800, 600}},
      {"off every screen, far left", {-5000, 77, 1147, 719}, {0, 77, 1147, 719}},
      {"title bar above the screen", {111, -300, 1147, 719}, {111, 0, 1147, 719}},
      {"taller than the screen", {0, 0, 1280, 830}, {0, 0, 1280, 800}},
      {"hanging off the second screen's right", {3000, 500, 800, 600}, {2400, 450, 800, 600}},
      {"below the minimum", {100, 100, 10, 0}, {100, 100, 400, 300}},
  };
  for (const TPlacementCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    EXPECT_EQ(PlaceOnScreen(Case.From, TwoScreens, 400, 300), Case.Placed);
  }
  // Without screens to go by the frame stays as it is, at least the minimum.
  EXPECT_EQ(PlaceOnScreen({-5000, 0, 10, 10}, {}, 400, 300), (TRect{-5000, 0, 400, 300}));
}

TEST(WindowPlacement, AWindowOfItsOwnOpensOverItsOwnerOnTheOwnersScreen) {
  const TPlacementCase Cases[] = {
      {"centred over its owner", {111, 77, 1147, 719}, {274, 156, 820, 560}},
      {"owner in a screen's corner", {0, 0, 600, 400}, {0, 0, 820, 560}},
      {"owner mostly on the second screen, centre on the first", {1000, 100, 700, 600}, {1280, 120, 820, 560}},
      {"owner filling the second screen", {1280, 0, 1920, 1050}, {1830, 245, 820, 560}},
  };
  for (const TPlacementCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    EXPECT_EQ(PlaceOver(Case.From, 820, 560, TwoScreens), Case.Placed);
  }
  // A window larger than the owner's screen is cut to it.
  EXPECT_EQ(PlaceOver({0, 0, 1280, 800}, 2000, 900, TwoScreens), (TRect{0, 0, 1280, 800}));
}

TPlacementLimits Limits() {
  TPlacementLimits Limits;
  Limits.DesignFrame = {111, 77, 1147, 719};
  Limits.DesignColumnWidths = {140, 70, 70, 90, 100};
  Limits.DesignPanel2Width = 513;
  Limits.DesignHexPaneHeight = 210;
  Limits.MinWindowWidth = 600;
  Limits.MinWindowHeight = 400;
  Limits.MinColumnWidths = {120, 40, 60, 80, 80};
  Limits.MinPanel2Width = 200;
  Limits.MinTreeWidth = 150;
  Limits.MinHexPaneHeight = 60;
  Limits.MinUpperHeight = 200;
  return Limits;
}

TEST(WindowPlacement, StoredValuesAreCheckedOneByOne) {
  const std::vector<TRect> Screen = {{0, 0, 1280, 800}};
  // No values: the design placement.
  const TFormPlacement Design = ReadPlacement({}, Limits(), Screen);
  EXPECT_EQ(Design.Frame, (TRect{111, 77, 1147, 719}));
  EXPECT_EQ(Design.ColumnWidths, (std::array<int32_t, 5>{140, 70, 70, 90, 100}));
  EXPECT_EQ(Design.Panel2Width, 513);
  EXPECT_EQ(Design.HexPaneHeight, 210);
  EXPECT_EQ(Design.State, TWindowState::Normal);
  EXPECT_TRUE(Design.CheckForUpdates);

  TStoredSettings Stored;
  Stored[SettingFormLeft] = -5000;
  Stored[SettingOffsetColWidth] = 0;
  Stored[SettingLengthColWidth] = 300;
  Stored[SettingPanel2Width] = 5000;
  Stored[SettingHexPaneHeight] = 2;
  Stored[SettingWindowState] = 7;
  Stored[SettingCheckForUpdates] = 5;
  const TFormPlacement Read = ReadPlacement(Stored, Limits(), Screen);
  EXPECT_EQ(Read.Frame, (TRect{0, 77, 1147, 719}));
  EXPECT_EQ(Read.ColumnWidths, (std::array<int32_t, 5>{120, 300, 70, 90, 100}));
  EXPECT_EQ(Read.Panel2Width, 1147 - 150) << "the tree keeps its minimum beside the left pane";
  EXPECT_EQ(Read.HexPaneHeight, 60);
  EXPECT_EQ(Read.State, TWindowState::Normal);
  EXPECT_TRUE(Read.CheckForUpdates);
  EXPECT_EQ(StoredValues(Read)[SettingCheckForUpdates], 1);

  Stored = {};
  Stored[SettingWindowState] = 2;
  Stored[SettingCheckForUpdates] = 0;
  Stored[SettingHexPaneHeight] = 10000;
  const TFormPlacement Maximized = ReadPlacement(Stored, Limits(), Screen);
  EXPECT_EQ(Maximized.State, TWindowState::Maximized);
  EXPECT_FALSE(Maximized.CheckForUpdates);
  EXPECT_EQ(Maximized.HexPaneHeight, 719 - 200);
  EXPECT_EQ(StoredValues(Maximized)[SettingWindowState], 2);
}

TEST(WindowPlacement, APaneBetweenSplittersKeepsItsMinimumAndLeavesTheOtherSideItsOwn) {
  struct TCase {
    int32_t Wanted, Min, Total, MinOther, Kept;
  };
  const TCase Cases[] = {
      {210, 60, 700, 200, 210},  // as wanted
      {10, 60, 700, 200, 60},    // below its minimum
      {650, 60, 700, 200, 500},  // the other side keeps its minimum
      {210, 60, 220, 200, 60},   // both minimums cannot be had: this one's wins
  };
  for (const TCase& Case : Cases)
    EXPECT_EQ(ClampPane(Case.Wanted, Case.Min, Case.Total, Case.MinOther), Case.Kept)
        << Case.Wanted << " in " << Case.Total;
}

// ------------------------------------------------------------------------------------------------
// Recent files

TEST(RecentFiles, TheLastEightOnceEachTheLatestFirst) {
  TRecentFiles Recent;
  for (int Index = 1; Index <= 10; ++Index) Recent.Add("/streams/" + std::to_string(Index) + ".ac3");
  Recent.Add("/streams/5.ac3");
  Recent.Add("/streams/./7.ac3");
  ASSERT_EQ(Recent.Files().size(), 8u);
  const std::vector<std::filesystem::path> Expected = {"/streams/7.ac3", "/streams/5.ac3", "/streams/10.ac3",
                                                       "/streams/9.ac3", "/streams/8.ac3", "/streams/6.ac3",
                                                       "/streams/4.ac3", "/streams/3.ac3"};
  EXPECT_EQ(Recent.Files(), Expected);

  // Stored as texts and read back the same, empty entries skipped.
  const auto Texts = Recent.Stored();
  TRecentFiles Again;
  std::vector<std::u16string> Loaded(Texts.begin(), Texts.end());
  Loaded.insert(Loaded.begin() + 2, u"");
  Again.Load(Loaded);
  EXPECT_EQ(Again.Files(), Expected);

  Recent.Add("/music/R&B.ac3");
  EXPECT_EQ(Recent.MenuText(0), u"&1 /music/R&&B.ac3");
  EXPECT_EQ(Recent.MenuText(1), u"&2 /streams/7.ac3");
  EXPECT_EQ(Recent.MenuText(8), u"");
#ifndef _WIN32
  // A name that is not text could not be stored.
  Recent.Add("/music/\xE9t\xE9.ac3");
  EXPECT_EQ(Recent.MenuText(0), u"&1 /music/R&&B.ac3");
#endif
}

TEST(RecentFiles, AFileThatIsGoneIsTakenOffWhenChosen) {
  const test::TTempFile There(test::SyntheticAC3(2));
  TRecentFiles Recent;
  Recent.Add(There.Path().parent_path() / "corvane-no-such-stream.ac3");
  Recent.Add(There.Path());

  const TRecentFiles::TChoice Present = Recent.Choose(0);
  ASSERT_TRUE(Present.File);
  EXPECT_EQ(*Present.File, There.Path());
  EXPECT_EQ(Present.Message, u"");

  const TRecentFiles::TChoice Gone = Recent.Choose(1);
  EXPECT_FALSE(Gone.File);
  EXPECT_EQ(Gone.Message, u"The file " + PathToText(There.Path().parent_path() / "corvane-no-such-stream.ac3") +
                              u" no longer exists. It was taken off the recent files.");
  EXPECT_EQ(Recent.Files(), std::vector<std::filesystem::path>{There.Path()});
}

// ------------------------------------------------------------------------------------------------
// Texts

// A decimal comma in the C library and the C++ library: the texts must not follow it.
class TCommaLocale {
 public:
  struct TCommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  TCommaLocale() : FOld(std::locale::global(std::locale(std::locale::classic(), new TCommaPunct))) {
    const char* Old = std::setlocale(LC_NUMERIC, nullptr);
    FOldC = Old ? Old : "C";
    for (const char* Name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
      if (std::setlocale(LC_NUMERIC, Name)) break;
  }
  ~TCommaLocale() {
    std::locale::global(FOld);
    std::setlocale(LC_NUMERIC, FOldC.c_str());
  }

 private:
  std::locale FOld;
  std::string FOldC;
};

TEST(ViewerTexts, NumbersReadTheSameUnderAnyLocale) {
  const TCommaLocale Comma;
  EXPECT_EQ(GroupedDigits(0), u"0");
  EXPECT_EQ(GroupedDigits(999), u"999");
  EXPECT_EQ(GroupedDigits(1000), u"1,000");
  EXPECT_EQ(GroupedDigits(2150400000), u"2,150,400,000");
  EXPECT_EQ(GroupedDigits(-1234567), u"-1,234,567");
  EXPECT_EQ(PastEndText(2150400000, 2150400000),
            u"Offset 2,150,400,000 is past the end of the file, which has 2,150,400,000 bytes.");
  EXPECT_EQ(PastEndText(5, 1), u"Offset 5 is past the end of the file, which has 1 byte.");

  const std::pair<int64_t, const char16_t*> Durations[] = {
      {0, u"0:00:00.000"},           {5024, u"0:00:05.024"},      {60000, u"0:01:00.000"},
      {38400000, u"10:40:00.000"},   {3599999, u"0:59:59.999"},   {400000500, u"111:06:40.500"},
  };
  for (const auto& [Milliseconds, Text] : Durations) EXPECT_EQ(DurationText(Milliseconds), Text) << Milliseconds;

  TStreamSummary Summary;
  Summary.DurationTicks = int64_t{38400} * TStreamSummary::DurationTicksPerSecond;
  Summary.FrameBytes = 1843200000;
  Summary.Kbps = {384};
  const std::vector<std::u16string> Lines = SummaryLines(Summary);
  EXPECT_EQ(Lines[2], u"Duration: 38400.000 s (10:40:00.000)");
  EXPECT_EQ(Lines[4], u"Bit rate: 384 kbps (average 384.0 kbps)");
}

TEST(ViewerTexts, GoToOffsetReadsWhatWasTypedAndRemembersIt) {
  TGoToOffset GoTo;
  EXPECT_EQ(GoTo.LastText(), u"");
  const TGoToOffset::TAnswer Hex = GoTo.Read(u" 0x600 ");
  EXPECT_EQ(Hex.Offset, 0x600);
  EXPECT_EQ(GoTo.LastText(), u"0x600");
  const TGoToOffset::TAnswer Bad = GoTo.Read(u"abc");
  EXPECT_FALSE(Bad.Offset);
  EXPECT_EQ(Bad.Error, u"\"abc\" is not a byte offset. Type a decimal number, or a hexadecimal one after 0x.");
  EXPECT_EQ(GoTo.LastText(), u"abc") << "kept, so that it can be mended";
}

TEST(ViewerTexts, AFileThatCannotBeOpenedSaysWhyInsteadOfAskingToOpenItAnyway) {
  const test::TTempFile Stream(test::SyntheticAC3(4));
  const std::filesystem::path Missing = Stream.Path().parent_path() / "corvane-missing-stream.ac3";
  EXPECT_EQ(OpenFailureReason(Stream.Path()), std::nullopt);
  EXPECT_EQ(OpenFailureReason(Missing), u"No such file or directory");
  EXPECT_EQ(CannotOpenText(Missing, u"No such file or directory"),
            u"Cannot open " + PathToText(Missing) + u": No such file or directory.");

  // The window's open: a missing file is told about, never offered as "not a valid stream".
  const auto Window = test::LoadedWindow(Stream.Path(), 5);
  std::vector<std::u16string> Asked;
  std::vector<std::u16string> Told;
  EXPECT_FALSE(Window->OpenConfirmed(
      Missing, [&](std::u16string_view Question) { return Asked.emplace_back(Question), true; },
      [&](std::u16string_view Message) { Told.emplace_back(Message); }));
  EXPECT_TRUE(Asked.empty());
  EXPECT_EQ(Told, std::vector<std::u16string>{CannotOpenText(Missing, u"No such file or directory")});
  EXPECT_EQ(Window->FileName(), Stream.Path()) << "the open file stays open";

  // A file that opens but is no stream is still offered.
  const test::TTempFile Text(test::TBytes(5000, 'a'));
  EXPECT_TRUE(Window->OpenConfirmed(
      Text.Path(), [&](std::u16string_view Question) { return Asked.emplace_back(Question), true; },
      [&](std::u16string_view Message) { Told.emplace_back(Message); }));
  EXPECT_EQ(Asked, std::vector<std::u16string>{std::u16string(OpenAnywayQuestion)});
  EXPECT_EQ(Told.size(), 1u);
}

// ------------------------------------------------------------------------------------------------
// The frame list

TEST(FrameListLogic, OnlyAKeyReleaseThatMovedTheSelectionShowsAFrame) {
  const test::TTempFile File(test::SyntheticAC3(50));
  const auto Window = test::LoadedWindow(File.Path(), 10);
  ASSERT_EQ(Window->PackOffset(), 0);
  // Releasing a key on the row already shown (Ctrl after a wheel turn over the hex pane) shows
  // nothing again: the hex pane stays where the wheel left it.
  EXPECT_FALSE(Window->ListView1KeyUp(0));
  EXPECT_TRUE(Window->ListView1KeyUp(3));
  EXPECT_EQ(Window->PackOffset(), 3 * FrameSize);
  EXPECT_FALSE(Window->ListView1KeyUp(3));
  EXPECT_FALSE(Window->ListView1KeyUp(-1));
  EXPECT_FALSE(Window->ListView1KeyUp(10));
  // After the window moved, the same row holds another frame.
  Window->ListView1KeyDown(KeyPageDown, 9);
  EXPECT_TRUE(Window->ListView1KeyUp(3));
  EXPECT_EQ(Window->PackOffset(), 13 * FrameSize);
}

TEST(FrameListLogic, CopyOfTheSelectedRowsHasTheListsForm) {
  const test::TTempFile File(test::SyntheticAC3(50));
  const auto Window = test::LoadedWindow(File.Path(), 4);
  const std::u16string Row1 = Window->ListText(u"\n", {1});
  EXPECT_EQ(Row1, OffsetText(FrameSize) + u", 256, 256, 48000 Hz, 64 kbps, \n");
  EXPECT_EQ(Window->ListText(u"\r\n", {2, 0}),
            OffsetText(2 * FrameSize) + u", 256, 256, 48000 Hz, 64 kbps, \r\n" + OffsetText(0) +
                u", 256, 256, 48000 Hz, 64 kbps, \r\n");
  EXPECT_EQ(Window->ListText(u"\n", {}), Window->ListText(u"\n"));
  EXPECT_EQ(Window->ListText(u"\n", {7}), u"");

  // A selected node of the tree: its line and the lines of the nodes under it.
  const TTreeModel& Tree = Window->Tree();
  const TTreeModel::TNodeId Syncinfo = Tree.Node(Tree.Roots()[0]).Children[0];
  ASSERT_EQ(Tree.Node(Syncinfo).Text.rfind(u"syncinfo()", 0), 0u);
  std::u16string Expected = Tree.Node(Syncinfo).Text + u"\r\n";
  for (const TTreeModel::TNodeId Child : Tree.Node(Syncinfo).Children) Expected += Tree.Node(Child).Text + u"\r\n";
  EXPECT_EQ(Window->TreeText(u"\r\n", Syncinfo), Expected);
  EXPECT_EQ(Window->TreeText(u"\n", Tree.Count()), u"");
}

TEST(FrameListLogic, ADraggedThumbMovesTheWindowLiveAndItsEndPlacesTheThumb) {
  const test::TTempFile File(test::SyntheticAC3(1000));
  const auto Window = test::LoadedWindow(File.Path(), 10);
  ASSERT_EQ(Window->ScrollLastPosition(), 0);

  EXPECT_TRUE(Window->TrackThumb(500));  // byte 50,000: frame 196 starts at 50,176
  EXPECT_EQ(Window->FrameOffset(0), 196 * FrameSize);
  EXPECT_EQ(Window->ScrollLastPosition(), 0) << "the bar stays the user's while dragging";
  EXPECT_EQ(Window->CurrentPosition(), 0);
  EXPECT_TRUE(Window->TrackThumb(100000));  // past the end: the last frame start
  EXPECT_EQ(Window->FrameOffset(0), 999 * FrameSize);

  // The drag ends at 700: a thumb placement there.
  Window->MyScrollMouseDown(700);
  EXPECT_EQ(Window->FrameOffset(0), 274 * FrameSize);
  EXPECT_EQ(Window->CurrentPosition(), 274 * FrameSize);
  EXPECT_EQ(Window->ScrollLastPosition(), 274 * FrameSize / 100);

  // A drag reports faster than steps run: only the latest position waits, one step at a time.
  TThumbFollower Follower;
  EXPECT_TRUE(Follower.Moved(10));
  EXPECT_FALSE(Follower.Moved(20));
  EXPECT_FALSE(Follower.Moved(30));
  EXPECT_EQ(Follower.Take(), 30);
  EXPECT_TRUE(Follower.Moved(40));
  EXPECT_EQ(Follower.Take(), 40);
}

// ------------------------------------------------------------------------------------------------
// The stream check's report

// 20 frames with frame 3 damaged and 30 bytes of junk after frame 10.
struct TCheckedFile {
  test::TTempFile File;
  TCheckReport Report;

  explicit TCheckedFile(test::TBytes Bytes) : File(std::move(Bytes), ".ac3"), Report(File.Path(), false) {
    TStreamSummary Summary;
    std::string Error;
    CheckStream(
        File.Path(), false, [&](const TStreamFinding& Finding) { return Report.Add(Finding), true; }, Summary, {},
        nullptr, Error);
    Report.SetSummary(Summary);
  }
};

test::TBytes DamagedStream() {
  const std::vector<test::TBytes> Frames = test::SplitFrames(test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3")), false);
  test::TBytes Bytes;
  for (size_t Index = 0; Index < 20; ++Index) {
    test::TBytes Frame = Frames[Index % Frames.size()];
    if (Index == 3) Frame[1400] ^= 0x04;
    test::AppendBytes(Bytes, Frame);
    if (Index == 10) test::AppendBytes(Bytes, test::Garbage(30));
  }
  return Bytes;
}

TEST(CheckReport, RowsCopyAndSavedText) {
  const TCheckedFile Checked(DamagedStream());
  const TCheckReport& Report = Checked.Report;
  ASSERT_EQ(Report.Findings().size(), 2u);
  EXPECT_TRUE(Report.Complete());
  const std::u16string Junk = u"30 bytes that belong to no frame";
  EXPECT_EQ(Report.RowTexts(0), (std::array<std::u16string, 3>{OffsetText(3 * 1536), u"problem", u"crc2 fails"}));
  EXPECT_EQ(Report.RowTexts(1)[2], Junk);
  EXPECT_EQ(Report.RowTexts(2)[0], u"");

  const std::u16string CrcLine = OffsetText(3 * 1536) + u" problem: crc2 fails";
  const std::u16string JunkLine = OffsetText(11 * 1536) + u" problem: " + Junk;
  EXPECT_EQ(Report.CopyText({1}, u"\r\n"), JunkLine + u"\r\n");
  EXPECT_EQ(Report.CopyText({0, 1}, u"\n"), CrcLine + u"\n" + JunkLine + u"\n");

  // Nothing selected: the whole report, findings, a blank line, then the summary shown above the list.
  std::u16string Whole = CrcLine + u"\n" + JunkLine + u"\n\n";
  for (const std::u16string& Line : Report.SummaryLines()) Whole += Line + u"\n";
  EXPECT_EQ(Report.CopyText({}, u"\n"), Whole);
  EXPECT_EQ(Report.SummaryLines()[0], u"File: " + PathToText(Checked.File.Path()));
  EXPECT_EQ(Report.SummaryLines()[2], u"Frames: 20");

  // Saved as text: the same as the copy of everything (the form corvane-cli check prints).
  EXPECT_EQ(FromUtf8(Report.Saved(TReportFormat::Text)), Whole);
  const std::string Json = Report.Saved(TReportFormat::Json);
  EXPECT_EQ(Json.rfind("{\"file\":", 0), 0u) << Json;
  EXPECT_NE(Json.find("\"kind\":\"AC-3\",\"findings\":[{\"offset\":4608,\"type\":\"problem\",\"problem\":\"crc\""),
            std::string::npos)
      << Json;
  EXPECT_NE(Json.find("],\"summary\":{\"kind\":\"AC-3\""), std::string::npos) << Json;
  EXPECT_EQ(Json.back(), '\n');

  EXPECT_EQ(ReportFormatFor("report.JSON"), TReportFormat::Json);
  EXPECT_EQ(ReportFormatFor("report.txt"), TReportFormat::Text);
  EXPECT_EQ(ReportFormatFor("report"), TReportFormat::Text);
}

TEST(CheckReport, FindingsPastTheListsRoomAreCountedAndSaid) {
  TCheckReport Report("/streams/a.ac3", false);
  TStreamFinding Finding;
  for (size_t Index = 0; Index < TCheckReport::MaxListedFindings + 3; ++Index) {
    Finding.Offset = static_cast<int64_t>(Index);
    Report.Add(Finding);
  }
  EXPECT_FALSE(Report.Complete());
  EXPECT_EQ(Report.Findings().size(), TCheckReport::MaxListedFindings);
  EXPECT_EQ(Report.NotKept(), 3);
  EXPECT_EQ(Report.SummaryLines().back(), u"The list shows the first 100000 findings; 3 more are left out.");
}

TEST(CheckReport, ItsWindowSaysWhenItsFileIsNoLongerOpen) {
  const TCheckReport Report(std::filesystem::path("streams") / "a.ac3", false);
  const std::u16string Name = PathToText(std::filesystem::path("streams") / "a.ac3");
  EXPECT_EQ(Report.WindowTitle(true), u"Stream Check - " + Name);
  EXPECT_EQ(Report.WindowTitle(false), u"Stream Check - " + Name + u" (not open)");
  EXPECT_EQ(Report.NotOpenText(), u"The checked file is no longer open: this report is of " + Name + u".");
  EXPECT_EQ(Report.SuggestedSaveName(), std::filesystem::path("streams") / "a-check.txt");
}

// The files beside Target whose names start with Target's: what a save may leave behind.
std::vector<std::filesystem::path> Leftovers(const std::filesystem::path& Target) {
  std::vector<std::filesystem::path> Found;
  for (const auto& Entry : std::filesystem::directory_iterator(Target.parent_path())) {
    const std::string Name = Entry.path().filename().string();
    if (Name != Target.filename().string() && Name.rfind(Target.filename().string(), 0) == 0) Found.push_back(Entry.path());
  }
  return Found;
}

TEST(CheckReport, SaveReplacesItsFileOnlyWithAWholeReport) {
  const TCheckedFile Checked(DamagedStream());
  const test::TTempFile Target(test::TBytes{'o', 'l', 'd'}, ".txt");
  const auto Read = [&Target] {
    const test::TBytes Bytes = Target.ReadAll();
    return std::string(Bytes.begin(), Bytes.end());
  };
  const TRecheck NoRecheck;

  // A report that kept every finding is written as it is, over the file there was.
  EXPECT_EQ(SaveCheckReport(Checked.Report, Target.Path(), TReportFormat::Text, NoRecheck), u"");
  EXPECT_EQ(Read(), Checked.Report.Saved(TReportFormat::Text));
  EXPECT_EQ(SaveCheckReport(Checked.Report, Target.Path(), TReportFormat::Json, NoRecheck), u"");
  EXPECT_EQ(Read(), Checked.Report.Saved(TReportFormat::Json));

  // One that left findings out is written while its file is checked again.
  TCheckReport Partial(Checked.File.Path(), false);
  for (size_t Index = 0; Index <= TCheckReport::MaxListedFindings; ++Index) Partial.Add(TStreamFinding{});
  int Rechecks = 0;
  const auto Recheck = [&](TCheckEnd Wanted, std::string Failure) -> TRecheck {
    return [&Rechecks, &Checked, Wanted, Failure](const TFindingSink& Sink, TStreamSummary& Summary, std::string& Error) {
      ++Rechecks;
      if (Wanted != TCheckEnd::Completed) {
        Error = Failure;
        return Wanted;
      }
      return CheckStream(Checked.File.Path(), false, Sink, Summary, {}, nullptr, Error);
    };
  };
  EXPECT_EQ(SaveCheckReport(Partial, Target.Path(), TReportFormat::Text, Recheck(TCheckEnd::Completed, "")), u"");
  EXPECT_EQ(Rechecks, 1);
  EXPECT_EQ(Read(), Checked.Report.Saved(TReportFormat::Text));

  // A check cancelled or failed on the way leaves the file as it was, and nothing beside it.
  const std::string Before = Read();
  EXPECT_EQ(SaveCheckReport(Partial, Target.Path(), TReportFormat::Json, Recheck(TCheckEnd::Cancelled, "")), u"");
  EXPECT_EQ(SaveCheckReport(Partial, Target.Path(), TReportFormat::Json, Recheck(TCheckEnd::Failed, "read error")),
            u"The report could not be saved: read error");
  EXPECT_EQ(Rechecks, 3);
  EXPECT_EQ(Read(), Before);
  EXPECT_TRUE(Leftovers(Target.Path()).empty());

  // A folder that does not exist: the reason, and no file.
  const std::filesystem::path Nowhere = Target.Path() / "report.txt";
  const std::u16string Failed = SaveCheckReport(Checked.Report, Nowhere, TReportFormat::Text, NoRecheck);
  EXPECT_EQ(Failed.rfind(u"The report could not be saved: ", 0), 0u) << ToUtf8(Failed);
  EXPECT_GT(Failed.size(), std::u16string_view(u"The report could not be saved: ").size() + 2);
}

}  // namespace
}  // namespace corvane
