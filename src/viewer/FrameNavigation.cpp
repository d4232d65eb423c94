// Moving the frame window through the file: every step picks a search start from the frames in
// view, finds a frame start with one of the three searches, refills the window from it and puts
// the scroll bar's thumb at the new start div 100.

#include <algorithm>

#include "core/ODSUtls.h"
#include "viewer/FrameWindow.h"

namespace corvane {
namespace {

// A step that must find the frame start after a known one searches from this many bytes past
// it, beyond its syncword and the two bytes of crc1; a step that must find one before it
// searches from this many bytes before it.
constexpr int64_t PastFrameStart = 4;

// Where the list's own key handling leaves the selection once the window has moved.
int32_t ListSelectionAfterKey(int32_t Key, int32_t Selected, int32_t Rows) {
  if (Rows <= 0) return -1;
  switch (Key) {
    case KeyUp:
      Selected -= 1;
      break;
    case KeyDown:
      Selected += 1;
      break;
    case KeyPageUp:
    case KeyHome:
      Selected = 0;
      break;
    case KeyPageDown:
    case KeyEnd:
      Selected = Rows - 1;
      break;
    default:
      break;
  }
  return std::clamp(Selected, 0, Rows - 1);
}

}  // namespace

void TFrameWindow::PlaceThumb(int64_t Position) {
  // The bar holds only positions within its range; FScrollLastPosition keeps what the bar holds,
  // so that the next mouse step is measured from there.
  FScrollPosition = static_cast<int32_t>(std::clamp<int64_t>(Position / ScrollBytesPerStep, 0, FScrollMax));
  FScrollLastPosition = FScrollPosition;
}

TNavResult TFrameWindow::ListView1KeyDown(int32_t Key, int32_t SelectedRow) {
  TNavResult Result;
  Result.SelectedRow = SelectedRow;
  if (SelectedRow < 0) return Result;
  bool OtherKey = false;
  GuardedCall(u"TForm1.ListView1KeyDown", [&] {
    int64_t Found = 0;
    switch (Key) {
      case KeyUp: {
        if (SelectedRow != 0) break;
        const int64_t From = std::max<int64_t>(FirstOffset() - PastFrameStart, 0);
        if (From != 0 && SearchPreviousPackPositionFromPos(Found, From)) {
          FlipShading();
          RefreshPosition(Found);
          PlaceThumb(Found);
          Result.Refilled = true;
        }
        break;
      }
      case KeyDown: {
        const bool LastRow = SelectedRow >= FListRowCount - 1;
        if (!LastRow || EndInView() || ListView1Data(SelectedRow)[0].empty()) break;
        const int64_t From = FAC3FramesCount > 0 ? FirstOffset() + PastFrameStart : 0;
        if (SearchNextPackPositionFromPos(Found, From)) {
          // A start right at the search start is the first frame's successor only in name: the
          // window stays on the first frame.
          RefreshPosition(Found == From ? std::max<int64_t>(Found - PastFrameStart, 0) : Found);
          FlipShading();
          PlaceThumb(Found);
          Result.Refilled = true;
        }
        break;
      }
      case KeyPageUp: {
        const int64_t From = std::max<int64_t>(FirstOffset() - PastFrameStart, 0);
        if (From != 0 && SearchBackPackPositionFromPos(Found, FRowsCount, From)) {
          RefreshPosition(Found);
          PlaceThumb(Found);
          Result.Refilled = true;
        }
        break;
      }
      case KeyPageDown: {
        if (EndInView()) {
          FScrollPosition = FScrollLastPosition;
          break;
        }
        const int64_t From = FAC3FramesCount > 0 ? LastOffset() + PastFrameStart : 0;
        if (SearchNextPackPositionFromPos(Found, From)) {
          RefreshPosition(Found == From ? std::max<int64_t>(Found - PastFrameStart, 0) : Found);
          PlaceThumb(Found);
          Result.Refilled = true;
        }
        break;
      }
      case KeyHome: {
        FScrollPosition = 0;
        if (SearchNextPackPositionFromPos(Found, 0)) {
          RefreshPosition(Found);
          PlaceThumb(Found);
          Result.Refilled = true;
        }
        break;
      }
      case KeyEnd: {
        FScrollPosition = FScrollMax;
        // The last position with room for a syncword and crc1.
        const int64_t From = std::max<int64_t>(FileSize() - PastFrameStart, 0);
        if (SearchBackPackPositionFromPos(Found, FRowsCount, From)) {
          RefreshPosition(Found);
          PlaceThumb(Found);
          Result.Refilled = true;
        }
        break;
      }
      default:
        OtherKey = true;
        break;
    }
  });
  if (!OtherKey) Result.SelectedRow = ListSelectionAfterKey(Key, SelectedRow, FListRowCount);
  return Result;
}

int64_t TFrameWindow::ThumbTarget(int64_t Wanted) {
  int64_t Found = 0;
  if (SearchNextPackPositionFromPos(Found, Wanted)) return Found;
  if (SearchPreviousPackPositionFromPos(Found, Wanted)) return Found;
  return Wanted;
}

void TFrameWindow::PlaceWindowAt(int64_t Wanted) {
  const int64_t Target = ThumbTarget(Wanted);
  RefreshPosition(Target);
  FCurrentPosition = Target;
  PlaceThumb(Target);
}

TNavResult TFrameWindow::MyScrollMouseDown(int32_t ScrollPosition) {
  // The click leaves no row selected; the detail panes keep the frame shown before.
  TNavResult Result;
  GuardedCall(u"TForm1.MyScrollMouseDown", [&] {
    FScrollPosition = std::clamp(ScrollPosition, 0, FScrollMax);
    const int64_t Step = static_cast<int64_t>(FScrollLastPosition) - FScrollPosition;
    int64_t Found = 0;
    int64_t Target = 0;
    if (Step == 1) {  // up arrow
      Target = std::max<int64_t>(FirstOffset() - PastFrameStart, 0);
      if (SearchPreviousPackPositionFromPos(Found, Target)) Target = Found;
      RefreshPosition(Target);
      FlipShading();
      PlaceThumb(Target);
      Result.Refilled = true;
    } else if (Step == -1) {  // down arrow
      if (!EndInView()) {
        Target = FirstOffset() + PastFrameStart;
        if (SearchNextPackPositionFromPos(Found, Target)) Target = Found;
        RefreshPosition(Target);
        FlipShading();
        PlaceThumb(Target);
        Result.Refilled = true;
      } else {
        FScrollPosition = FScrollLastPosition;
      }
    } else if (Step == ScrollPageStep) {  // page area above the thumb
      // Record 0 is read even when the window is empty: it keeps the last frame a refill wrote.
      Target = std::max<int64_t>(FrameOffset(0) - PastFrameStart, 0);
      if (SearchBackPackPositionFromPos(Found, FRowsCount, Target)) Target = Found;
      RefreshPosition(Target);
      PlaceThumb(Target);
      Result.Refilled = true;
    } else if (Step == -ScrollPageStep) {  // page area below the thumb
      if (!EndInView()) {
        Target = LastOffset() + PastFrameStart;
        if (SearchNextPackPositionFromPos(Found, Target)) Target = Found;
        RefreshPosition(Target);
        PlaceThumb(Target);
        Result.Refilled = true;
      } else {
        FScrollPosition = FScrollLastPosition;
      }
    } else {  // the thumb was placed
      FScrollLastPosition = FScrollPosition;
      PlaceWindowAt(static_cast<int64_t>(FScrollPosition) * ScrollBytesPerStep);
      Result.Refilled = true;
    }
  });
  return Result;
}

bool TFrameWindow::TrackThumb(int32_t ScrollPosition) {
  return GuardedCall(u"TForm1.ScrollBar1Track", [&] {
    RefreshPosition(ThumbTarget(int64_t{std::clamp(ScrollPosition, 0, FScrollMax)} * ScrollBytesPerStep));
    return true;
  });
}

int32_t TFrameWindow::WheelToKey(int32_t WheelDelta, bool CtrlDown) {
  if (WheelDelta > 0) return CtrlDown ? KeyPageUp : KeyUp;
  return CtrlDown ? KeyPageDown : KeyDown;
}

}  // namespace corvane
