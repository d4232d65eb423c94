// Both stream tests on every committed stream, in their file and their buffer forms. AC-3 frame
// starts are recognised by the syncword and fscod alone, so the AC-3 test also takes E-AC-3
// files: only asking the E-AC-3 test first (which needs bsid 16) tells the two kinds apart.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/AC3Detect.h"
#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

struct TDetectCase {
  const char* File;
  bool IsEAC3;
  int32_t EAC3Fscod;
  bool IsAC3;
  int32_t AC3Fscod;
};

class CrossDetectTest : public testing::TestWithParam<TDetectCase> {};

TEST_P(CrossDetectTest, EachTestAnswersForBothKindsFromTheFileAndFromItsBytes) {
  const TDetectCase& Case = GetParam();
  const auto Path = test::TestDataPath(Case.File);
  int32_t Fscod = -2;
  EXPECT_EQ(IsAC3PlusES(Path, Fscod), Case.IsEAC3);
  EXPECT_EQ(Fscod, Case.EAC3Fscod);
  Fscod = -2;
  EXPECT_EQ(IsAC3ES(Path, Fscod), Case.IsAC3);
  EXPECT_EQ(Fscod, Case.AC3Fscod);

  std::vector<uint8_t> Start = test::ReadTestFile(Path);
  Start.resize(std::min<size_t>(Start.size(), StreamTestBytes));
  const int32_t Size = static_cast<int32_t>(Start.size());
  Fscod = -2;
  EXPECT_EQ(IsAC3PlusES(Start.data(), Size, Fscod), Case.IsEAC3);
  EXPECT_EQ(Fscod, Case.EAC3Fscod);
  Fscod = -2;
  EXPECT_EQ(IsAC3ES(Start.data(), Size, Fscod), Case.IsAC3);
  EXPECT_EQ(Fscod, Case.AC3Fscod);
}

INSTANTIATE_TEST_SUITE_P(RealStreams, CrossDetectTest,
                         testing::Values(TDetectCase{"ac3_48k_51.ac3", false, 0, true, 0},
                                         TDetectCase{"ac3_44k_stereo.ac3", false, 0, true, 1},
                                         TDetectCase{"ac3_32k_mono.ac3", false, 0, true, 2},
                                         TDetectCase{"eac3_crosscheck.ac3", false, 0, true, 0},
                                         TDetectCase{"eac3_stereo_48k.eac3", true, 0, true, 0},
                                         TDetectCase{"eac3_51_48k_meta.eac3", true, 0, true, 0},
                                         TDetectCase{"eac3_stereo_44k.eac3", true, 1, true, 1},
                                         TDetectCase{"eac3_mono_32k.eac3", true, 2, true, 2}),
                         [](const testing::TestParamInfo<TDetectCase>& Info) {
                           std::string Name = Info.param.File;
                           for (char& C : Name)
                             if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
                           return Name;
                         });

}  // namespace
}  // namespace corvane
