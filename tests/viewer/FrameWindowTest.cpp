// Loading, the frame window's refill, its row texts, the searches and the detail decode.

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "core/ODSUtls.h"
#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

using test::TBytes;
using test::TTempFile;

const int32_t Frame51 = 1536;  // ac3_48k_51.ac3: 63 frames of 384 kbps at 48 kHz

std::filesystem::path AC3File() { return test::TestDataPath("ac3_48k_51.ac3"); }
std::filesystem::path EAC3File() { return test::ViewerDataPath("eac3_44k_stereo.eac3"); }

std::vector<std::u16string> TreeOf(const TAC3Frame& Frame) {
  TTreeModel Tree;
  UpdateTreeView_ac3_frame(&Tree, Frame);
  return Tree.Texts();
}

TEST(FrameWindowLoad, OpensAnAC3FileOnItsFirstFrame) {
  auto Window = test::LoadedWindow(AC3File(), 25);
  EXPECT_FALSE(Window->EAC3());
  EXPECT_EQ(Window->fscod(), 0);
  EXPECT_EQ(Window->Caption(), u"Corvane(" + AC3File().u16string() + u")");
  EXPECT_EQ(Window->ScrollMax(), 96768 / 100 - 1);
  EXPECT_EQ(Window->ScrollPosition(), 0);
  ASSERT_EQ(Window->AC3FramesCount(), 25);
  ASSERT_EQ(Window->ListRowCount(), 25);
  for (int32_t Row = 0; Row < 25; ++Row) {
    EXPECT_EQ(Window->FrameOffset(Row), Row * Frame51);
    EXPECT_EQ(Window->FrameLength(Row), Frame51);
  }
  // The tree shows the first frame; the hex pane starts on the file with nothing highlighted.
  EXPECT_EQ(Window->PackOffset(), 0);
  EXPECT_EQ(Window->Tree().Texts(), TreeOf(Window->AC3Frame(0)));
  EXPECT_TRUE(Window->HexPane().Exists);
  EXPECT_FALSE(Window->HexPane().Blank);
  EXPECT_EQ(Window->HexPane().TopOffset, 0);
  EXPECT_EQ(Window->HexPane().SelLength, 0);
  // The stream test, the first window and the first frame's detail share one read.
  EXPECT_EQ(Window->ReadCount(), 1);
}

TEST(FrameWindowLoad, AFileThatPassesBothTestsIsOpenedAsEAC3) {
  int32_t Fscod = -1;
  ASSERT_TRUE(IsAC3ES(EAC3File(), Fscod));  // E-AC-3 frames pass the AC-3 test as well
  auto Window = test::LoadedWindow(EAC3File(), 25);
  EXPECT_TRUE(Window->EAC3());
  EXPECT_EQ(Window->fscod(), 1);
  EXPECT_EQ(Window->AC3FramesCount(), 25);
  EXPECT_EQ(Window->AC3PlusFrame(0).Length, 834);
  EXPECT_EQ(Window->PackLength(), 834);
  EXPECT_EQ(Window->ReadCount(), 1);
}

TEST(FrameWindowLoad, FailedTestAsksAndOnlyYesOpensTheFile) {
  auto Window = test::LoadedWindow(AC3File(), 25);
  const TTempFile Text(TBytes(3000, 'a'), ".txt");

  std::u16string Asked;
  const auto No = [&](std::u16string_view Question) {
    Asked = Question;
    return false;
  };
  EXPECT_FALSE(Window->OpenConfirmed(Text.Path(), No));
  EXPECT_EQ(Asked, u"This is not a valid AC3 audio stream.\r\nDo you want to open it anyway?");
  // No keeps the open file and its views.
  EXPECT_EQ(Window->FileName(), AC3File());
  EXPECT_EQ(Window->AC3FramesCount(), 25);
  EXPECT_FALSE(Window->Tree().Empty());

  // Yes opens it with the previous kind and the fscod the failed test left.
  EXPECT_TRUE(Window->OpenConfirmed(Text.Path(), [](std::u16string_view) { return true; }));
  EXPECT_EQ(Window->FileName(), Text.Path());
  EXPECT_FALSE(Window->EAC3());
  EXPECT_EQ(Window->fscod(), 0);
  EXPECT_EQ(Window->AC3FramesCount(), 0);
  EXPECT_EQ(Window->ScrollMax(), 29);
}

