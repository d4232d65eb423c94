#include "hex/HexViewModel.h"

#include <algorithm>

#include "core/FileStream.h"
#include "core/ODSUtls.h"

namespace corvane {

THexViewModel::THexViewModel() = default;
THexViewModel::~THexViewModel() = default;

bool THexViewModel::Open(const std::filesystem::path& FileName) {
  Close();
  if (!FileExists(FileName)) return true;
  auto Stream = std::make_unique<TFileStream>();
  if (!Stream->Open(FileName, TFileStream::TMode::Read)) return false;
  FFileStream = std::move(Stream);
  FLastRefreshOffset = -1;
  return true;
}

void THexViewModel::Close() { FFileStream.reset(); }

int64_t THexViewModel::FileSize() const { return FFileStream ? FFileStream->Size() : -1; }

std::optional<THexPaneText> THexViewModel::Refresh(int64_t Offset, int32_t ClientHeight, char16_t LineBreak) {
  if (!FFileStream) return std::nullopt;
  const int64_t Size = FFileStream->Size();
  if (Size < 0) {
    ReportCallFailure(u"THexView.RefreshFileData");
    return std::nullopt;
  }
  if (Offset >= Size || Offset == FLastRefreshOffset) return std::nullopt;
  if (Offset < 0) Offset = FLastRefreshOffset;
  if (Offset < 0) return std::nullopt;  // nothing shown yet to redraw

  const int32_t Lines = HexViewVisibleLines(ClientHeight);
  const int64_t AlignedStart = HexViewAlignedStart(Offset);
  std::vector<uint8_t> Buffer(static_cast<size_t>(Lines) * HexViewBytesPerLine, 0);
  const int32_t Read = FFileStream->ReadAt(AlignedStart, Buffer.data(), static_cast<int32_t>(Buffer.size()));
  if (Read < 0) {
    ReportCallFailure(u"THexView.RefreshFileData");
    return std::nullopt;
  }

  std::vector<std::u16string> Parts;
  MemToStrLines2(Buffer.data(), Read, &Parts);
  THexPaneText Pane;
  Pane.Text.reserve(Parts.size() * HexViewLinePitch);
  for (size_t Line = 0; Line < Parts.size(); ++Line) {
    if (Line > 0) Pane.Text += LineBreak;
    Pane.Text += HexViewLinePrefix(AlignedStart + int64_t{HexViewBytesPerLine} * static_cast<int64_t>(Line));
    Pane.Text += Parts[Line];
  }
  // A range may run past the bytes of a short last line: it ends with the text.
  const auto TextSize = static_cast<int64_t>(Pane.Text.size());
  const auto Mark = [&](int64_t Start, int64_t Length, std::vector<THexCharRange>& Runs) {
    for (int32_t Line = 0; Line < static_cast<int32_t>(Parts.size()); ++Line) {
      const auto Highlight =
          HexViewLineHighlight(Line, AlignedStart + int64_t{HexViewBytesPerLine} * Line, Start, Length);
      if (!Highlight) continue;
      for (const THexCharRange& Run : {Highlight->Hex, Highlight->Text}) {
        const int64_t End = std::min(Run.Start + Run.Length, TextSize);
        if (End > Run.Start) Runs.push_back({Run.Start, End - Run.Start});
      }
    }
  };
  Mark(FSelectionStart, FSelectionLength, Pane.Frame);
  Mark(FFieldStart, FFieldLength, Pane.Field);
  FLastRefreshOffset = Offset;
  Pane.Thumb = HexViewThumbPosition(Offset, Size);
  return Pane;
}

int64_t THexViewModel::StepTarget(THexViewStep Step, int32_t ClientHeight) const {
  return HexViewStepTarget(Step, FLastRefreshOffset, std::max<int64_t>(FileSize(), 0), ClientHeight);
}

int64_t THexViewModel::TrackTarget(int32_t ThumbPosition) const {
  return HexViewTrackTarget(ThumbPosition, std::max<int64_t>(FileSize(), 0));
}

void THexViewModel::SetSelection(int64_t Start, int64_t Length) {
  FSelectionStart = Start;
  FSelectionLength = Length;
}

void THexViewModel::SetFieldSelection(int64_t Start, int64_t Length) {
  FFieldStart = Start;
  FFieldLength = Length;
}

}  // namespace corvane
