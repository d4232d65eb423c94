// A whole session of the viewer core on one file: the input's last bytes are a script of steps
// (loads, keys, scroll positions, refills, searches, details, walks, a file cut short or given a
// long gap), the bytes before it are the file. After every step the window must still describe
// the file: at most 256 rows in file order, each starting with a syncword, each frame's length
// within the bytes left, and a walk must hand out the file's own bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "viewer/FrameRowText.h"
#include "viewer/FrameWindow.h"

namespace corvane::fuzz {
namespace {

enum class TStep : uint8_t {
  Open,
  Resize,
  Key,
  Scroll,
  Refresh,
  SearchNext,
  SearchPrevious,
  SearchBack,
  Detail,
  ShowRow,
  GoTo,
  Walk,
  Cut,
  Gap,
  Unload,
  Texts,
  Drop,
  kMaxValue = Drop  // the name FuzzedDataProvider::ConsumeEnum asks for
};

struct TScriptStep {
  TStep Step;
  uint32_t A;
  uint32_t B;
};

// Gaps make the searches read on past their first read; a gap a little longer than one read
// does that. Crossing a gap is the costliest part of a session, so gaps stay that short and few.
constexpr uint32_t MaxGap = FrameReadSize + FrameReadSize / 4;
constexpr int MaxGaps = 2;

class TSession {
 public:
  TSession(TMemoryFile& File, std::vector<uint8_t> Content) : FFile(File), FContent(std::move(Content)) {
    FFile.Set(FContent.data(), FContent.size());
  }

  void Run(const std::vector<TScriptStep>& Script, int32_t Rows, bool Yes) {
    FWindow.SetVisibleRows(Rows);
    FYes = Yes;
    Open();
    for (const TScriptStep& Step : Script) {
      Do(Step);
      CheckWindow();
    }
  }

 private:
  int64_t Size() const { return static_cast<int64_t>(FContent.size()); }
  bool SyncwordAt(int64_t Offset) const {
    return Offset >= 0 && Offset + 1 < Size() && FContent[static_cast<size_t>(Offset)] == 0x0B &&
           FContent[static_cast<size_t>(Offset) + 1] == 0x77;
  }
  // A position: mostly inside the file or just past it, sometimes anywhere.
  int64_t Position(uint32_t A) const {
    if (A >> 31) return static_cast<int64_t>(A & 0x7FFFFFFF) << (A & 31);
    return static_cast<int64_t>(A % static_cast<uint64_t>(Size() + 64));
  }
  int32_t Row(uint32_t B) const { return static_cast<int32_t>(B % static_cast<uint32_t>(MaxFrameRows + 2)) - 1; }
  TFrameWindow::TAskCallback Ask() {
    return [this](std::u16string_view) { return FYes; };
  }

  void Open() {
    if (FWindow.OpenConfirmed(FFile.Path(), Ask())) FStale = false;
  }

  void Do(const TScriptStep& Step) {
    int64_t Found = -1;
    const int64_t From = Position(Step.A);
    switch (Step.Step) {
      case TStep::Open:
        FYes = (Step.B & 1) != 0;
        Open();
        break;
      case TStep::Resize:
        FWindow.FormResize(static_cast<int32_t>(Step.B % 300));
        if (FWindow.IsOpen()) FStale = false;
        break;
      case TStep::Key: {
        constexpr std::array<int32_t, 7> Keys = {KeyPageUp, KeyPageDown, KeyEnd, KeyHome, KeyUp, KeyDown, 0x41};
        // The list reports a selected row it shows, or none.
        const int32_t Selected = static_cast<int32_t>(Step.B % static_cast<uint32_t>(FWindow.ListRowCount() + 1)) - 1;
        const TNavResult Result = FWindow.ListView1KeyDown(Keys[Step.A % Keys.size()], Selected);
        if (Result.Refilled) FStale = false;
        FUZZ_CHECK(Result.SelectedRow >= -1 && Result.SelectedRow < std::max(FWindow.ListRowCount(), 1));
        break;
      }
      case TStep::Scroll: {
        const TNavResult Result =
            FWindow.MyScrollMouseDown(static_cast<int32_t>(Step.B % (static_cast<uint32_t>(FWindow.ScrollMax()) + 20)));
        if (Result.Refilled) FStale = false;
        break;
      }
      case TStep::Refresh:
        FWindow.RefreshPosition(From);
        if (FWindow.IsOpen()) FStale = false;
        break;
      case TStep::SearchNext:
        if (FWindow.SearchNextPackPositionFromPos(Found, From)) FUZZ_CHECK(Found >= From && SyncwordAt(Found));
        break;
      case TStep::SearchPrevious:
        if (FWindow.SearchPreviousPackPositionFromPos(Found, From)) FUZZ_CHECK(Found <= From && SyncwordAt(Found));
        break;
      case TStep::SearchBack:
        if (FWindow.SearchBackPackPositionFromPos(Found, static_cast<int32_t>(Step.B % 300), From))
          FUZZ_CHECK(Found <= From && SyncwordAt(Found));
        break;
      case TStep::Detail:
        if (FWindow.UpdatePack(From)) {
          FUZZ_CHECK(FWindow.PackOffset() == From && !FWindow.Tree().Empty());
          FUZZ_CHECK(FWindow.PackLength() >= 0 && FWindow.PackLength() <= Size() - From);
        }
        break;
      case TStep::ShowRow:
        FWindow.ShowRow(Row(Step.B));
        break;
      case TStep::GoTo:
        if (FWindow.GoToOffset(From) == TGoToResult::Moved) FStale = false;
        break;
      case TStep::Walk:
        Walk(From, Step.B % 4096);
        break;
      case TStep::Cut:
        FContent.resize(static_cast<size_t>(Step.B % static_cast<uint64_t>(Size() + 1)));
        FFile.Resize(Size());
        FStale = true;
        break;
      case TStep::Gap: {
        if (FGaps++ >= MaxGaps) break;
        const auto At = static_cast<size_t>(Step.A % static_cast<uint64_t>(Size() + 1));
        FContent.insert(FContent.begin() + static_cast<std::ptrdiff_t>(At), Step.B % MaxGap, uint8_t{0});
        FFile.Set(FContent.data(), FContent.size());
        FStale = true;
        break;
      }
      case TStep::Unload:
        FWindow.UnloadFile();
        FUZZ_CHECK(!FWindow.IsOpen() && FWindow.ListRowCount() == 0 && FWindow.Caption() == DisplayName);
        break;
      case TStep::Texts: {
        FWindow.ListText(u"\n");
        FWindow.TreeText(u"\n");
        FWindow.StatusText();
        FWindow.Caption();
        FWindow.ListView1Change(Row(Step.B));
        int64_t Offset = 0;
        int64_t Length = 0;
        const int32_t Listed = Row(Step.B);
        if (FWindow.RowFrameRange(Listed, Offset, Length))
          FUZZ_CHECK(Listed >= 0 && Offset == FWindow.FrameOffset(Listed) && Length == FWindow.FrameLength(Listed));
        break;
      }
      case TStep::Drop:
        FYes = (Step.B & 1) != 0;
        FWindow.OpenDroppedFiles({FFile.Path()}, Ask());
        if (FWindow.IsOpen()) FStale = false;
        break;
    }
  }

