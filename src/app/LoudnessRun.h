#pragma once
// Tools > Measure Loudness: the open file's loudness measured on a worker thread behind a
// progress dialog that can cancel it. Its short-term loudness goes into the stream overview while
// it is measured, so that an open overview fills as the measurement goes on.

#include <QString>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "viewer/StreamOverview.h"

class QProgressDialog;
class QWidget;

namespace corvane {

struct TLoudnessOutcome {
  TCheckEnd End = TCheckEnd::Failed;
  std::string Error;                  // why it failed
  std::vector<std::u16string> Lines;  // the loudness and the verdict, for the check report
  QString Status;                     // the same in one line, for the status bar
};

// Measures File (of the given kind), whose overview Overview holds, over Parent. Changed is told
// whenever short-term loudness went into Overview; Started of the progress dialog once it is up.
// A measurement that does not complete leaves no loudness in Overview.
TLoudnessOutcome MeasureLoudnessBehindProgress(QWidget* Parent, const std::filesystem::path& File, bool EAC3,
                                               TStreamOverview& Overview, const std::function<void()>& Changed,
                                               const std::function<void(QProgressDialog* Dialog)>& Started);

}  // namespace corvane
