// The dialnorm rewrite: every rewritten frame passes its CRCs and differs from the original in
// its dialnorm bits and CRC words only, damaged and incomplete frames stay as they were, and a
// write that fails part-way leaves every frame either rewritten or as it was.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "analysis/AC3Crc.h"
#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "core/FileStream.h"
#include "support/AC3PlusComposer.h"
#include "viewer/DialnormRewrite.h"
#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

using test::AppendBytes;
using test::TBytes;

// A fresh folder in the temporary directory, removed with everything in it.
class TTempFolder {
 public:
  TTempFolder()
      : FPath(std::filesystem::temp_directory_path() / ("corvane_dialnorm_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(FPath);
  }
  ~TTempFolder() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
  }
  const std::filesystem::path& Path() const { return FPath; }
  size_t Entries() const {
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(FPath), std::filesystem::directory_iterator()));
  }

 private:
  std::filesystem::path FPath;
};

int32_t CodedSize(const uint8_t* Frame, bool EAC3) {
  return EAC3 ? AC3PlusCodedFrameSize(Frame) : AC3CodedFrameSize(Frame);
}

TFrameCrc CheckCrc(const uint8_t* Frame, int32_t Size, bool EAC3) {
  return EAC3 ? CheckAC3PlusFrameCrc(Frame, Size) : CheckAC3FrameCrc(Frame, Size);
}

// Bits of the frame that a rewrite to N may change: the dialnorm fields the header carries and
// the CRC words. Also checks what the header's dialnorm fields hold now.
template <typename TFrame>
std::set<int32_t> DialnormBits(const uint8_t* Frame, int32_t Size, uint8_t Dialnorm, uint8_t Dialnorm2,
                               bool (*Parse)(const uint8_t*, int32_t, TFrame&), std::vector<uint32_t>& Values) {
  auto Decoded = std::make_unique<TFrame>();
  Parse(Frame, Size, *Decoded);
  std::set<int32_t> Bits;
  for (const TFieldPosition& Field : Decoded->Layout.Decoded()) {
    if (Field.Field != Dialnorm && Field.Field != Dialnorm2) continue;
    Values.push_back(Field.Value);
    for (int32_t Bit = 0; Bit < 5; ++Bit) Bits.insert(Field.BitOffset + Bit);
  }
  return Bits;
}

std::set<int32_t> ChangeableBits(const uint8_t* Frame, int32_t Size, bool EAC3, std::vector<uint32_t>& Values) {
  std::set<int32_t> Bits =
      EAC3 ? DialnormBits<TAC3PlusFrame>(Frame, Size, static_cast<uint8_t>(TAC3PlusFieldId::dialnorm),
                                         static_cast<uint8_t>(TAC3PlusFieldId::dialnorm2), parse_ac3_plus_frame, Values)
           : DialnormBits<TAC3Frame>(Frame, Size, static_cast<uint8_t>(TAC3FieldId::dialnorm),
                                     static_cast<uint8_t>(TAC3FieldId::dialnorm2), parse_ac3_frame, Values);
  for (int32_t Bit = (Size - 2) * 8; Bit < Size * 8; ++Bit) Bits.insert(Bit);
  if (!EAC3)
    for (int32_t Bit = 16; Bit < 32; ++Bit) Bits.insert(Bit);
  return Bits;
}

// Compares the stream after a rewrite to N with the one before, frame by frame and bit by bit:
// the frames at Untouched (and bytes after the last whole frame) are unchanged, every other frame
// carries N, passes its CRCs and differs in its changeable bits only.
void ExpectRewritten(const TBytes& Before, const TBytes& After, bool EAC3, uint32_t N,
                     const std::set<size_t>& Untouched) {
  ASSERT_EQ(Before.size(), After.size());
  size_t At = 0;
  for (size_t Index = 0; At + 6 <= Before.size(); ++Index) {
    const int32_t Size = CodedSize(Before.data() + At, EAC3);
    if (At + static_cast<size_t>(Size) > Before.size()) break;
    const uint8_t* Old = Before.data() + At;
    const uint8_t* New = After.data() + At;
    if (Untouched.count(Index)) {
      EXPECT_TRUE(std::equal(Old, Old + Size, New)) << "frame " << Index << " was changed";
    } else {
      EXPECT_TRUE(CheckCrc(New, Size, EAC3).Passed()) << "frame " << Index;
      std::vector<uint32_t> OldValues;
      std::vector<uint32_t> NewValues;
      const std::set<int32_t> Allowed = ChangeableBits(Old, Size, EAC3, OldValues);
      ChangeableBits(New, Size, EAC3, NewValues);
      EXPECT_EQ(NewValues, std::vector<uint32_t>(OldValues.size(), N)) << "frame " << Index;
      for (int32_t Bit = 0; Bit < Size * 8; ++Bit) {
        const bool Differs = ((Old[Bit / 8] ^ New[Bit / 8]) >> (7 - Bit % 8)) & 1;
        if (Differs && !Allowed.count(Bit)) {
          ADD_FAILURE() << "frame " << Index << " bit " << Bit << " changed";
          return;
        }
      }
    }
    At += static_cast<size_t>(Size);
  }
  EXPECT_TRUE(std::equal(Before.begin() + static_cast<std::ptrdiff_t>(At), Before.end(),
                         After.begin() + static_cast<std::ptrdiff_t>(At)));
}

