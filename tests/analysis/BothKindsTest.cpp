// What AC-3 and E-AC-3 analysis do alike, run for both kinds: measuring frames to the next
// frame start, short buffers in the decoder, and the tree's replacement and null cases.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "core/ODSUtls.h"
#include "support/AC3Composer.h"
#include "support/AC3PlusComposer.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

using TBytes = std::vector<uint8_t>;

struct TAC3Analysis {
  using TFrame = TAC3Frame;
  static constexpr const char16_t* ShortHeaderLine = u"nox: Error in parse_ac3_frame - insufficient memory.";
  static bool Parse(const uint8_t* Data, int32_t Size, TFrame& Frame) { return parse_ac3_frame(Data, Size, Frame); }
  static bool ValidFramePoint(const uint8_t* Data, int32_t Size) { return AC3ValidFramePoint(Data, Size, -1); }
  static bool PackLength(const uint8_t* Data, int32_t Size, int32_t& Length, int32_t Fscod) {
    return GetAC3ESPackLength(Data, Size, Length, Fscod);
  }
  static void BuildTree(TTreeModel* Tree, const TFrame& Frame) { UpdateTreeView_ac3_frame(Tree, Frame); }
  static int32_t CodedSize(const uint8_t* Data) { return AC3CodedFrameSize(Data); }
  // The bytes a candidate needs in the buffer to be weighed at all.
  static constexpr int32_t MinLeft = 5;
  // A frame of Bytes bytes at rate fscod (a size the A/52 table has there), zero after its header.
  static TBytes Frame(uint32_t fscod, int32_t Bytes) {
    for (uint32_t Code = 0; Code < 38; ++Code)
      if (AC3FrameSizeBytes(fscod, Code) == Bytes)
        return test::ComposeAC3Frame(test::AC3Header(fscod, Code), static_cast<size_t>(Bytes));
    throw std::invalid_argument("no AC-3 frame size of " + std::to_string(Bytes) + " bytes");
  }
  static std::vector<std::pair<const char*, int32_t>> Streams() {
    return {{"ac3_48k_51.ac3", 0}, {"ac3_44k_stereo.ac3", 1}, {"ac3_32k_mono.ac3", 2}};
  }
};

struct TAC3PlusAnalysis {
  using TFrame = TAC3PlusFrame;
  static constexpr const char16_t* ShortHeaderLine = u"nox: Error in parse_ac3_plus_frame - insufficient memory.";
  static bool Parse(const uint8_t* Data, int32_t Size, TFrame& Frame) { return parse_ac3_plus_frame(Data, Size, Frame); }
  static bool ValidFramePoint(const uint8_t* Data, int32_t Size) { return AC3PlusValidFramePoint(Data, Size, -1); }
  static bool PackLength(const uint8_t* Data, int32_t Size, int32_t& Length, int32_t Fscod) {
    return GetAC3PlusESPackLength(Data, Size, Length, Fscod);
  }
  static void BuildTree(TTreeModel* Tree, const TFrame& Frame) { UpdateTreeView_ac3_plus_frame(Tree, Frame); }
  static int32_t CodedSize(const uint8_t* Data) { return AC3PlusCodedFrameSize(Data); }
  static constexpr int32_t MinLeft = 4;
  static TBytes Frame(uint32_t fscod, int32_t Bytes) {
    TAC3PlusFrame F = test::PlainAC3PlusFrame();
    F.fscod = fscod;
    F.frmsiz = static_cast<uint32_t>(Bytes / 2 - 1);
    return test::ComposeAC3PlusFrame(F).Bytes;
  }
  static std::vector<std::pair<const char*, int32_t>> Streams() {
    return {{"eac3_stereo_48k.eac3", 0}, {"eac3_51_48k_meta.eac3", 0}, {"eac3_stereo_44k.eac3", 1},
            {"eac3_mono_32k.eac3", 2}};
  }
};

template <typename TKind>
class BothKindsTest : public testing::Test {
 protected:
  // Zeroed, and off the stack: the E-AC-3 record is several KiB.
  static std::unique_ptr<typename TKind::TFrame> NewFrame() {
    auto Frame = std::make_unique<typename TKind::TFrame>();
    std::memset(Frame.get(), 0, sizeof(*Frame));
    return Frame;
  }
};

using TKinds = testing::Types<TAC3Analysis, TAC3PlusAnalysis>;
class TKindNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, TAC3Analysis> ? "AC3" : "AC3Plus";
  }
};
TYPED_TEST_SUITE(BothKindsTest, TKinds, TKindNames);

constexpr int32_t NotFound = -7;

// ---------------------------------------------------------------------------------------------
// Frame lengths: the distance to the first acceptable frame start at least the frame's own size
// away.

