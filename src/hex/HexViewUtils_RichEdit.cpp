#include "hex/HexViewUtils_RichEdit.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/FileStream.h"
#include "core/ODSUtls.h"

namespace corvane {
namespace {

// The view that currently handles a control's events is recorded on the control, so that a
// new view attached to the same control replaces the old one's handlers instead of adding to them.
constexpr const char* HandlerProperty = "corvaneHexViewHandler";

QObject* RecordedHandler(const QObject* Control) { return Control->property(HandlerProperty).value<QObject*>(); }

// The faces to try, best first: "Courier New" is asked for by name, so that the font matcher's
// alias (a metric twin on many Linux systems) counts as it.
std::vector<QFont> CandidateFonts() {
  std::vector<QFont> Fonts;
  Fonts.emplace_back(QStringLiteral("Courier New"));
  Fonts.push_back(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  for (const char* Family : {"DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Noto Sans Mono"})
    Fonts.emplace_back(QString::fromLatin1(Family));
  for (const QString& Family : QFontDatabase::families())
    if (QFontDatabase::isFixedPitch(Family)) Fonts.emplace_back(Family);
  return Fonts;
}

const QFont& DumpFace() {
  static const QFont Chosen = [] {
    const std::vector<QFont> Fonts = CandidateFonts();
    for (const QFont& Font : Fonts)
      if (HasOneAdvance(Font)) return Font;
    return Fonts.front();
  }();
  return Chosen;
}

}  // namespace

bool HasOneAdvance(const QFont& Font) {
  const QFontMetricsF Metrics(Font);
  const qreal Advance = Metrics.horizontalAdvance(QLatin1Char('0'));
  if (Advance <= 0) return false;
  for (const char16_t Char : HexDumpCharacters()) {
    const QChar Shown(Char);
    // A character the face lacks is drawn from another face, with that one's advance.
    if (!Metrics.inFont(Shown) || std::abs(Metrics.horizontalAdvance(Shown) - Advance) > 0.01) return false;
  }
  return true;
}

QFont HexDumpFont(int PointSize) {
  QFont Font = DumpFace();
  Font.setPointSize(PointSize);
  return Font;
}

namespace {

QColor ToQColor(THexColour Shade) { return QColor(Shade.Red, Shade.Green, Shade.Blue); }

QTextCharFormat HighlightFormat() {
  QTextCharFormat Format;
  Format.setForeground(ToQColor(HexHighlightText));
  Format.setFontWeight(QFont::Bold);
  Format.setBackground(ToQColor(HexHighlightBack));
  return Format;
}

// A field inside the highlighted frame: the same text on a stronger yellow.
QTextCharFormat FieldHighlightFormat() {
  QTextCharFormat Format = HighlightFormat();
  Format.setBackground(ToQColor(HexFieldBack));
  return Format;
}

std::optional<THexViewStep> KeyStep(int Key) {
  switch (Key) {
    case Qt::Key_Up:
      return THexViewStep::LineUp;
    case Qt::Key_Down:
      return THexViewStep::LineDown;
    case Qt::Key_PageUp:
      return THexViewStep::PageUp;
    case Qt::Key_PageDown:
      return THexViewStep::PageDown;
    case Qt::Key_Home:
      return THexViewStep::Home;
    case Qt::Key_End:
      return THexViewStep::End;
    default:
      return std::nullopt;
  }
}

std::optional<THexScrollCode> SliderActionCode(int Action) {
  switch (Action) {
    case QAbstractSlider::SliderSingleStepSub:
      return THexScrollCode::LineUp;
    case QAbstractSlider::SliderSingleStepAdd:
      return THexScrollCode::LineDown;
    case QAbstractSlider::SliderPageStepSub:
      return THexScrollCode::PageUp;
    case QAbstractSlider::SliderPageStepAdd:
      return THexScrollCode::PageDown;
    case QAbstractSlider::SliderToMinimum:
      return THexScrollCode::Top;
    case QAbstractSlider::SliderToMaximum:
      return THexScrollCode::Bottom;
    case QAbstractSlider::SliderMove:
      return THexScrollCode::Track;
    default:
      return std::nullopt;
  }
}

// Keeps the control from repainting between clearing and the last highlight, on every path.
class TBulkUpdate {
 public:
  explicit TBulkUpdate(QWidget* Control) : FControl(Control), FWasEnabled(Control->updatesEnabled()) {
    FControl->setUpdatesEnabled(false);
  }
  ~TBulkUpdate() { FControl->setUpdatesEnabled(FWasEnabled); }
  TBulkUpdate(const TBulkUpdate&) = delete;
  TBulkUpdate& operator=(const TBulkUpdate&) = delete;

