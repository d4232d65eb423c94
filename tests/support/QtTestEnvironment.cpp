// One QApplication for every widget test of this program, created when the tests run (not when
// they are only listed), on the offscreen platform unless the caller chose another.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class TQtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int Argc = 1;
    static char Name[] = "corvane_gui_tests";
    static char* Argv[] = {Name, nullptr};
    FApplication = std::make_unique<QApplication>(Argc, Argv);
  }
  void TearDown() override { FApplication.reset(); }

 private:
  std::unique_ptr<QApplication> FApplication;
};

[[maybe_unused]] testing::Environment* const Registered = testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