TEST(FrameWindowLoad, DeclinedOpenKeepsBrowsingTheOpenFileAtItsOwnSamplingRate) {
  // The failed test of the text file finds fscod 0; the open 44.1 kHz stream must not take it.
  auto Window = test::LoadedWindow(EAC3File(), 25);
  ASSERT_EQ(Window->fscod(), 1);
  const TTempFile Text(TBytes(3000, 'a'), ".txt");
  EXPECT_FALSE(Window->OpenConfirmed(Text.Path(), [](std::u16string_view) { return false; }));
  EXPECT_EQ(Window->fscod(), 1);
  Window->FormResize(25);
  EXPECT_EQ(Window->AC3FramesCount(), 25);
  Window->ListView1KeyDown(KeyDown, 24);
  EXPECT_EQ(Window->FrameOffset(0), 834);
}

#ifndef _WIN32
// A name that is not UTF-8 opens like any other and shows with U+FFFD in the caption.
TEST(FrameWindowLoad, ANameThatIsNotUtf8ShowsWithReplacementCharacters) {
  const TTempFile Copy(test::ReadTestFile(AC3File()), "_\xE9.ac3");
  auto Window = test::LoadedWindow(Copy.Path(), 25);
  EXPECT_EQ(Window->AC3FramesCount(), 25);
  const std::string Name = Copy.Path().filename().string();
  EXPECT_EQ(Window->Caption(), u"Corvane(" + std::filesystem::temp_directory_path().u16string() + u"/" +
                                   AsciiToU16(Name.substr(0, Name.size() - 5)) + u"\uFFFD.ac3)");
}
#endif

TEST(FrameWindowLoad, DroppedFilesOpenInTurnAndAChosenMissingFileChangesNothing) {
  TFrameWindow Window;
  Window.SetVisibleRows(25);
  const auto No = [](std::u16string_view) { return false; };
  const TTempFile Present(TBytes{}, ".ac3");
  const std::filesystem::path Missing = Present.Path().string() + ".missing";
  Window.OpenDroppedFiles({AC3File(), Missing, EAC3File()}, No);
  EXPECT_EQ(Window.FileName(), EAC3File());
  EXPECT_TRUE(Window.EAC3());

  // A dropped file that fails its test, answered No, leaves no file open.
  const TTempFile Text(TBytes(500, 'a'), ".txt");
  Window.OpenDroppedFiles({Text.Path()}, No);
  EXPECT_FALSE(Window.IsOpen());
  EXPECT_EQ(Window.Caption(), u"Corvane");

  // A missing file chosen in the dialog is skipped without a question.
  ASSERT_TRUE(Window.OpenChosenFile(AC3File(), No));
  bool Asked = false;
  EXPECT_FALSE(Window.OpenChosenFile(Missing, [&](std::u16string_view) { return Asked = true; }));
  EXPECT_FALSE(Asked);
  EXPECT_EQ(Window.FileName(), AC3File());
}

