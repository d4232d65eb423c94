#pragma once
// The Stream Overview window (View > Stream Overview): the whole open file on its time axis
// (TOverviewStrip), under a line with the stream's kind, duration, problems and changes and,
// once the loudness was measured, the verdict on dialnorm. It keeps the overview's data, which
// Collect gathers from the file in one walk behind a progress dialog; Tools > Measure Loudness
// adds the short-term loudness to it. A click in the picture hands a frame's offset to
// OnActivated, with which the main window moves its frame list there.

#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "viewer/StreamOverview.h"

class QLabel;
class QProgressDialog;

namespace corvane {

class TOverviewStrip;

class TStreamOverviewWindow : public QWidget {
  Q_OBJECT

 public:
  TStreamOverviewWindow();

  // Gathers the overview of File (of the given kind) behind a progress dialog over Parent,
  // unless the window holds File's already. Error says why it failed.
  TCheckEnd Collect(QWidget* Parent, const std::filesystem::path& File, bool EAC3, std::string& Error);
  // Whether the window holds the overview of File.
  bool Holds(const std::filesystem::path& File) const { return FHeld.Holds(File); }
  // Forgets the data (its file was closed, or changed).
  void Clear();

  TStreamOverview& Overview() { return FHeld.Overview; }
  // After the overview's loudness changed.
  void Refresh();
  // The loudness verdict shown above the picture; empty for none.
  void SetVerdict(const QString& Text);

  TOverviewStrip* Strip = nullptr;
  QLabel* lbHead = nullptr;
  QLabel* lbVerdict = nullptr;
  std::function<void(int64_t Offset)> OnActivated;
  // Told of the progress dialog once it is up (tests).
  std::function<void(QProgressDialog* Dialog)> FStarted;

 private:
  THeldOverview FHeld;
};

}  // namespace corvane