TBytes WithCrcs(TBytes Frame, bool EAC3) {
  const auto Size = static_cast<int32_t>(Frame.size());
  EAC3 ? RepairAC3PlusFrameCrc(Frame.data(), Size) : RepairAC3FrameCrc(Frame.data(), Size);
  return Frame;
}

// Dual mono (acmod 0) carries dialnorm2 as well.
TBytes DualMonoAC3(size_t Count) {
  TAC3Frame Header = test::AC3Header(0, 8, 0);
  Header.dialnorm = 20;
  Header.dialnorm2 = 25;
  TBytes Stream;
  for (size_t Frame = 0; Frame < Count; ++Frame)
    AppendBytes(Stream, WithCrcs(test::ComposeAC3Frame(Header, 256), false));
  return Stream;
}

TBytes DualMonoEAC3(size_t Count) {
  TAC3PlusFrame Frame = test::PlainAC3PlusFrame();
  Frame.frmsiz = 127;
  Frame.acmod = 0;
  Frame.dialnorm = 20;
  Frame.dialnorm2 = 12;
  TBytes Stream;
  for (size_t Index = 0; Index < Count; ++Index)
    AppendBytes(Stream, WithCrcs(test::ComposeAC3PlusFrame(Frame).Bytes, true));
  return Stream;
}

struct TStreamCase {
  const char* Name;
  TBytes Stream;
  bool EAC3;
};

std::vector<TStreamCase> StreamCases() {
  return {{"AC-3 5.1", test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3")), false},
          {"AC-3 44.1 kHz", test::ReadTestFile(test::TestDataPath("ac3_44k_stereo.ac3")), false},
          {"AC-3 dual mono", DualMonoAC3(12), false},
          {"E-AC-3 5.1", test::ReadTestFile(test::TestDataPath("eac3_51_48k_meta.eac3")), true},
          {"E-AC-3 dual mono", DualMonoEAC3(12), true}};
}

// The stream with one bit of its fourth frame's last byte before crc2 flipped (crc2 fails), and
// the first 100 bytes of a frame after its end (running past the end of the file).
TBytes Damaged(const TBytes& Stream, bool EAC3) {
  TBytes Out = Stream;
  size_t At = 0;
  for (int Frame = 0; Frame < 3; ++Frame) At += static_cast<size_t>(CodedSize(Out.data() + At, EAC3));
  Out[At + static_cast<size_t>(CodedSize(Out.data() + At, EAC3)) - 3] ^= 0x08;
  Out.insert(Out.end(), Stream.begin(), Stream.begin() + 100);
  return Out;
}

TEST(DialnormRewrite, EveryFramePassesAfterwardsAndOnlyItsDialnormAndCrcBitsChange) {
  for (const TStreamCase& Case : StreamCases()) {
    SCOPED_TRACE(Case.Name);
    const TBytes Before = Damaged(Case.Stream, Case.EAC3);
    const test::TTempFile File(Before);
    std::vector<int64_t> Skipped;
    TDialnormRequest Request;
    Request.File = File.Path();
    Request.Dialnorm = 9;
    Request.Skipped = [&](const TDialnormSkipped& Frame) { Skipped.push_back(Frame.Offset); };

    // Into an output file first: the source stays as it was, and nothing else is left behind.
    const TTempFolder Folder;
    Request.Output = Folder.Path() / "out.ac3";
    const TDialnormResult Copied = RewriteDialnorm(Request);
    ASSERT_TRUE(Copied.Completed) << Copied.Error;
    EXPECT_EQ(File.ReadAll(), Before);
    EXPECT_EQ(Folder.Entries(), 1u);
    const TBytes Output = test::ReadTestFile(*Request.Output);

    // Then in place, which gives the same bytes.
    Request.Output.reset();
    Skipped.clear();
    const TDialnormResult Result = RewriteDialnorm(Request);
    ASSERT_TRUE(Result.Completed) << Result.Error;
    const TBytes After = File.ReadAll();
    EXPECT_EQ(After, Output);
    ExpectRewritten(Before, After, Case.EAC3, 9, {3});
    EXPECT_EQ(Result.BadCrc, 1);
    EXPECT_EQ(Result.NotWhole, 1);
    EXPECT_EQ(Result.Rewritten, Result.Frames - 2);
    EXPECT_FALSE(Result.AllSet());
    ASSERT_EQ(Skipped.size(), 2u);
    EXPECT_EQ(Skipped[1], static_cast<int64_t>(Case.Stream.size()));

    // A second run finds the value set everywhere it could be.
    const TDialnormResult Again = RewriteDialnorm(Request);
    EXPECT_EQ(Again.Rewritten, 0);
    EXPECT_EQ(Again.AlreadySet, Result.Frames - 2);
    EXPECT_EQ(File.ReadAll(), After);
  }
}

}  // namespace
}  // namespace corvane