TEST(FrameWindowLoad, AFileThatCannotBeOpenedLeavesTheOpenFileAsItWas) {
  auto Window = test::LoadedWindow(AC3File(), 25);
  Window->ShowRow(2);
  const std::u16string Caption = Window->Caption();
  const std::vector<std::u16string> Tree = Window->Tree().Texts();
  const THexPaneState Hex = Window->HexPane();
  const std::u16string List = Window->ListText(u"\n");
  const TTempFile Present(TBytes{}, ".ac3");
  const std::filesystem::path Missing = Present.Path().string() + ".missing";

  TDebugCapture Capture;
  // The tested load fails; a file that cannot be opened is not offered to be opened anyway.
  bool Asked = false;
  EXPECT_FALSE(Window->OpenConfirmed(Missing, [&](std::u16string_view) { return Asked = true; }));
  EXPECT_FALSE(Asked);
  EXPECT_EQ(Capture.Lines(), (std::vector<std::u16string>{u"nox: Error in TForm1.LoadFile call..."}));
  EXPECT_EQ(Window->Caption(), Caption);
  EXPECT_EQ(Window->FileName(), AC3File());
  EXPECT_TRUE(Window->IsOpen());
  EXPECT_EQ(Window->fscod(), 0);
  EXPECT_EQ(Window->ListText(u"\n"), List);
  EXPECT_EQ(Window->Tree().Texts(), Tree);
  EXPECT_EQ(Window->HexPane().Blank, Hex.Blank);
  EXPECT_EQ(Window->HexPane().FileName, Hex.FileName);
  EXPECT_EQ(Window->HexPane().SelStart, Hex.SelStart);
  EXPECT_EQ(Window->HexPane().SelLength, Hex.SelLength);
  // The file open before is still browsed.
  Window->ListView1KeyDown(KeyDown, 24);
  EXPECT_EQ(Window->FrameOffset(0), Frame51);
}

TEST(FrameWindowLoad, ASecondLoadStartsTheNewFileAtItsStart) {
  TTempFile Long(test::SyntheticAC3(1000));
  auto Window = test::LoadedWindow(Long.Path(), 20);
  Window->MyScrollMouseDown(500);
  ASSERT_NE(Window->CurrentPosition(), 0);
  ASSERT_NE(Window->ScrollLastPosition(), 0);

  ASSERT_TRUE(Window->LoadFile(Long.Path(), false));
  EXPECT_EQ(Window->ScrollPosition(), 0);
  EXPECT_EQ(Window->ScrollLastPosition(), 0);
  EXPECT_EQ(Window->CurrentPosition(), 0);
  Window->ListView1KeyDown(KeyPageDown, 0);
  ASSERT_NE(Window->FrameOffset(0), 0);
  // A resize returns to the start that the load chose.
  Window->FormResize(20);
  EXPECT_EQ(Window->FrameOffset(0), 0);
}

TEST(FrameWindowLoad, ShortFileForcedOpenHasScrollMaximumZero) {
  const TTempFile Short(TBytes(99, 0));
  TFrameWindow Window;
  Window.SetVisibleRows(25);
  EXPECT_TRUE(Window.LoadFile(Short.Path(), true));
  EXPECT_EQ(Window.ScrollMax(), 0);
  EXPECT_EQ(Window.AC3FramesCount(), 0);
}

TEST(FrameWindowLoad, UnloadEmptiesTheViewsAndKeepsTheStreamKind) {
  auto Window = test::LoadedWindow(EAC3File(), 25);
  EXPECT_TRUE(Window->UnloadFile());
  EXPECT_EQ(Window->Caption(), u"Corvane");
  EXPECT_FALSE(Window->IsOpen());
  EXPECT_EQ(Window->ListRowCount(), 0);
  EXPECT_TRUE(Window->Tree().Empty());
  EXPECT_TRUE(Window->HexPane().Blank);
  EXPECT_TRUE(Window->EAC3());
  EXPECT_EQ(Window->fscod(), 1);
  // With no file the searches answer false and a refill lists nothing.
  int64_t Found = -7;
  EXPECT_FALSE(Window->SearchNextPackPositionFromPos(Found, 0));
  Window->RefreshPosition(0);
  EXPECT_EQ(Window->ListRowCount(), 0);
  EXPECT_EQ(Found, -7);
}

TEST(FrameWindowRefill, FullWindowHoldsTheVisibleRowsAndTheNextStartsAfterIt) {
  auto Window = test::LoadedWindow(AC3File(), 25);
  const int64_t Next = Window->FrameOffset(24) + Window->FrameLength(24);
  Window->RefreshPosition(Next);
  ASSERT_EQ(Window->AC3FramesCount(), 25);
  EXPECT_EQ(Window->FrameOffset(0), 25 * Frame51);

  // Never more than 256 rows, however many are visible.
  Window->SetVisibleRows(1000);
  Window->RefreshPosition(0);
  EXPECT_EQ(Window->RowsCount(), MaxFrameRows);
  EXPECT_EQ(Window->AC3FramesCount(), 63);
}