struct TStreamFrame {
  uint32_t fscod;
  int32_t Bytes;
  int32_t GapAfter = 0;  // zero bytes between this frame and the next
};

struct TLengthCase {
  const char* Name;
  std::vector<TStreamFrame> Frames;
  int32_t RequiredFscod;
  std::vector<int32_t> Lengths;  // per frame; NotFound where no next frame start is found
};

const TLengthCase LengthCases[] = {
    {"EqualFrames", {{0, 1536}, {0, 1536}, {0, 1536}}, -1, {1536, 1536, NotFound}},
    {"SmallerFrameBeforeLargerOnes", {{0, 768}, {0, 1024}, {0, 1024}}, -1, {768, 1024, NotFound}},
    {"AlternatingSizesAt44k", {{1, 556}, {1, 558}, {1, 556}}, 1, {556, 558, NotFound}},
    {"OtherRatePassedOver", {{0, 1536}, {2, 1536}, {0, 1536}}, 0, {3072, 1536, NotFound}},
    {"OtherRateAcceptedWithAnyRate", {{0, 1536}, {2, 1536}, {0, 1536}}, -1, {1536, 1536, NotFound}},
    {"BytesBetweenFramesBelongToTheFirst", {{0, 1536, 10}, {0, 1536}}, -1, {1546, NotFound}},
};

TYPED_TEST(BothKindsTest, MeasuresEachFrameToTheNextStart) {
  for (const TLengthCase& Case : LengthCases) {
    SCOPED_TRACE(Case.Name);
    TBytes Stream;
    std::vector<int32_t> Starts;
    for (const TStreamFrame& Frame : Case.Frames) {
      Starts.push_back(static_cast<int32_t>(Stream.size()));
      test::Append(Stream, TypeParam::Frame(Frame.fscod, Frame.Bytes));
      Stream.resize(Stream.size() + static_cast<size_t>(Frame.GapAfter), 0);
    }
    for (size_t Index = 0; Index < Starts.size(); ++Index) {
      int32_t Length = NotFound;
      const bool Found = TypeParam::PackLength(Stream.data() + Starts[Index],
                                               static_cast<int32_t>(Stream.size()) - Starts[Index], Length,
                                               Case.RequiredFscod);
      EXPECT_EQ(Found, Case.Lengths[Index] != NotFound) << "frame " << Index;
      EXPECT_EQ(Length, Case.Lengths[Index]) << "frame " << Index;
    }
  }
}

// A frame start inside the frame's own size is payload, whatever size it codes itself.
TYPED_TEST(BothKindsTest, FrameStartsInsideTheFrameArePassedOver) {
  for (const int32_t Distance : {8, 100, 1000}) {
    for (const int32_t PlantedSize : {128, 2560}) {
      TBytes Stream = TypeParam::Frame(0, 1536);
      const TBytes Planted = TypeParam::Frame(0, PlantedSize);
      std::copy(Planted.begin(), Planted.begin() + 8, Stream.begin() + Distance);
      test::Append(Stream, TypeParam::Frame(0, 1536));
      ASSERT_TRUE(TypeParam::ValidFramePoint(Stream.data() + Distance, static_cast<int32_t>(Stream.size()) - Distance));
      int32_t Length = NotFound;
      EXPECT_TRUE(TypeParam::PackLength(Stream.data(), static_cast<int32_t>(Stream.size()), Length, -1));
      EXPECT_EQ(Length, 1536) << "a " << PlantedSize << "-byte frame start at " << Distance;
    }
  }
}

// Four bytes of a next frame are too few to count as its start; the length is left alone.
TYPED_TEST(BothKindsTest, NextFrameStartNeedsMoreThanFourBytes) {
  TBytes Stream = TypeParam::Frame(0, 256);
  const TBytes Next = TypeParam::Frame(0, 256);
  Stream.insert(Stream.end(), Next.begin(), Next.begin() + 4);
  TDebugCapture Quiet;
  int32_t Length = NotFound;
  EXPECT_FALSE(TypeParam::PackLength(Stream.data(), static_cast<int32_t>(Stream.size()), Length, -1));
  EXPECT_EQ(Length, NotFound);
}

