// The hex edit dialog's save sequence, without a dialog: what the user is asked and told, and
// what reaches the file, for each way through it.

#include "hex/HexEditFlow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/AC3Crc.h"
#include "core/FileStream.h"
#include "core/StringUtils.h"
#include "hex/HexTestFiles.h"

namespace corvane {
namespace {

using test::TTempFile;

constexpr int32_t FrameSize = 1536;  // the first frame of the stream below
constexpr size_t EditedByte = 100;   // in the frame's audio blocks, which both CRCs cover

std::vector<uint8_t> FirstFrame() {
  TFileStream Stream;
  EXPECT_TRUE(Stream.Open(std::filesystem::path(CORVANE_TEST_DATA_DIR) / "ac3_48k_51.ac3", TFileStream::TMode::Read));
  std::vector<uint8_t> Bytes(FrameSize);
  EXPECT_EQ(Stream.Read(Bytes.data(), FrameSize), FrameSize);
  return Bytes;
}

TEST(HexEditFlowTest, SaveAsksTellsAndWritesAsTheUserAnswers) {
  struct TCase {
    const char* Name;
    bool CanModify;
    bool Edit;
    bool Yes;
    bool Repair;
    bool ReadOnly;
    std::vector<THexEditMessage> Asked;
    bool Result;
    bool Written;
    bool CrcPasses;
  };
  using enum THexEditMessage;
  const TCase Cases[] = {
      {"not allowed to modify", false, true, true, true, false, {}, true, false, true},
      {"nothing changed", true, false, true, true, false, {Information}, true, false, true},
      {"No to the confirmation", true, true, false, true, false, {Confirm}, true, false, true},
      {"saved without the repair", true, true, true, false, false, {Confirm}, true, true, false},
      {"saved with the repair", true, true, true, true, false, {Confirm}, true, true, true},
      {"a stream that cannot write", true, true, true, true, true, {Confirm, Error}, false, false, true},
  };
  const std::vector<uint8_t> Original = FirstFrame();
  ASSERT_TRUE(CheckAC3FrameCrc(Original.data(), FrameSize).Passed());
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TTempFile File(Original, ".ac3");
    TFileStream Stream;
    ASSERT_TRUE(Stream.Open(File.Path(), Case.ReadOnly ? TFileStream::TMode::Read : TFileStream::TMode::ReadWrite));
    THexEditModel Model;
    ASSERT_TRUE(LoadHexEdit(Model, Stream, 0, FrameSize));
    EXPECT_EQ(Model.WholeFrameSize(), FrameSize);
    const uint8_t NewValue = static_cast<uint8_t>(Original[EditedByte] ^ 0x5A);
    if (Case.Edit)
      Model.SetEditText(static_cast<int32_t>(EditedByte % 16) + 1, static_cast<int32_t>(EditedByte / 16) + 1,
                        ByteToHex(NewValue));

    std::vector<THexEditMessage> Asked;
    const bool Result = SaveHexEdit(Model, Stream, Case.CanModify, Case.Repair,
                                    [&](THexEditMessage Kind, std::u16string_view Text) {
                                      Asked.push_back(Kind);
                                      if (Kind == Information) {
                                        EXPECT_EQ(Text, HexEditNoChangesText);
                                      }
                                      return Case.Yes;
                                    });
    Stream.Close();
    EXPECT_EQ(Asked, Case.Asked);
    EXPECT_EQ(Result, Case.Result);
    const std::vector<uint8_t> After = File.ReadAll();
    ASSERT_EQ(After.size(), Original.size());
    EXPECT_EQ(After[EditedByte], Case.Written ? NewValue : Original[EditedByte]);
    EXPECT_EQ(CheckAC3FrameCrc(After.data(), FrameSize).Passed(), Case.CrcPasses);
    // Nothing but the edited byte and the CRC words (bytes 2 and 3 and the last two) changes.
    for (size_t Index = 4; Index < After.size() - 2; ++Index)
      if (Index != EditedByte) {
        ASSERT_EQ(After[Index], Original[Index]) << Index;
      }
  }
}

}  // namespace
}  // namespace corvane