TEST(FrameWindowRefill, LastFrameRunsToTheEndOfTheFile) {
  const auto Frames = test::SplitFrames(test::ReadTestFile(test::ViewerDataPath("ac3_48k_51_448k.ac3")), false);
  TBytes Stream = test::RepeatFrames(Frames, 10);
  test::AppendBytes(Stream, test::Garbage(100));
  const TTempFile File(Stream);
  auto Window = test::LoadedWindow(File.Path(), 25);
  ASSERT_EQ(Window->AC3FramesCount(), 10);
  EXPECT_EQ(Window->FrameLength(9), 1792 + 100);
}

TEST(FrameWindowRefill, GarbageBeforeTheFirstFrameIsNotListed) {
  TBytes Stream = test::Garbage(1000);
  test::AppendBytes(Stream, test::ReadTestFile(AC3File()));
  const TTempFile File(Stream);
  auto Window = test::LoadedWindow(File.Path(), 5);
  ASSERT_EQ(Window->AC3FramesCount(), 5);
  EXPECT_EQ(Window->FrameOffset(0), 1000);
  EXPECT_EQ(Window->FrameOffset(4), 1000 + 4 * Frame51);
}

TEST(FrameWindowRefill, OnlyFramesOfTheDetectedSamplingRateAreListed) {
  const auto Frames48 = test::SplitFrames(test::ReadTestFile(test::ViewerDataPath("ac3_48k_51_448k.ac3")), false);
  const auto Frames44 = test::SplitFrames(test::ReadTestFile(test::TestDataPath("ac3_44k_stereo.ac3")), false);
  TBytes Stream = test::RepeatFrames(Frames48, 20);
  const TBytes Middle = test::RepeatFrames(Frames44, 20);
  test::AppendBytes(Stream, Middle);
  test::AppendBytes(Stream, test::RepeatFrames(Frames48, 20));
  const TTempFile File(Stream);

  auto Window = test::LoadedWindow(File.Path(), 60);
  EXPECT_EQ(Window->fscod(), 0);  // 20 against 12 of the first 32 frames
  ASSERT_EQ(Window->AC3FramesCount(), 40);
  // The last 48 kHz frame before the 44.1 kHz run reaches to the next 48 kHz frame.
  EXPECT_EQ(Window->FrameLength(19), static_cast<int32_t>(1792 + Middle.size()));
  EXPECT_EQ(Window->FrameOffset(20), static_cast<int64_t>(20 * 1792 + Middle.size()));
  for (int32_t Row = 0; Row < 40; ++Row) EXPECT_EQ(Window->ListView1Data(Row)[3], u"48000 Hz") << Row;
}

TEST(FrameWindowRefill, AFrameWhoseSuccessorLiesPastTheReadReachesToIt) {
  // Nothing acceptable follows the 40th frame within the 1 MiB read of a refill at it.
  TBytes Stream = test::SyntheticAC3(40);
  test::AppendBytes(Stream, test::Garbage(2 * FrameReadSize));
  test::AppendBytes(Stream, test::SyntheticAC3(40));
  const TTempFile File(Stream);
  auto Window = test::LoadedWindow(File.Path(), 25);
  int32_t LongSteps = 0;
  Window->SetLongStepCallback([&] { ++LongSteps; });

  Window->RefreshPosition(30 * 256);
  ASSERT_EQ(Window->AC3FramesCount(), 10);
  const int32_t Reaching = 256 + 2 * FrameReadSize;
  EXPECT_EQ(Window->ListView1Data(9)[1], IntToStr(Reaching));
  EXPECT_EQ(LongSteps, 1);
  // The window ends with that frame, but the end of the file is not in view.
  EXPECT_FALSE(Window->EndInView());
  // The detail finds the same length; a refill that ends on the same frame again does not
  // read over the gap again.
  const int64_t Reads = Window->ReadCount();
  Window->ShowRow(9);
  EXPECT_EQ(Window->PackLength(), Reaching);
  EXPECT_EQ(Window->HexPane().SelLength, Reaching);
  Window->RefreshPosition(35 * 256);
  EXPECT_EQ(Window->ReadCount(), Reads + 2);
  EXPECT_EQ(LongSteps, 1);

  // Junk to the end of the file: the last frame runs to it, however far it is.
  TBytes Tail = test::SyntheticAC3(10);
  test::AppendBytes(Tail, test::Garbage(FrameReadSize + 5000));
  const TTempFile TailFile(Tail);
  auto TailWindow = test::LoadedWindow(TailFile.Path(), 25);
  ASSERT_EQ(TailWindow->AC3FramesCount(), 10);
  EXPECT_EQ(TailWindow->FrameLength(9), 256 + FrameReadSize + 5000);
  EXPECT_TRUE(TailWindow->EndInView());
}