  // The window's rows as the list shows them.
  void CheckWindow() {
    const int32_t Rows = FWindow.ListRowCount();
    FUZZ_CHECK(Rows >= 0 && Rows <= MaxFrameRows);
    FUZZ_CHECK(FWindow.AC3FramesCount() >= 0 && FWindow.AC3FramesCount() <= MaxFrameRows);
    FUZZ_CHECK(FWindow.ScrollPosition() >= 0 && FWindow.ScrollPosition() <= FWindow.ScrollMax());
    if (!FWindow.IsOpen() || FStale) return;
    FUZZ_CHECK(Rows == FWindow.AC3FramesCount());
    for (int32_t Index = 0; Index < Rows; ++Index) {
      const int64_t Offset = FWindow.FrameOffset(Index);
      const int32_t Length = FWindow.FrameLength(Index);
      FUZZ_CHECK(SyncwordAt(Offset));
      FUZZ_CHECK(Length >= 0 && Length <= Size() - Offset);
      if (Index > 0) {
        // Each row's frame starts where the one before it ends.
        FUZZ_CHECK(Offset > FWindow.FrameOffset(Index - 1));
        FUZZ_CHECK(Offset == FWindow.FrameOffset(Index - 1) + FWindow.FrameLength(Index - 1));
      }
    }
  }

  // Every frame from From to the end of the file (or Limit of them), in file order, each with
  // the file's own bytes and a length within them, one frame ending where the next starts.
  void Walk(int64_t From, uint32_t Limit) {
    if (!FWindow.IsOpen()) return;
    const TRowFormatter Formatter(FWindow.EAC3());
    char Line[TRowFormatter::MaxLineSize];
    int64_t Previous = -1;
    int64_t PreviousEnd = -1;
    uint32_t Count = 0;
    const bool Walked = FWindow.WalkFrames(From, [&](const TWalkFrame& Frame) {
      FUZZ_CHECK(Frame.Offset >= From && Frame.Offset > Previous && SyncwordAt(Frame.Offset));
      FUZZ_CHECK(Frame.Length >= 0 && Frame.Length <= Size() - Frame.Offset);
      FUZZ_CHECK(Frame.Size >= 0 && Frame.Size <= Size() - Frame.Offset);
      FUZZ_CHECK(std::memcmp(Frame.Data, FContent.data() + Frame.Offset, static_cast<size_t>(Frame.Size)) == 0);
      if (Previous >= 0 && PreviousEnd > Previous) FUZZ_CHECK(Frame.Offset == PreviousEnd);
      FUZZ_CHECK(Formatter.Format(Frame, Line) <= sizeof Line);
      Previous = Frame.Offset;
      PreviousEnd = Frame.Offset + Frame.Length;
      return ++Count < Limit;
    });
    FUZZ_CHECK(Walked);
  }

  TMemoryFile& FFile;
  std::vector<uint8_t> FContent;
  TFrameWindow FWindow;
  bool FYes = false;
  // The file changed since the window was last filled: its rows may describe bytes that are gone.
  bool FStale = true;
  int FGaps = 0;
};

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace corvane::fuzz;
  static TMemoryFile File;
  FuzzedDataProvider Input(Data, Size);
  // The script comes from the input's end, so that the file keeps the input's front.
  const auto Rows = Input.ConsumeIntegralInRange<int32_t>(0, 300);
  const bool Yes = Input.ConsumeBool();
  std::vector<TScriptStep> Script(Input.ConsumeIntegralInRange<size_t>(0, 24));
  for (TScriptStep& Step : Script) {
    Step.Step = Input.ConsumeEnum<TStep>();
    Step.A = Input.ConsumeIntegral<uint32_t>();
    Step.B = Input.ConsumeIntegral<uint32_t>();
  }
  auto Session = std::make_unique<TSession>(File, Input.ConsumeRemainingBytes<uint8_t>());
  Session->Run(Script, Rows, Yes);
  return 0;
}