// The search skips from syncword to syncword. It must find what a byte-by-byte search finds:
// over runs of 0B bytes that are no syncwords, with a syncword right after such a byte, and
// wherever the buffer ends (each cut in a heap buffer of exactly its size).
TYPED_TEST(BothKindsTest, FindsWhatAByteByByteSearchFinds) {
  TDebugCapture Quiet;  // candidates with 4 or 5 bytes left report their short parse
  const auto ByteByByte = [](const uint8_t* Data, int32_t Size) {
    for (int32_t Distance = std::max(TypeParam::CodedSize(Data), 1); Size - Distance >= TypeParam::MinLeft;
         ++Distance)
      if (TypeParam::ValidFramePoint(Data + Distance, Size - Distance)) return Distance;
    return NotFound;
  };
  const TBytes Next = TypeParam::Frame(0, 256);
  const auto Then = [&Next](TBytes Bytes) {
    test::Append(Bytes, Next);
    return Bytes;
  };
  const TBytes Tails[] = {TBytes(40, 0x0B), Then(TBytes(40, 0x0B)), Then({0x0B, 0x00, 0x0B, 0x77, 0x0B}), Next};
  for (const TBytes& Tail : Tails) {
    TBytes Stream = TypeParam::Frame(0, 256);
    test::Append(Stream, Tail);
    for (size_t Size = 250; Size <= Stream.size(); ++Size) {
      const TBytes Cut(Stream.begin(), Stream.begin() + static_cast<std::ptrdiff_t>(Size));
      const int32_t Expected = ByteByByte(Cut.data(), static_cast<int32_t>(Size));
      int32_t Length = NotFound;
      EXPECT_EQ(TypeParam::PackLength(Cut.data(), static_cast<int32_t>(Size), Length, -1), Expected != NotFound);
      ASSERT_EQ(Length, Expected) << "tail of " << Tail.size() << " bytes cut to " << Size;
    }
  }
}

// Every frame of the encoded streams measures its own coded size, and the last one ends the file.
TYPED_TEST(BothKindsTest, CommittedStreamsChainFromFrameToFrame) {
  for (const auto& [File, fscod] : TypeParam::Streams()) {
    SCOPED_TRACE(File);
    const TBytes Bytes = test::ReadTestFile(test::TestDataPath(File));
    const uint8_t* Position = Bytes.data();
    auto Left = static_cast<int32_t>(Bytes.size());
    int32_t Frames = 1;
    int32_t Length = 0;
    while (TypeParam::PackLength(Position, Left, Length, fscod)) {
      ASSERT_EQ(Length, TypeParam::CodedSize(Position)) << "frame " << Frames;
      Position += Length;
      Left -= Length;
      ++Frames;
    }
    EXPECT_EQ(Left, TypeParam::CodedSize(Position)) << "the last frame ends the file";
    EXPECT_GE(Frames, 30);
  }
}

// ---------------------------------------------------------------------------------------------
// Decoding and the tree.

TYPED_TEST(BothKindsTest, FewerThanFiveBytesLeaveTheRecordUntouched) {
  const TBytes Bytes = TypeParam::Frame(0, 256);
  auto Frame = this->NewFrame();
  std::memset(Frame.get(), 0x5A, sizeof(*Frame));
  const auto Before = this->NewFrame();
  std::memcpy(Before.get(), Frame.get(), sizeof(*Frame));
  TDebugCapture Capture;
  EXPECT_FALSE(TypeParam::Parse(Bytes.data(), 4, *Frame));
  EXPECT_EQ(std::memcmp(Frame.get(), Before.get(), sizeof(*Frame)), 0) << "nothing may be written";
  EXPECT_EQ(Capture.Lines(), std::vector<std::u16string>{TypeParam::ShortHeaderLine});
}

TYPED_TEST(BothKindsTest, WithoutATreeNothingHappens) {
  const TBytes Bytes = TypeParam::Frame(0, 256);
  auto Frame = this->NewFrame();
  TypeParam::Parse(Bytes.data(), static_cast<int32_t>(Bytes.size()), *Frame);
  TDebugCapture Capture;
  TypeParam::BuildTree(nullptr, *Frame);
  EXPECT_TRUE(Capture.Lines().empty());
}

// A second frame's tree replaces the first one's whole.
TYPED_TEST(BothKindsTest, SecondTreeReplacesTheFirst) {
  const TBytes First = TypeParam::Frame(1, 556);
  const TBytes Second = TypeParam::Frame(0, 1536);
  auto FirstFrame = this->NewFrame();
  auto SecondFrame = this->NewFrame();
  TypeParam::Parse(First.data(), static_cast<int32_t>(First.size()), *FirstFrame);
  TypeParam::Parse(Second.data(), static_cast<int32_t>(Second.size()), *SecondFrame);

  TTreeModel Tree;
  TypeParam::BuildTree(&Tree, *FirstFrame);
  TypeParam::BuildTree(&Tree, *SecondFrame);
  TTreeModel Fresh;
  TypeParam::BuildTree(&Fresh, *SecondFrame);
  EXPECT_EQ(Tree.Roots().size(), 1u);
  EXPECT_EQ(Tree.Texts(), Fresh.Texts());
  EXPECT_EQ(Tree.Depths(), Fresh.Depths());
  EXPECT_NE(Tree.Texts(), [&] {
    TTreeModel Other;
    TypeParam::BuildTree(&Other, *FirstFrame);
    return Other.Texts();
  }());
}

}  // namespace
}  // namespace corvane