TEST(FrameWindowRefill, RefillAtOrPastTheEndListsNothing) {
  // The window's earlier reads left frames in the buffer; none of them may show up again. The
  // earlier window must not survive either, not even where the system refuses the read itself
  // (a position so large that the read's end would overflow the file offset type).
  auto Window = test::LoadedWindow(AC3File(), 25);
  const int64_t Size = Window->FileSize();
  for (const int64_t Position : {Size, Size - 2, Size + 5000, std::numeric_limits<int64_t>::max() - 100,
                                 std::numeric_limits<int64_t>::max()}) {
    Window->RefreshPosition(0);
    Window->RefreshPosition(Position);
    EXPECT_EQ(Window->AC3FramesCount(), 0) << Position;
    EXPECT_EQ(Window->ListRowCount(), 0) << Position;
  }
}

TEST(FrameWindowRows, TextsOfEachKind) {
  // Ten frames with a reserved frmsizecod, opened with the answer Yes where the test refuses.
  const TBytes Reserved = test::ComposeAC3Frame(test::AC3Header(0, 40), 256);
  TBytes ReservedStream;
  for (int Index = 0; Index < 10; ++Index) test::AppendBytes(ReservedStream, Reserved);
  const TTempFile ReservedFile(ReservedStream);

  struct TCase {
    std::filesystem::path File;
    int32_t Row;
    TRowTexts Texts;
  };
  const TCase Cases[] = {
      {AC3File(), 0, {u"0x0000000000000000", u"1536", u"1536", u"48000 Hz", u"384 kbps"}},
      {AC3File(), 3, {u"0x0000000000001200", u"1536", u"1536", u"48000 Hz", u"384 kbps"}},
      {test::TestDataPath("ac3_44k_stereo.ac3"), 0, {u"0x0000000000000000", u"556", u"556", u"44100 Hz", u"128 kbps"}},
      {test::TestDataPath("ac3_44k_stereo.ac3"), 1, {u"0x000000000000022C", u"558", u"558", u"44100 Hz", u"128 kbps"}},
      {test::TestDataPath("ac3_32k_mono.ac3"), 0, {u"0x0000000000000000", u"384", u"384", u"32000 Hz", u"64 kbps"}},
      {test::ViewerDataPath("ac3_48k_51_448k.ac3"), 1, {u"0x0000000000000700", u"1792", u"1792", u"48000 Hz", u"448 kbps"}},
      {EAC3File(), 0, {u"0x0000000000000000", u"834", u"834", u"44100 Hz", u""}},
      {ReservedFile.Path(), 0, {u"0x0000000000000000", u"256", u"reserved", u"48000 Hz", u"reserved"}},
      // A row the window does not hold has no texts.
      {AC3File(), 30, {}},
  };
  for (const TCase& Case : Cases) {
    TFrameWindow Window;
    Window.SetVisibleRows(25);
    ASSERT_TRUE(Window.OpenConfirmed(Case.File, [](std::u16string_view) { return true; })) << Case.File;
    EXPECT_EQ(Window.ListView1Data(Case.Row), Case.Texts) << Case.File << " row " << Case.Row;
  }
}

