#include "viewer/FrameWindow.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "analysis/FrameKinds.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"

namespace corvane {


namespace {

// The backward searches read this many bytes past From, so that the test of a frame start at
// From itself sees its fscod instead of a byte that was not read.
constexpr int32_t SearchReadPastFrom = 8;

void ReportFailure(std::u16string_view Operation) {
  DebugLog(u"nox: Error in TForm1." + std::u16string(Operation) + u" call...");
}

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

bool TFrameWindow::LoadFile(const std::filesystem::path& FileName, bool UnsecureLoad) {
  try {
    if (!UnsecureLoad && StreamTest(FileName) == TStreamKind::None) return false;

    FTree.Clear();
    FHexPane.Blank = true;
    FFileName = FileName;
    FFileStream.Close();
    if (!FFileStream.Open(FileName, TFileStream::TMode::Read)) throw std::runtime_error(FFileStream.LastError());
    FScrollPosition = 0;

    FCurrentPosition = 0;
    RefreshPosition(0);
    FScrollLastPosition = 0;

    const int64_t Size = FFileStream.Size();
    const int64_t Max = Size / ScrollBytesPerStep - 1;
    FScrollMax = static_cast<int32_t>(std::clamp<int64_t>(Max, 0, std::numeric_limits<int32_t>::max()));

    // Row 0 is selected and shown; the tree shows the first frame.
    if (FListRowCount >= 1) ShowRow(0);

    // The hex pane starts over on the new file at offset 0, with nothing highlighted.
    FHexPane.Exists = true;
    FHexPane.Blank = false;
    FHexPane.FileName = FileName;
    FHexPane.TopOffset = 0;
    FHexPane.SelStart = 0;
    FHexPane.SelLength = 0;
    return true;
  } catch (...) {
    ReportFailure(u"LoadFile");
    return false;
  }
}

bool TFrameWindow::UnloadFile() {
  try {
    FFileName.clear();
    FFileStream.Close();
    FAC3FramesCount = 0;
    RefreshPosition(0);
    FHexPane.Blank = true;
    FTree.Clear();
    return true;
  } catch (...) {
    ReportFailure(u"UnloadFile");
    return false;
  }
}

bool TFrameWindow::OpenConfirmed(const std::filesystem::path& FileName, const TAskCallback& Ask) {
  const int32_t OpenFileFscod = Ffscod;
  if (LoadFile(FileName, false)) return true;
  // Yes opens the file with the fscod its failed test found.
  if (Ask && Ask(OpenAnywayQuestion)) return LoadFile(FileName, true);
  // No keeps the open file, which goes on being browsed with its own fscod, not the one the
  // refused file's test left behind.
  if (FFileStream.IsOpen()) Ffscod = OpenFileFscod;
  return false;
}

bool TFrameWindow::OpenChosenFile(const std::filesystem::path& FileName, const TAskCallback& Ask) {
  try {
    return FileExists(FileName) && OpenConfirmed(FileName, Ask);
  } catch (...) {
    ReportFailure(u"Open1Click");
    return false;
  }
}

void TFrameWindow::OpenDroppedFiles(const std::vector<std::filesystem::path>& FileNames, const TAskCallback& Ask) {
  try {
    for (const std::filesystem::path& FileName : FileNames) {
      if (!FileExists(FileName)) continue;
      UnloadFile();
      OpenConfirmed(FileName, Ask);
    }
  } catch (...) {
    ReportFailure(u"WMDROPFILES");
  }
}

std::u16string TFrameWindow::Caption() const {
  std::u16string Text(DisplayName);
  if (!FFileName.empty()) {
    Text += u'(';
    Text += FFileName.u16string();
    Text += u')';
  }
  return Text;
}

// ------------------------------------------------------------------------------------------
// Frame window

void TFrameWindow::SetVisibleRows(int32_t Rows) { FVisibleRows = std::max(Rows, 0); }

int32_t TFrameWindow::ReadBuff(int64_t Position, int32_t Count) {
  // Nothing lies at or past the end of the file. Such a read is not even tried: the system may
  // refuse it outright when Position + Count passes the largest file offset, and a failed read
  // would leave the previous window in place as if it had been refilled.
  const int64_t Size = FFileStream.Size();
  if (Size < 0) return -1;
  const int32_t Done = Position >= Size ? 0 : FFileStream.ReadAt(Position, FBuff.get(), Count);
  if (Done >= 0) std::memset(FBuff.get() + Done, 0, FrameLookAhead);
  return Done;
}

int64_t TFrameWindow::FrameOffset(int32_t Index) const {
  return FEAC3 ? AC3PlusFrame(Index).Offset : AC3Frame(Index).Offset;
}

int32_t TFrameWindow::FrameLength(int32_t Index) const {
  return FEAC3 ? AC3PlusFrame(Index).Length : AC3Frame(Index).Length;
}

void TFrameWindow::RefreshPosition(int64_t Position) {
  std::lock_guard<std::recursive_mutex> Lock(FAC3FramesLock);
  FRowsCount = std::min(FVisibleRows, MaxFrameRows);
  FListRowCount = FRowsCount;
  try {
    if (FFileStream.IsOpen()) {
      const int32_t Count = ReadBuff(Position, FrameReadSize);
      if (Count < 0) throw std::runtime_error("read");
      const bool AtEnd = Position + Count == FFileStream.Size();
      FAC3FramesCount = 0;
      if (FEAC3)
        ScanWindow<TAC3PlusKind>(Position, Count, AtEnd);
      else
        ScanWindow<TAC3Kind>(Position, Count, AtEnd);
    }
  } catch (...) {
    ReportFailure(u"RefreshPosition");
  }
  FRowsCount = std::min(FVisibleRows, MaxFrameRows);
  FListRowCount = FAC3FramesCount;
}

// Walks the Count bytes read at Position from accepted frame start to frame start, keeping one
// record per row.
template <typename TKind>
void TFrameWindow::ScanWindow(int64_t Position, int32_t Count, bool AtEnd) {
  auto& Frames = [this]() -> auto& {
    if constexpr (std::is_same_v<TKind, TAC3Kind>)
      return *FAC3Frames;
    else
      return *FAC3PlusFrames;
  }();
  const uint8_t* const Data = FBuff.get();
  int32_t At = 0;
  while (FAC3FramesCount < FRowsCount && Count - At >= 4) {
    const uint8_t* const Here = Data + At;
    const int32_t Left = Count - At;
    if (!IsSyncword(Here) || !TKind::ValidFramePoint(Here, Left, Ffscod)) {
      At = NextSyncword(Data, At + 1, Count - 4);
      continue;
    }
    auto& Frame = Frames[static_cast<size_t>(FAC3FramesCount)];
    DecodeFrame<TKind>(Frame, Here, Left, Position + At);
    TKind::PackLength(Here, Left, Frame.Length, Ffscod);
    ++FAC3FramesCount;
    if (Frame.Length <= 0) {
      // No frame start follows within the read. At the end of the file the frame runs to it;
      // elsewhere the frame is listed once with no length and the window ends with it.
      if (AtEnd) Frame.Length = Left;
      break;
    }
    At += Frame.Length;
  }
}

bool TFrameWindow::SearchNextPackPositionFromPos(int64_t& Found, int64_t From) {
  try {
    if (!FFileStream.IsOpen() || From < 0 || From >= FFileStream.Size()) return false;
    const int32_t Count = ReadBuff(From, FrameReadSize);
    if (Count <= 0) return false;
    const uint8_t* const Data = FBuff.get();
    for (int32_t At = NextSyncword(Data, 0, Count - 4); Count - At >= 4; At = NextSyncword(Data, At + 1, Count - 4)) {
      if (AC3ValidFramePoint(Data + At, Count - At, Ffscod)) {
        Found = From + At;
        return true;
      }
    }
    return false;
  } catch (...) {
    ReportFailure(u"SearchNextPackPositionFromPos");
    return false;
  }
}

bool TFrameWindow::SearchPreviousPackPositionFromPos(int64_t& Found, int64_t From) {
  return SearchBackward(Found, 1, From, u"SearchPreviousPackPositionFromPos");
}

bool TFrameWindow::SearchBackPackPositionFromPos(int64_t& Found, int32_t Count, int64_t From) {
  return SearchBackward(Found, Count, From, u"SearchBackPackPositionFromPos");
}

// Tests every position from From down to 1 MiB before it; each accepted one is Found, and the
// Count-th ends the search. With fewer, Found is the earliest accepted position.
bool TFrameWindow::SearchBackward(int64_t& Found, int32_t Count, int64_t From, const char16_t* Name) {
  bool Accepted = false;
  try {
    if (!FFileStream.IsOpen() || From < 0 || From >= FFileStream.Size()) return false;
    const int64_t Start = std::max<int64_t>(From - FrameReadSize, 0);
    const int32_t Read = ReadBuff(Start, static_cast<int32_t>(From - Start) + SearchReadPastFrom);
    if (Read <= 0) return false;
    const uint8_t* const Data = FBuff.get();
    int32_t Seen = 0;
    for (int64_t At = From - Start; At >= 0; --At) {
      const int32_t Left = Read - static_cast<int32_t>(At);
      if (Left < 4 || !IsSyncword(Data + At) || !AC3ValidFramePoint(Data + At, Left, Ffscod)) continue;
      Found = Start + At;
      Accepted = true;
      if (++Seen == Count) return true;
    }
    return Accepted;
  } catch (...) {
    ReportFailure(Name);
    return Accepted;
  }
}

TRowTexts TFrameWindow::ListView1Data(int32_t Row) {
  std::lock_guard<std::recursive_mutex> Lock(FAC3FramesLock);
  TRowTexts Texts;
  try {
    if (Row >= 0 && Row < FRowsCount && Row < FAC3FramesCount) {
      Texts = FEAC3 ? FrameRowTexts(AC3PlusFrame(Row)) : FrameRowTexts(AC3Frame(Row));
    }
  } catch (...) {
    ReportFailure(u"ListView1Data");
  }
  return Texts;
}

void TFrameWindow::FormResize(int32_t VisibleRows) {
  try {
    SetVisibleRows(VisibleRows);
    RefreshPosition(FCurrentPosition);
  } catch (...) {
    ReportFailure(u"FormResize");
  }
}

std::u16string TFrameWindow::ListText(std::u16string_view LineEnd) {
  std::lock_guard<std::recursive_mutex> Lock(FAC3FramesLock);
  std::u16string Text;
  for (int32_t Row = 0; Row < FListRowCount; ++Row) {
    for (const std::u16string& Column : ListView1Data(Row)) {
      Text += Column;
      Text += u", ";
    }
    Text += LineEnd;
  }
  return Text;
}

// ------------------------------------------------------------------------------------------
// Frame detail

namespace {

template <typename TKind>
int32_t DecodePack(const uint8_t* Data, int32_t Count, int64_t Offset, int32_t Fscod, TTreeModel& Tree) {
  const auto Frame = NewDecodedFrame<TKind>(Data, Count, Offset);
  TKind::PackLength(Data, Count, Frame->Length, Fscod);
  TKind::BuildTree(&Tree, *Frame);
  return Frame->Length;
}

}  // namespace

bool TFrameWindow::UpdatePack(int64_t Offset) {
  try {
    if (!FFileStream.IsOpen() || Offset < 0) return false;
    const int32_t Count = ReadBuff(Offset, FrameReadSize);
    if (Count <= 0) return false;
    const int32_t Length = FEAC3 ? DecodePack<TAC3PlusKind>(FBuff.get(), Count, Offset, Ffscod, FTree)
                                 : DecodePack<TAC3Kind>(FBuff.get(), Count, Offset, Ffscod, FTree);
    FPackOffset = Offset;
    FPackLength = Length;
    if (FHexPane.Exists) {
      FHexPane.TopOffset = Offset;
      FHexPane.SelStart = Offset;
      FHexPane.SelLength = Length;
    }
    return true;
  } catch (...) {
    ReportFailure(u"UpdatePack");
    return false;
  }
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
    ReportFailure(u"ListView1MouseDown");
    return;
  }
  UpdatePack(Offset);
}

int32_t TFrameWindow::ListView1Change(int32_t Item) {
  const int32_t Previous = FLastChangedItemIndex;
  if (Item >= 0) FLastChangedItemIndex = Item;
  return Item >= 0 ? Previous : -1;
}

std::u16string TFrameWindow::TreeText(std::u16string_view LineEnd) const {
  std::u16string Text;
  for (const std::u16string& Line : FTree.Texts()) {
    Text += Line;
    Text += LineEnd;
  }
  return Text;
}

}  // namespace corvane
