#include "viewer/FrameWindow.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "analysis/AC3Detect.h"
#include "analysis/FrameKinds.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"
#include "viewer/ViewerTexts.h"

namespace corvane {
namespace {

static_assert(StreamTestBytes == FrameReadSize, "the load's one read serves the stream test and the first window");

// "0x" followed by hexadecimal digits, as the Offset column writes it.
bool ParseOffsetText(const std::u16string& Text, int64_t& Offset) {
  if (Text.size() < 3 || Text.size() > 18 || Text[0] != u'0' || (Text[1] != u'x' && Text[1] != u'X')) return false;
  uint64_t Value = 0;
  for (size_t Index = 2; Index < Text.size(); ++Index) {
    const char16_t Digit = Text[Index];
    uint64_t Nibble;
    if (Digit >= u'0' && Digit <= u'9')
      Nibble = static_cast<uint64_t>(Digit - u'0');
    else if (Digit >= u'A' && Digit <= u'F')
      Nibble = static_cast<uint64_t>(Digit - u'A' + 10);
    else if (Digit >= u'a' && Digit <= u'f')
      Nibble = static_cast<uint64_t>(Digit - u'a' + 10);
    else
      return false;
    Value = (Value << 4) | Nibble;
  }
  if (Value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
  Offset = static_cast<int64_t>(Value);
  return true;
}

}  // namespace

// The buffer comes zeroed from the system without being touched, and the record arrays are left
// as they come, so their pages cost memory only once used: every refill clears a record before
// it writes it, and only record 0 is ever read before a refill wrote it.
TFrameWindow::TFrameWindow()
    : FBuff(static_cast<uint8_t*>(std::calloc(FrameBuffSize + FrameLookAhead, 1)), &std::free),
      FAC3Frames(new std::array<TAC3Frame, MaxFrameRows>),
      FAC3PlusFrames(new std::array<TAC3PlusFrame, MaxFrameRows>) {
  if (!FBuff) throw std::bad_alloc();
  // Record 0 is read by a page-area scroll step even before any refill wrote it.
  std::memset(&(*FAC3Frames)[0], 0, sizeof(TAC3Frame));
  std::memset(&(*FAC3PlusFrames)[0], 0, sizeof(TAC3PlusFrame));
}

TFrameWindow::~TFrameWindow() = default;

// ------------------------------------------------------------------------------------------
// File loading

TStreamKind TFrameWindow::StreamTest(const std::filesystem::path& FileName) {
  if (IsAC3PlusES(FileName, Ffscod)) {
    FEAC3 = 1;
    return TStreamKind::EAC3;
  }
  if (IsAC3ES(FileName, Ffscod)) {
    FEAC3 = 0;
    return TStreamKind::AC3;
  }
  return TStreamKind::None;
}

TStreamKind TFrameWindow::StreamTest(const uint8_t* Data, int32_t Count) {
  if (IsAC3PlusES(Data, Count, Ffscod)) {
    FEAC3 = 1;
    return TStreamKind::EAC3;
  }
  if (IsAC3ES(Data, Count, Ffscod)) {
    FEAC3 = 0;
    return TStreamKind::AC3;
  }
  return TStreamKind::None;
}

bool TFrameWindow::LoadFile(const std::filesystem::path& FileName, bool UnsecureLoad) {
  constexpr std::u16string_view Name = u"TForm1.LoadFile";
  // Whatever happens, reads after the load go to the file again.
  struct TShareReads {
    explicit TShareReads(TFrameWindow& Window) : FWindow(Window) {
      FWindow.FShareReads = true;
      FWindow.FSharedPosition = -1;
    }
    ~TShareReads() { FWindow.FShareReads = false; }
    TFrameWindow& FWindow;
  } Sharing(*this);

  return GuardedCall(Name, [&] {
    // Nothing of the open file changes until the new one is open (and, tested, has passed).
    TFileStream Stream;
    if (!Stream.Open(FileName, TFileStream::TMode::Read)) return ReportCallFailure(Name);
    if (!UnsecureLoad) {
      const int32_t Count = Stream.ReadAt(0, FBuff.get(), FrameReadSize);
      ++FReadCount;
      if (Count < 0) {
        // As the stream test answers for a file it cannot read.
        Ffscod = -1;
        return ReportCallFailure(Name);
      }
      std::memset(FBuff.get() + Count, 0, FrameLookAhead);
      FSharedPosition = 0;
      FSharedRequest = FrameReadSize;
      FSharedCount = Count;
      if (StreamTest(FBuff.get(), Count) == TStreamKind::None) return false;
    }

    FTree.Clear();
    FHexPane.Blank = true;
    FFileName = FileName;
    FFileStream = std::move(Stream);
    FFollowedFrame = -1;
    FScrollPosition = 0;

    const int64_t Size = FFileStream.Size();
    const int64_t Max = Size / ScrollBytesPerStep - 1;
    FScrollMax = static_cast<int32_t>(std::clamp<int64_t>(Max, 0, std::numeric_limits<int32_t>::max()));
    FillFrom(0);

    // Row 0 is selected and shown; the tree shows the first frame.
    if (FListRowCount >= 1) ShowRow(0);

    // The hex pane starts over on the new file at offset 0, with nothing highlighted.
    FHexPane.Exists = true;
    FHexPane.Blank = false;
    FHexPane.FileName = FileName;
    FHexPane.TopOffset = 0;
    FHexPane.SelStart = 0;
    FHexPane.SelLength = 0;
    ++FHexPane.LoadCount;
    return true;
  });
}

bool TFrameWindow::UnloadFile() {
  return GuardedCall(u"TForm1.UnloadFile", [&] {
    FFileName.clear();
    FFileStream.Close();
    FFollowedFrame = -1;
    FAC3FramesCount = 0;
    RefreshPosition(0);
    FHexPane.Blank = true;
    FTree.Clear();
    return true;
  });
}

bool TFrameWindow::OpenConfirmed(const std::filesystem::path& FileName, const TAskCallback& Ask,
                                 const TTellCallback& Tell) {
  const int32_t OpenFileFscod = Ffscod;
  if (LoadFile(FileName, false)) return true;
  if (const std::optional<std::u16string> Reason = OpenFailureReason(FileName)) {
    // Opening it anyway could not work either: say why instead of asking.
    if (Tell) Tell(CannotOpenText(FileName, *Reason));
  } else if (Ask && Ask(OpenAnywayQuestion) && LoadFile(FileName, true)) {
    // Yes opens the file with the fscod its failed test found.
    return true;
  }
  // Otherwise the open file goes on being browsed with its own fscod, not the one the refused
  // file's test left behind.
  if (FFileStream.IsOpen()) Ffscod = OpenFileFscod;
  return false;
}

bool TFrameWindow::OpenChosenFile(const std::filesystem::path& FileName, const TAskCallback& Ask,
                                  const TTellCallback& Tell) {
  return GuardedCall(u"TForm1.Open1Click",
                     [&] { return FileExists(FileName) && OpenConfirmed(FileName, Ask, Tell); });
}

void TFrameWindow::OpenDroppedFiles(const std::vector<std::filesystem::path>& FileNames, const TAskCallback& Ask,
                                    const TTellCallback& Tell) {
  GuardedCall(u"TForm1.WMDROPFILES", [&] {
    for (const std::filesystem::path& FileName : FileNames) {
      if (!FileExists(FileName)) continue;
      UnloadFile();
      OpenConfirmed(FileName, Ask, Tell);
    }
  });
}

std::u16string TFrameWindow::Caption() const {
  std::u16string Text(DisplayName);
  if (!FFileName.empty()) {
    Text += u'(';
    Text += PathToText(FFileName);
    Text += u')';
  }
  return Text;
}

// ------------------------------------------------------------------------------------------
// Frame window

void TFrameWindow::SetVisibleRows(int32_t Rows) { FVisibleRows = std::max(Rows, 0); }

int32_t TFrameWindow::ReadInto(uint8_t* Into, int64_t Position, int32_t Count) {
  // Nothing lies at or past the end of the file. Such a read is not even tried: the system may
  // refuse it outright when Position + Count passes the largest file offset, and a failed read
  // would leave the previous window in place as if it had been refilled.
  const int64_t Size = FFileStream.Size();
  if (Size < 0) return -1;
  int32_t Done = 0;
  if (Position < Size) {
    Done = FFileStream.ReadAt(Position, Into, Count);
    ++FReadCount;
  }
  if (Done >= 0) std::memset(Into + Done, 0, FrameLookAhead);
  return Done;
}

int32_t TFrameWindow::ReadBuff(int64_t Position, int32_t Count) {
  if (FShareReads && Position == FSharedPosition && Count == FSharedRequest) return FSharedCount;
  const int32_t Done = ReadInto(FBuff.get(), Position, Count);
  FSharedPosition = Position;
  FSharedRequest = Count;
  FSharedCount = Done;
  return Done;
}

int64_t TFrameWindow::FrameOffset(int32_t Index) const {
  return FEAC3 ? AC3PlusFrame(Index).Offset : AC3Frame(Index).Offset;
}

int32_t TFrameWindow::FrameLength(int32_t Index) const {
  return FEAC3 ? AC3PlusFrame(Index).Length : AC3Frame(Index).Length;
}

void TFrameWindow::RefreshPosition(int64_t Position) {
  constexpr std::u16string_view Name = u"TForm1.RefreshPosition";
  std::lock_guard<std::recursive_mutex> Lock(FAC3FramesLock);
  FRowsCount = std::min(FVisibleRows, MaxFrameRows);
  FListRowCount = FRowsCount;
  GuardedCall(Name, [&] {
    if (!FFileStream.IsOpen()) return;
    const int32_t Count = ReadBuff(Position, FrameReadSize);
    if (Count < 0) {
      // The window keeps the frames of the refill before.
      ReportCallFailure(Name);
      return;
    }
    // A read at or past the end of the file reads nothing, and is at the end.
    const bool AtEnd = Position + Count >= FFileStream.Size();
    FAC3FramesCount = 0;
    if (FEAC3)
      ScanWindow<TAC3PlusKind>(Position, Count, AtEnd);
    else
      ScanWindow<TAC3Kind>(Position, Count, AtEnd);
  });
  FRowsCount = std::min(FVisibleRows, MaxFrameRows);
  FListRowCount = FAC3FramesCount;
}

void TFrameWindow::FillFrom(int64_t Position) {
  RefreshPosition(Position);
  FCurrentPosition = Position;
  FNoFrameAhead = FAC3FramesCount == 0 && FRefillReachedEnd;
  if (FAC3FramesCount == 0 && FRowsCount > 0 && !FRefillReachedEnd && FFileStream.IsOpen()) {
    int64_t Found = 0;
    if (!SearchNextPackPositionFromPos(Found, Position)) {
      FNoFrameAhead = true;
    } else if (Found != Position) {
      RefreshPosition(Found);
      FCurrentPosition = Found;
    }
  }
  PlaceThumb(FCurrentPosition);
}

// Keeps one record per row of the frames that the Count bytes read at Position hold.
template <typename TKind>
void TFrameWindow::ScanWindow(int64_t Position, int32_t Count, bool AtEnd) {
  auto& Frames = [this]() -> auto& {
    if constexpr (std::is_same_v<TKind, TAC3Kind>)
      return *FAC3Frames;
    else
      return *FAC3PlusFrames;
  }();
  const TScanEnd End =
      ScanFrames<TKind>(FBuff.get(), Count, Position, AtEnd, FRowsCount, [&](const TWalkFrame& Scanned) {
        auto& Frame = Frames[static_cast<size_t>(FAC3FramesCount)];
        DecodeFrame<TKind>(Frame, Scanned.Data, Scanned.Size, Scanned.Offset);
        Frame.Length = Scanned.Length;
        ++FAC3FramesCount;
        return true;
      });
  FRefillReachedEnd = End.Next == -1;
  if (!End.Ok) ReportCallFailure(u"TForm1.RefreshPosition");
}

TRowTexts TFrameWindow::ListView1Data(int32_t Row) {
  std::lock_guard<std::recursive_mutex> Lock(FAC3FramesLock);
  return GuardedCall(u"TForm1.ListView1Data", [&] {
    if (Row < 0 || Row >= FRowsCount || Row >= FAC3FramesCount) return TRowTexts{};
    return FEAC3 ? FrameRowTexts(AC3PlusFrame(Row)) : FrameRowTexts(AC3Frame(Row));
  });
}

void TFrameWindow::FormResize(int32_t VisibleRows) {
  GuardedCall(u"TForm1.FormResize", [&] {
    SetVisibleRows(VisibleRows);
    RefreshPosition(FCurrentPosition);
  });
}

std::u16string TFrameWindow::ListText(std::u16string_view LineEnd) { return ListText(LineEnd, {}); }

std::u16string TFrameWindow::ListText(std::u16string_view LineEnd, const std::vector<int32_t>& Rows) {
  std::lock_guard<std::recursive_mutex> Lock(FAC3FramesLock);
  std::u16string Text;
  const auto AddRow = [&](int32_t Row) {
    for (const std::u16string& Column : ListView1Data(Row)) {
      Text += Column;
      Text += u", ";
    }
    Text += LineEnd;
  };
  if (Rows.empty())
    for (int32_t Row = 0; Row < FListRowCount; ++Row) AddRow(Row);
  for (const int32_t Row : Rows)
    if (Row >= 0 && Row < FListRowCount) AddRow(Row);
  return Text;
}

// ------------------------------------------------------------------------------------------
// Frame detail

// Decodes the frame at Offset from the Count bytes read there into the tree and the hex range.
// Its Length is found as the row's is, except that the last frame of the file has none here.
template <typename TKind>
bool TFrameWindow::DecodePack(int64_t Offset, int32_t Count, bool AtEnd) {
  const auto Frame = NewDecodedFrame<TKind>(FBuff.get(), Count, Offset);
  const TFollow Follow = FollowFrame<TKind>(FBuff.get(), Count, Offset, AtEnd);
  if (!Follow.Ok) return ReportCallFailure(u"TForm1.UpdatePack");
  Frame->Length = Follow.Next >= 0 ? Follow.Length : 0;
  TKind::BuildTree(&FTree, *Frame);
  FPackOffset = Offset;
  FPackLength = Frame->Length;
  // Only the frame's own bytes are checked: those up to the next frame, or to the end of the file.
  const bool Followed = Follow.Next >= 0 && Follow.Length > 0;
  FPackCrc = TKind::CheckCrc(FBuff.get(), Followed ? std::min(Follow.Length, Count) : Count);
  if (FHexPane.Exists) {
    FHexPane.TopOffset = Offset;
    FHexPane.SelStart = Offset;
    FHexPane.SelLength = Frame->Length;
  }
  FHexPane.FieldStart = Offset;
  FHexPane.FieldLength = 0;
  return true;
}

bool TFrameWindow::UpdatePack(int64_t Offset) {
  return GuardedCall(u"TForm1.UpdatePack", [&] {
    if (!FFileStream.IsOpen() || Offset < 0) return false;
    const int32_t Count = ReadBuff(Offset, FrameReadSize);
    if (Count <= 0) return false;
    const bool AtEnd = Offset + Count == FFileStream.Size();
    return FEAC3 ? DecodePack<TAC3PlusKind>(Offset, Count, AtEnd) : DecodePack<TAC3Kind>(Offset, Count, AtEnd);
  });
}

void TFrameWindow::ShowRow(int32_t Row) {
  if (Row < 0) return;
  const std::u16string OffsetColumn = ListView1Data(Row)[0];
  if (OffsetColumn.empty()) {
    FTree.Clear();
    return;
  }
  int64_t Offset = 0;
  if (!ParseOffsetText(OffsetColumn, Offset)) {
    ReportCallFailure(u"TForm1.ListView1MouseDown");
    return;
  }
  UpdatePack(Offset);
}

bool TFrameWindow::ListView1KeyUp(int32_t Row) {
  if (Row < 0 || Row >= FListRowCount) return false;
  if (FTree.Count() > 0 && Row < FAC3FramesCount && FrameOffset(Row) == FPackOffset) return false;
  ShowRow(Row);
  return true;
}

int32_t TFrameWindow::ListView1Change(int32_t Item) {
  const int32_t Previous = FLastChangedItemIndex;
  if (Item >= 0) FLastChangedItemIndex = Item;
  return Item >= 0 ? Previous : -1;
}

std::u16string TFrameWindow::PackCrcText() const { return FTree.Count() == 0 ? u"" : CrcVerdictText(FPackCrc); }

namespace {

std::u16string JoinLines(const std::vector<std::u16string>& Lines, std::u16string_view LineEnd) {
  std::u16string Text;
  for (const std::u16string& Line : Lines) {
    Text += Line;
    Text += LineEnd;
  }
  return Text;
}

}  // namespace

std::u16string TFrameWindow::TreeText(std::u16string_view LineEnd) const { return JoinLines(FTree.Texts(), LineEnd); }

std::u16string TFrameWindow::TreeText(std::u16string_view LineEnd, TTreeModel::TNodeId Node) const {
  return JoinLines(FTree.Texts(Node), LineEnd);
}

}  // namespace corvane
