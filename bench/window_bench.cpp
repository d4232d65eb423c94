// The desktop window on the 2 GiB generated stream, driven offscreen as a user drives it: each
// step is timed from the event to the end of the window's repaint. The open is also timed on a
// 10-second stream, so the two can be compared. The stream overview: from View > Stream
// Overview to its window painted, and a repaint of its picture at the width of a full-HD screen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>

#include "BenchFiles.h"
#include "app/CorvaneForm.h"
#include "app/FrameListView.h"
#include "app/OverviewStrip.h"
#include "app/StreamOverviewWindow.h"

namespace {

using corvane::TCorvaneForm;
using corvane::bench::Files;

// A shown window with its own (temporary) settings and no update check or splash.
std::unique_ptr<TCorvaneForm> ShownForm() {
  static QTemporaryDir Settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Settings.path());
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "Halvern", "Corvane").setValue("CheckForUpdates", 0);
  auto Form = std::make_unique<TCorvaneForm>();
  Form->FExternalInit = true;
  Form->FPrompt = [](QWidget*, corvane::TFormPromptKind, const QString&) { return false; };
  Form->resize(1145, 700);
  Form->show();
  QCoreApplication::processEvents();
  return Form;
}

void PressKey(TCorvaneForm& Form, Qt::Key Key) {
  QKeyEvent Press(QEvent::KeyPress, Key, Qt::NoModifier);
  QKeyEvent Release(QEvent::KeyRelease, Key, Qt::NoModifier);
  QApplication::sendEvent(Form.ListView1, &Press);
  QApplication::sendEvent(Form.ListView1, &Release);
}

void DragThumbTo(TCorvaneForm& Form, int Position) {
  Form.ScrollBar1->setValue(Position);
  const QPointF At(4, 4);
  QMouseEvent Release(QEvent::MouseButtonRelease, At, Form.ScrollBar1->mapToGlobal(At), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(Form.ScrollBar1, &Release);
}

// Runs Step and the repaint it causes under the clock; Prepare runs off the clock before it.
void TimeSteps(benchmark::State& State, TCorvaneForm& Form, const std::function<void()>& Prepare,
               const std::function<void()>& Step) {
  for (auto _ : State) {
    if (Prepare) Prepare();
    QCoreApplication::processEvents();
    const auto Start = std::chrono::steady_clock::now();
    Step();
    Form.repaint();
    State.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
  }
}

void BM_WindowOpen(benchmark::State& State) {
  const std::filesystem::path& File = State.range(0) == 0 ? Files().TenSeconds() : Files().Listing();
  auto Form = ShownForm();
  TimeSteps(State, *Form, nullptr, [&] { Form->OpenFile(File); });
  State.SetLabel(State.range(0) == 0 ? "10 s stream" : "2 GiB stream");
}

void BM_WindowDownOnLastRow(benchmark::State& State) {
  auto Form = ShownForm();
  Form->OpenFile(Files().Listing());
  TimeSteps(
      State, *Form, [&] { Form->ListView1->SelectRow(Form->ListView1->model()->rowCount() - 1); },
      [&] { PressKey(*Form, Qt::Key_Down); });
}

void BM_WindowPageDown(benchmark::State& State) {
  auto Form = ShownForm();
  Form->OpenFile(Files().Listing());
  TimeSteps(State, *Form, nullptr, [&] { PressKey(*Form, Qt::Key_PageDown); });
}

void BM_WindowEnd(benchmark::State& State) {
  auto Form = ShownForm();
  Form->OpenFile(Files().Listing());
  TimeSteps(State, *Form, [&] { PressKey(*Form, Qt::Key_Home); }, [&] { PressKey(*Form, Qt::Key_End); });
}

void BM_WindowHome(benchmark::State& State) {
  auto Form = ShownForm();
  Form->OpenFile(Files().Listing());
  TimeSteps(State, *Form, [&] { PressKey(*Form, Qt::Key_End); }, [&] { PressKey(*Form, Qt::Key_Home); });
}

void BM_WindowThumbToMiddle(benchmark::State& State) {
  auto Form = ShownForm();
  Form->OpenFile(Files().Listing());
  TimeSteps(
      State, *Form, [&] { DragThumbTo(*Form, 0); }, [&] { DragThumbTo(*Form, Form->ScrollBar1->maximum() / 2); });
}

void BM_OverviewAppears(benchmark::State& State) {
  auto Form = ShownForm();
  Form->OpenFile(Files().Listing());
  TimeSteps(
      State, *Form, [&] { Form->OpenFile(Files().Listing()); },  // the overview of the file is gathered anew
      [&] {
        Form->StreamOverview1->trigger();
        Form->OverviewWindow()->repaint();
      });
}

void BM_OverviewRedraw(benchmark::State& State) {
  auto Form = ShownForm();
  Form->OpenFile(Files().Listing());
  Form->StreamOverview1->trigger();
  corvane::TStreamOverviewWindow& Window = *Form->OverviewWindow();
  Window.resize(1920, 600);
  QCoreApplication::processEvents();
  for (auto _ : State) {
    const auto Start = std::chrono::steady_clock::now();
    Window.Strip->repaint();
    State.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
  }
  State.counters["columns"] = static_cast<double>(Window.Strip->Columns().size());
}

#define CORVANE_WINDOW_STEP(Function) \
  BENCHMARK(Function)->UseManualTime()->Iterations(40)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond)

CORVANE_WINDOW_STEP(BM_WindowOpen)->Arg(0)->Arg(1);
CORVANE_WINDOW_STEP(BM_WindowDownOnLastRow);
CORVANE_WINDOW_STEP(BM_WindowPageDown);
CORVANE_WINDOW_STEP(BM_WindowEnd);
CORVANE_WINDOW_STEP(BM_WindowHome);
CORVANE_WINDOW_STEP(BM_WindowThumbToMiddle);
BENCHMARK(BM_OverviewAppears)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
CORVANE_WINDOW_STEP(BM_OverviewRedraw);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