TEST(FrameWindowRows, ListTextEndsEveryFieldWithCommaSpace) {
  auto Window = test::LoadedWindow(AC3File(), 3);
  EXPECT_EQ(Window->ListText(u"\r\n"),
            u"0x0000000000000000, 1536, 1536, 48000 Hz, 384 kbps, \r\n"
            u"0x0000000000000600, 1536, 1536, 48000 Hz, 384 kbps, \r\n"
            u"0x0000000000000C00, 1536, 1536, 48000 Hz, 384 kbps, \r\n");
  auto Plus = test::LoadedWindow(EAC3File(), 1);
  EXPECT_EQ(Plus->ListText(u"\n"), u"0x0000000000000000, 834, 834, 44100 Hz, , \n");
}

TEST(FrameWindowPaint, ShadingBoldNodesAndRepaintOfTheRowChangedBefore) {
  TFrameWindow Window;
  EXPECT_EQ(Window.ListViewGrayMarkIndex(), 0);
  EXPECT_TRUE(Window.RowShaded(0));
  EXPECT_FALSE(Window.RowShaded(1));
  EXPECT_TRUE(Window.RowShaded(2));

  EXPECT_TRUE(TFrameWindow::TreeNodeShaded(0, false));
  EXPECT_FALSE(TFrameWindow::TreeNodeShaded(0, true));
  EXPECT_FALSE(TFrameWindow::TreeNodeShaded(3, false));
  EXPECT_TRUE(TFrameWindow::TreeNodeBold(u"syncinfo()          "));
  EXPECT_FALSE(TFrameWindow::TreeNodeBold(u"bsid                 : 8 (5 bits)"));

  EXPECT_EQ(Window.ListView1Change(4), -1);  // nothing was reported before
  EXPECT_EQ(Window.ListView1Change(7), 4);
  EXPECT_EQ(Window.ListView1Change(-1), -1);  // no item: nothing to repaint, nothing kept
  EXPECT_EQ(Window.ListView1Change(2), 7);
}

// 1000 synthetic frames of 256 bytes: every syncword in the file is a frame start.
class FrameWindowSearch : public ::testing::Test {
 protected:
  static constexpr int64_t FrameSize = 256;
  static constexpr int64_t Frames = 1000;
  void SetUp() override { Window = test::LoadedWindow(File.Path(), 20); }
  TTempFile File{[] {
    TBytes Stream = test::SyntheticAC3(Frames);
    test::AppendBytes(Stream, {0x0B, 0x77});  // a syncword with no room for a frame
    return Stream;
  }()};
  std::unique_ptr<TFrameWindow> Window;
  int64_t Size() const { return Frames * FrameSize + 2; }
};

TEST_F(FrameWindowSearch, EachSearchFindsTheFrameStartItIsFor) {
  enum { Next, Previous, Back25, Back0 };
  struct TCase {
    int Search;
    int64_t From;
    bool Result;
    int64_t Found;
  };
  const TCase Cases[] = {
      {Next, 5 * FrameSize + 10, true, 6 * FrameSize},     // from inside a frame
      {Next, 6 * FrameSize, true, 6 * FrameSize},          // from a frame start
      {Next, (Frames - 1) * FrameSize + 1, false, -1},     // nothing after the last frame
      {Previous, 6 * FrameSize - 4, true, 5 * FrameSize},  // from 4 bytes before a frame
      {Previous, 100, true, 0},
      {Previous, Size() - 2, true, (Frames - 1) * FrameSize},  // the 2-byte tail is no frame
      {Back25, Size() - 4, true, (Frames - 25) * FrameSize},
      {Back0, 9 * FrameSize, true, 0},                // no count is reached: the earliest
      {Back25, 3 * FrameSize - 4, true, 0},           // fewer than 25: the earliest
      {Next, Size(), false, -1},                      // at or past the end
      {Previous, Size() + 10, false, -1},
      {Next, -1, false, -1},
  };
  for (const TCase& Case : Cases) {
    int64_t Found = -1;
    bool Result = false;
    switch (Case.Search) {
      case Next:
        Result = Window->SearchNextPackPositionFromPos(Found, Case.From);
        break;
      case Previous:
        Result = Window->SearchPreviousPackPositionFromPos(Found, Case.From);
        break;
      case Back25:
        Result = Window->SearchBackPackPositionFromPos(Found, 25, Case.From);
        break;
      case Back0:
        Result = Window->SearchBackPackPositionFromPos(Found, 0, Case.From);
        break;
    }
    EXPECT_EQ(Result, Case.Result) << Case.Search << " from " << Case.From;
    EXPECT_EQ(Found, Case.Found) << Case.Search << " from " << Case.From;
  }
}

