// Both detectors on both kinds of real stream. AC-3 frame starts are recognised by the syncword
// and fscod alone, so the AC-3 test also takes E-AC-3 files: only asking the E-AC-3 test first
// (which needs bsid 16) tells the two kinds apart.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"

namespace corvane {
namespace {

struct TDetectCase {
  const char* File;
  bool IsEAC3;
  bool IsAC3;
  int32_t Fscod;
};

class CrossDetectTest : public testing::TestWithParam<TDetectCase> {};

TEST_P(CrossDetectTest, EachDetectorAnswersForBothKinds) {
  const TDetectCase& Case = GetParam();
  const auto Path = std::filesystem::path(CORVANE_TEST_DATA_DIR) / Case.File;
  int32_t PlusFscod = -2;
  int32_t AC3Fscod = -2;
  EXPECT_EQ(IsAC3PlusES(Path, PlusFscod), Case.IsEAC3);
  EXPECT_EQ(IsAC3ES(Path, AC3Fscod), Case.IsAC3);
  EXPECT_EQ(Case.IsEAC3 ? PlusFscod : AC3Fscod, Case.Fscod);
}

INSTANTIATE_TEST_SUITE_P(RealStreams, CrossDetectTest,
                         testing::Values(TDetectCase{"ac3_48k_51.ac3", false, true, 0},
                                         TDetectCase{"ac3_44k_stereo.ac3", false, true, 1},
                                         TDetectCase{"ac3_32k_mono.ac3", false, true, 2},
                                         TDetectCase{"eac3_crosscheck.ac3", false, true, 0},
                                         TDetectCase{"eac3_stereo_48k.eac3", true, true, 0},
                                         TDetectCase{"eac3_51_48k_meta.eac3", true, true, 0},
                                         TDetectCase{"eac3_stereo_44k.eac3", true, true, 1},
                                         TDetectCase{"eac3_mono_32k.eac3", true, true, 2}),
                         [](const testing::TestParamInfo<TDetectCase>& Info) {
                           std::string Name = Info.param.File;
                           for (char& C : Name)
                             if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
                           return Name;
                         });

}  // namespace
}  // namespace corvane