 private:
  QWidget* FControl;
  bool FWasEnabled;
};

}  // namespace

THexView::THexView() = default;

THexView::~THexView() {
  try {
    CloseFile();
    ReleaseControls();
  } catch (...) {
    ReportCallFailure(u"THexView.Destroy");
  }
}

void THexView::ReleaseControls() {
  if (FRichEdit && RecordedHandler(FRichEdit) == this) {
    FRichEdit->removeEventFilter(this);
    FRichEdit->setProperty(HandlerProperty, QVariant());
  }
  if (FScrollBar && RecordedHandler(FScrollBar) == this) {
    disconnect(FScrollBar, nullptr, this, nullptr);
    FScrollBar->setProperty(HandlerProperty, QVariant());
  }
}

THResult THexView::Init(QPlainTextEdit* RichEdit, QScrollBar* ScrollBar) {
  try {
    if (!RichEdit || !ScrollBar) {
      ReportCallFailure(u"THexView.Init");
      return HR_E_FAIL;
    }
    ReleaseControls();

    if (QObject* Previous = RecordedHandler(RichEdit)) RichEdit->removeEventFilter(Previous);
    FRichEdit = RichEdit;
    FRichEdit->installEventFilter(this);
    FRichEdit->setProperty(HandlerProperty, QVariant::fromValue<QObject*>(this));
    FRichEdit->setReadOnly(true);
    FRichEdit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    FRichEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    FRichEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FRichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FRichEdit->document()->setUndoRedoEnabled(false);
    FRichEdit->setFont(HexDumpFont(10));

    if (QObject* Previous = RecordedHandler(ScrollBar)) disconnect(ScrollBar, nullptr, Previous, nullptr);
    FScrollBar = ScrollBar;
    FScrollBar->setProperty(HandlerProperty, QVariant::fromValue<QObject*>(this));
    FScrollBar->setPageStep(1);
    FScrollBar->setSingleStep(1);
    FScrollBar->setRange(0, HexViewScrollMax);
    FScrollBar->setValue(0);
    connect(FScrollBar, &QAbstractSlider::actionTriggered, this, &THexView::ScrollBarActionTriggered);
    return HR_S_OK;
  } catch (...) {
    ReportCallFailure(u"THexView.Init");
    return HR_E_FAIL;
  }
}

THResult THexView::OpenFile(const std::filesystem::path& FileName) {
  try {
    CloseFile();
    if (!FModel.Open(FileName)) {
      ReportCallFailure(u"THexView.OpenFile");
      return HR_E_FAIL;
    }
    if (FModel.IsOpen()) RefreshFileData(0);
    return HR_S_OK;
  } catch (...) {
    ReportCallFailure(u"THexView.OpenFile");
    return HR_E_FAIL;
  }
}

THResult THexView::CloseFile() {
  try {
    FModel.Close();
    if (FRichEdit) FRichEdit->clear();
    return HR_S_OK;
  } catch (...) {
    ReportCallFailure(u"THexView.CloseFile");
    return HR_E_FAIL;
  }
}

int32_t THexView::ClientHeight() const { return FRichEdit ? FRichEdit->viewport()->height() : 0; }

void THexView::RefreshFileData(int64_t Offset) {
  try {
    if (!FModel.IsOpen()) return;
    if (!FRichEdit) {
      ReportCallFailure(u"THexView.RefreshFileData");
      return;
    }
    const std::optional<THexPaneText> Pane = FModel.Refresh(Offset, ClientHeight(), u'\n');
    if (!Pane) return;
    Draw(*Pane);
    if (!FBusy && FScrollBar) {
      FBusy = true;
      try {
        FScrollBar->setValue(Pane->Thumb);
      } catch (...) {
        FBusy = false;
        throw;
      }
      FBusy = false;
    }
  } catch (...) {
    ReportCallFailure(u"THexView.RefreshFileData");
  }
}

void THexView::Draw(const THexPaneText& Pane) {
  TBulkUpdate Bulk(FRichEdit);
  FRichEdit->setPlainText(QString::fromUtf16(Pane.Text.data(), static_cast<qsizetype>(Pane.Text.size())));
  if (Pane.Frame.empty() && Pane.Field.empty()) return;

  QTextCursor Cursor(FRichEdit->document());
  Cursor.beginEditBlock();
  const auto Mark = [&](const std::vector<THexCharRange>& Runs, const QTextCharFormat& Format) {
    for (const THexCharRange& Run : Runs) {
      Cursor.setPosition(static_cast<int>(Run.Start));
      Cursor.setPosition(static_cast<int>(Run.Start + Run.Length), QTextCursor::KeepAnchor);
      Cursor.mergeCharFormat(Format);
    }
  };
  Mark(Pane.Frame, HighlightFormat());
  Mark(Pane.Field, FieldHighlightFormat());
  Cursor.endEditBlock();
}

void THexView::SetSelection(int64_t StartOffset, int64_t Length) {
  FModel.SetSelection(StartOffset, Length);
  RefreshFileData(-1);
}

void THexView::ClearSelection() { SetSelection(0, 0); }

void THexView::SetFieldSelection(int64_t StartOffset, int64_t Length, bool Redraw) {
  FModel.SetFieldSelection(StartOffset, Length);
  if (Redraw) RefreshFileData(-1);
}

int32_t THexView::GoStep(THexViewStep Step, const char16_t* Name) {
  int32_t Position = 0;
  try {
    const int64_t FileSize = FModel.FileSize();
    // No file, or an empty one, has no position to go to (and no size to divide by).
    if (FileSize <= 0) return 0;
    const int64_t Target = FModel.StepTarget(Step, ClientHeight());
    RefreshFileData(Target);
    Position = HexViewThumbPosition(Target, FileSize);
    if (FRichEdit) FRichEdit->setFocus();
  } catch (...) {
    ReportCallFailure(u"THexView." + std::u16string(Name));
  }
  return Position;
}

int32_t THexView::GoOneLineUp() { return GoStep(THexViewStep::LineUp, u"GoOneLineUp"); }
int32_t THexView::GoOneLineDown() { return GoStep(THexViewStep::LineDown, u"GoOneLineDown"); }
int32_t THexView::GoOnePageUp() { return GoStep(THexViewStep::PageUp, u"GoOnePageUp"); }
int32_t THexView::GoOnePageDown() { return GoStep(THexViewStep::PageDown, u"GoOnePageDown"); }
int32_t THexView::GoHome() { return GoStep(THexViewStep::Home, u"GoHome"); }

void THexView::CustomScrollEvent(THexScrollCode ScrollCode, int32_t& ScrollPos) {
  try {
    if (!FModel.IsOpen() || FBusy) return;
    switch (ScrollCode) {
      case THexScrollCode::LineUp:
        ScrollPos = GoOneLineUp();
        break;
      case THexScrollCode::LineDown:
        ScrollPos = GoOneLineDown();
        break;
      case THexScrollCode::PageUp:
        ScrollPos = GoOnePageUp();
        break;
      case THexScrollCode::PageDown:
        ScrollPos = GoOnePageDown();
        break;
      case THexScrollCode::Top:
        ScrollPos = GoHome();
        break;
      case THexScrollCode::Track: {
        const int64_t Target = FModel.TrackTarget(ScrollPos);
        // The thumb stays where the user drags it.
        FBusy = true;
        try {
          RefreshFileData(Target);
        } catch (...) {
          FBusy = false;
          throw;
        }
        FBusy = false;
        if (FRichEdit) FRichEdit->setFocus();
        break;
      }
      case THexScrollCode::Bottom:
      case THexScrollCode::ThumbPosition:
      case THexScrollCode::EndScroll:
        break;
    }
  } catch (...) {
    ReportCallFailure(u"THexView.CustomScrollEvent");
  }
}

void THexView::ScrollBarActionTriggered(int Action) {
  if (FSettingThumb || !FScrollBar) return;
  const auto Code = SliderActionCode(Action);
  if (!Code) return;
  int32_t Position = FScrollBar->sliderPosition();
  CustomScrollEvent(*Code, Position);
  if (*Code == THexScrollCode::Track || Position == FScrollBar->sliderPosition()) return;
  // Replaces the position the slider's own step would take; moving it re-enters as a drag,
  // which must not be taken for one.
  FSettingThumb = true;
  FScrollBar->setSliderPosition(Position);
  FSettingThumb = false;
}

void THexView::FRichEditKeyDown(int Key, Qt::KeyboardModifiers Shift) {
  try {
    // With Shift the keys extend the control's own text selection.
    if (!FModel.IsOpen() || (Shift & Qt::ShiftModifier)) return;
    const auto Step = KeyStep(Key);
    if (!Step) return;
    RefreshFileData(FModel.StepTarget(*Step, ClientHeight()));
  } catch (...) {
    ReportCallFailure(u"THexView.FRichEditKeyDown");
  }
}

bool THexView::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched != FRichEdit || Event->type() != QEvent::KeyPress || FForwardingKey) return false;
  auto* Key = static_cast<QKeyEvent*>(Event);
  if (!FModel.IsOpen() || (Key->modifiers() & Qt::ShiftModifier) || !KeyStep(Key->key())) return false;
  FRichEditKeyDown(Key->key(), Key->modifiers());
  // The control still moves its caret, but its content must not scroll away from the first
  // line: the dump always starts at the top of the pane, and the pane has no scroll bar of its own.
  FForwardingKey = true;
  QCoreApplication::sendEvent(FRichEdit, Event);
  FForwardingKey = false;
  FRichEdit->verticalScrollBar()->setValue(0);
  return true;
}

}  // namespace corvane