TEST(FrameWindowSearchAtFrom, BackwardSearchJudgesAFrameAtFromByItsOwnFscod) {
  // A 44.1 kHz frame start right at From is no frame of a 48 kHz file.
  TBytes Stream = test::SyntheticAC3(50);
  test::AppendBytes(Stream, test::SyntheticAC3(1, 1, 8));
  test::AppendBytes(Stream, test::SyntheticAC3(50));
  const TTempFile Mixed(Stream);
  auto Window = test::LoadedWindow(Mixed.Path(), 20);
  ASSERT_EQ(Window->fscod(), 0);
  int64_t Found = -1;
  EXPECT_TRUE(Window->SearchPreviousPackPositionFromPos(Found, 50 * 256));
  EXPECT_EQ(Found, 49 * 256);
}

TEST(FrameWindowDetail, SelectingARowShowsItsFrameInTreeAndHexPane) {
  auto Window = test::LoadedWindow(AC3File(), 25);
  Window->ShowRow(2);
  const TBytes Bytes = test::ReadTestFile(AC3File());
  TAC3Frame Expected{};
  Expected.Offset = 2 * Frame51;
  parse_ac3_frame(Bytes.data() + 2 * Frame51, static_cast<int32_t>(Bytes.size()) - 2 * Frame51, Expected);
  Expected.Length = Frame51;
  EXPECT_EQ(Window->Tree().Texts(), TreeOf(Expected));
  EXPECT_EQ(Window->PackOffset(), 2 * Frame51);
  EXPECT_EQ(Window->PackLength(), Frame51);
  EXPECT_EQ(Window->HexPane().TopOffset, 2 * Frame51);
  EXPECT_EQ(Window->HexPane().SelStart, 2 * Frame51);
  EXPECT_EQ(Window->HexPane().SelLength, Frame51);
  EXPECT_EQ(Window->TreeText(u"\n").substr(0, 20), u"ac3_syncframe()     ");
}

TEST(FrameWindowDetail, LastFrameOfTheFileHasNoLengthAndNothingHighlighted) {
  auto Window = test::LoadedWindow(AC3File(), 25);
  Window->RefreshPosition(62 * Frame51);
  ASSERT_EQ(Window->AC3FramesCount(), 1);
  EXPECT_EQ(Window->ListView1Data(0)[1], u"1536");  // the list shows the bytes to the end
  Window->ShowRow(0);
  EXPECT_EQ(Window->PackLength(), 0);
  EXPECT_EQ(Window->HexPane().SelLength, 0);
}

TEST(FrameWindowDetail, NothingToReadKeepsTheTreeAndAnEmptyRowClearsIt) {
  auto Window = test::LoadedWindow(AC3File(), 25);
  const auto Before = Window->Tree().Texts();
  EXPECT_FALSE(Window->UpdatePack(Window->FileSize()));
  EXPECT_EQ(Window->Tree().Texts(), Before);
  Window->ShowRow(-1);  // no selected row: nothing happens
  EXPECT_EQ(Window->Tree().Texts(), Before);
  Window->ShowRow(40);  // a row without texts
  EXPECT_TRUE(Window->Tree().Empty());
}

// The status bar names the shown frame's CRC verdict.
TEST(FrameWindowDetail, TheShownFrameHasItsCrcVerdict) {
  TBytes Bytes = test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3"));  // frames of 1536 bytes
  Bytes[1536 + 10] ^= 0x01;      // frame 1: the first 5/8
  Bytes[2 * 1536 + 1500] ^= 0x01;  // frame 2: the last 3/8
  Bytes.resize(Bytes.size() - 200);  // the last frame runs past the end of the file
  const TTempFile File(Bytes, ".ac3");
  auto Window = test::LoadedWindow(File.Path(), 25);
  EXPECT_EQ(Window->PackCrcText(), u"CRC ok");  // the first frame, shown by the load
  const struct {
    int64_t Offset;
    const char16_t* Text;
  } Cases[] = {{1536, u"crc1 fails"}, {2 * 1536, u"crc2 fails"}, {3 * 1536, u"CRC ok"}, {62 * 1536, u"CRC not checked"}};
  for (const auto& Case : Cases) {
    ASSERT_TRUE(Window->UpdatePack(Case.Offset));
    EXPECT_EQ(Window->PackCrcText(), Case.Text) << Case.Offset;
  }
  Window->UnloadFile();
  EXPECT_EQ(Window->PackCrcText(), u"");
}

TEST(FrameWindowFile, FileCutShortWhileOpenGivesShortReads) {
  TTempFile File(test::SyntheticAC3(1000));
  auto Window = test::LoadedWindow(File.Path(), 20);
  std::filesystem::resize_file(File.Path(), 100 * 256 + 10);

  Window->RefreshPosition(500 * 256);
  EXPECT_EQ(Window->AC3FramesCount(), 0);
  EXPECT_FALSE(Window->UpdatePack(900 * 256));
  // The 10 bytes left of frame 100 still start a frame, which runs to the new end.
  const TNavResult End = Window->ListView1KeyDown(KeyEnd, 0);
  EXPECT_TRUE(End.Refilled);
  ASSERT_EQ(Window->AC3FramesCount(), 20);
  EXPECT_EQ(Window->FrameOffset(0), 81 * 256);
  EXPECT_EQ(Window->FrameOffset(19), 100 * 256);
  EXPECT_EQ(Window->FrameLength(19), 10);
  EXPECT_EQ(test::WalkText(*Window, 0), test::ChainText(*Window, 0));
}

TEST(FrameWindowFile, FramesPastFourGiBAreListedAndFound) {
  const int64_t Far = (int64_t{1} << 32) + 1000;  // 0x1000003E8
  TTempFile File(test::SyntheticAC3(40));
  File.WriteAt(Far, test::SyntheticAC3(40));
  auto Window = test::LoadedWindow(File.Path(), 25);
  ASSERT_EQ(Window->FileSize(), Far + 40 * 256);

  int64_t Found = 0;
  ASSERT_TRUE(Window->SearchNextPackPositionFromPos(Found, int64_t{1} << 32));
  EXPECT_EQ(Found, Far);
  ASSERT_TRUE(Window->SearchPreviousPackPositionFromPos(Found, Far + 300));
  EXPECT_EQ(Found, Far + 256);

  Window->ListView1KeyDown(KeyEnd, 0);
  ASSERT_EQ(Window->AC3FramesCount(), 25);
  EXPECT_EQ(Window->ListView1Data(0)[0], u"0x00000001000012E8");  // 15 frames after Far
  EXPECT_EQ(Window->ScrollPosition(), (Far + 15 * 256) / 100);

  // Placing the thumb at the 4 GiB mark starts the window on the first frame after it.
  Window->MyScrollMouseDown(static_cast<int32_t>((int64_t{1} << 32) / 100));
  EXPECT_EQ(Window->CurrentPosition(), Far);
  EXPECT_EQ(Window->ListView1Data(0)[0], u"0x00000001000003E8");
  EXPECT_TRUE(Window->UpdatePack(Far));
  EXPECT_EQ(Window->PackLength(), 256);
}

}  // namespace
}  // namespace corvane
