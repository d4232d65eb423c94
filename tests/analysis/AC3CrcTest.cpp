// The frame CRCs: the table-driven CRC against a bit-by-bit one, the verdicts on every frame of
// the committed real streams and on copies with one bit flipped, and the repair of edited frames.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "analysis/AC3Crc.h"
#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "core/StringUtils.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

using TBytes = std::vector<uint8_t>;

uint16_t BitwiseCrc(const TBytes& Bytes, uint16_t Crc = 0) {
  for (uint8_t Byte : Bytes)
    for (int Bit = 7; Bit >= 0; --Bit) {
      const bool Top = ((Crc >> 15) ^ (Byte >> Bit)) & 1;
      Crc = static_cast<uint16_t>(Crc << 1);
      if (Top) Crc ^= 0x8005;
    }
  return Crc;
}

TBytes RandomBytes(size_t Count, unsigned Seed) {
  std::mt19937 Random(Seed);
  TBytes Bytes(Count);
  for (auto& Byte : Bytes) Byte = static_cast<uint8_t>(Random());
  return Bytes;
}

TEST(Crc16, MatchesTheBitwiseDefinitionAtEveryLengthAndStart) {
  for (size_t Size : std::vector<size_t>{0, 1, 2, 7, 8, 9, 15, 16, 17, 31, 1000, 3840}) {
    const TBytes Bytes = RandomBytes(Size, static_cast<unsigned>(Size));
    EXPECT_EQ(Crc16(Bytes.data(), Size), BitwiseCrc(Bytes)) << Size;
    EXPECT_EQ(Crc16(Bytes.data(), Size, 0xBEEF), BitwiseCrc(Bytes, 0xBEEF)) << Size;
  }
  // A message followed by its CRC leaves 0: the rule every CRC word of a frame follows.
  TBytes Message = RandomBytes(101, 5);
  const uint16_t Crc = Crc16(Message.data(), Message.size());
  Message.push_back(static_cast<uint8_t>(Crc >> 8));
  Message.push_back(static_cast<uint8_t>(Crc));
  EXPECT_EQ(Crc16(Message.data(), Message.size()), 0);
}

// Every committed real stream, with its kind.
struct TStreamFile {
  std::filesystem::path Path;
  bool EAC3;
};

std::vector<TStreamFile> CommittedStreams() {
  const std::filesystem::path Tests = std::filesystem::path(CORVANE_TEST_DATA_DIR).parent_path();
  std::vector<TStreamFile> Files;
  for (const char* Name : {"ac3_32k_mono.ac3", "ac3_44k_stereo.ac3", "ac3_48k_51.ac3", "eac3_crosscheck.ac3"})
    Files.push_back({test::TestDataPath(Name), false});
  for (const char* Name :
       {"eac3_51_48k_meta.eac3", "eac3_mono_32k.eac3", "eac3_stereo_44k.eac3", "eac3_stereo_48k.eac3"})
    Files.push_back({test::TestDataPath(Name), true});
  Files.push_back({Tests / "viewer" / "data" / "ac3_48k_51_448k.ac3", false});
  Files.push_back({Tests / "viewer" / "data" / "eac3_44k_stereo.eac3", true});
  Files.push_back({Tests.parent_path() / "samples" / "sample.ac3", false});
  return Files;
}

// The frames of a clean stream, cut at the sizes their headers code.
std::vector<TBytes> Frames(const TStreamFile& File) {
  const TBytes Stream = test::ReadTestFile(File.Path);
  std::vector<TBytes> Cut;
  for (size_t At = 0; At + 6 <= Stream.size();) {
    const size_t Size = static_cast<size_t>(File.EAC3 ? AC3PlusCodedFrameSize(Stream.data() + At)
                                                      : AC3CodedFrameSize(Stream.data() + At));
    if (Size == 0 || At + Size > Stream.size()) break;
    Cut.emplace_back(Stream.begin() + static_cast<std::ptrdiff_t>(At),
                     Stream.begin() + static_cast<std::ptrdiff_t>(At + Size));
    At += Size;
  }
  return Cut;
}

TFrameCrc Check(const TBytes& Frame, bool EAC3) {
  const auto Size = static_cast<int32_t>(Frame.size());
  return EAC3 ? CheckAC3PlusFrameCrc(Frame.data(), Size) : CheckAC3FrameCrc(Frame.data(), Size);
}

TEST(FrameCrc, EveryFrameOfTheCommittedStreamsPasses) {
  for (const TStreamFile& File : CommittedStreams()) {
    const std::vector<TBytes> Cut = Frames(File);
    ASSERT_GT(Cut.size(), 20u) << File.Path;
    for (size_t Index = 0; Index < Cut.size(); ++Index) {
      const TFrameCrc Crc = Check(Cut[Index], File.EAC3);
      ASSERT_TRUE(Crc.Passed()) << File.Path << " frame " << Index << ": " << ToUtf8(CrcVerdictText(Crc));
      EXPECT_EQ(Crc.crc1, File.EAC3 ? TCrcVerdict::Absent : TCrcVerdict::Ok);
      // Told apart by bsid alone, each frame is judged the same.
      EXPECT_EQ(CheckAnyFrameCrc(Cut[Index].data(), static_cast<int32_t>(Cut[Index].size())), Crc);
    }
  }
}

TEST(FrameCrc, AFlippedBitFailsTheWordThatCoversIt) {
  const TBytes AC3 = Frames({test::TestDataPath("ac3_48k_51.ac3"), false})[3];         // 1536 bytes
  const TBytes AC3Odd = Frames({test::TestDataPath("ac3_44k_stereo.ac3"), false})[1];  // 558 bytes
  const TBytes EAC3 = Frames({test::TestDataPath("eac3_stereo_48k.eac3"), true})[3];
  const int32_t Crc1End = AC3Crc1End(1536);  // 960
  const int32_t OddCrc1End = AC3Crc1End(558);
  struct TCase {
    const char* Name;
    const TBytes& Frame;
    bool EAC3;
    size_t Byte;
    TCrcVerdict crc1;
    TCrcVerdict crc2;
  };
  const TCase Cases[] = {
      {"bsi of AC-3", AC3, false, 7, TCrcVerdict::Failed, TCrcVerdict::Ok},
      {"crc1 itself", AC3, false, 3, TCrcVerdict::Failed, TCrcVerdict::Ok},
      {"last byte of the first 5/8", AC3, false, static_cast<size_t>(Crc1End - 1), TCrcVerdict::Failed,
       TCrcVerdict::Ok},
      {"first byte of the last 3/8", AC3, false, static_cast<size_t>(Crc1End), TCrcVerdict::Ok, TCrcVerdict::Failed},
      {"crc2 itself", AC3, false, 1535, TCrcVerdict::Ok, TCrcVerdict::Failed},
      {"first 5/8 at 44.1 kHz", AC3Odd, false, static_cast<size_t>(OddCrc1End - 1), TCrcVerdict::Failed,
       TCrcVerdict::Ok},
      {"last 3/8 at 44.1 kHz", AC3Odd, false, static_cast<size_t>(OddCrc1End), TCrcVerdict::Ok, TCrcVerdict::Failed},
      {"E-AC-3 header", EAC3, true, 6, TCrcVerdict::Absent, TCrcVerdict::Failed},
      {"E-AC-3 payload", EAC3, true, 200, TCrcVerdict::Absent, TCrcVerdict::Failed},
  };
  for (const TCase& Case : Cases) {
    TBytes Frame = Case.Frame;
    Frame[Case.Byte] ^= 0x10;
    const TFrameCrc Crc = Check(Frame, Case.EAC3);
    EXPECT_EQ(Crc.crc1, Case.crc1) << Case.Name;
    EXPECT_EQ(Crc.crc2, Case.crc2) << Case.Name;
  }
  EXPECT_EQ(CrcVerdictText({TCrcVerdict::Failed, TCrcVerdict::Ok}), u"crc1 fails");
  EXPECT_EQ(CrcVerdictText({TCrcVerdict::Absent, TCrcVerdict::Failed}), u"crc2 fails");
  EXPECT_EQ(CrcVerdictText({TCrcVerdict::Failed, TCrcVerdict::Failed}), u"crc1 and crc2 fail");
  EXPECT_EQ(CrcVerdictText({TCrcVerdict::Ok, TCrcVerdict::Ok}), u"CRC ok");
}

TEST(FrameCrc, AFrameNotAllAtHandIsNotChecked) {
  const TBytes AC3 = Frames({test::TestDataPath("ac3_48k_51.ac3"), false})[0];
  const TBytes EAC3 = Frames({test::TestDataPath("eac3_stereo_48k.eac3"), true})[0];
  EXPECT_FALSE(CheckAC3FrameCrc(AC3.data(), 1535).Checked());
  EXPECT_FALSE(CheckAC3PlusFrameCrc(EAC3.data(), static_cast<int32_t>(EAC3.size()) - 1).Checked());
  TBytes Reserved = AC3;
  Reserved[4] = static_cast<uint8_t>((Reserved[4] & 0xC0) | 40);  // frmsizecod 40 codes no size
  EXPECT_FALSE(CheckAC3FrameCrc(Reserved.data(), 1536).Checked());
  EXPECT_FALSE(RepairAC3FrameCrc(Reserved.data(), 1536));
  TBytes Short = AC3;
  EXPECT_FALSE(RepairAC3FrameCrc(Short.data(), 1535));
  EXPECT_EQ(Short, AC3);  // nothing written
}

TEST(FrameCrc, RepairMakesAnEditedFramePassAndWritesOnlyItsCrcWords) {
  struct TCase {
    TStreamFile File;
    size_t Edited;
  };
  const TCase Cases[] = {
      {{test::TestDataPath("ac3_48k_51.ac3"), false}, 6},
      {{test::TestDataPath("ac3_44k_stereo.ac3"), false}, 400},
      {{test::TestDataPath("ac3_32k_mono.ac3"), false}, 100},
      {{test::TestDataPath("eac3_51_48k_meta.eac3"), true}, 5},
      {{test::TestDataPath("eac3_stereo_44k.eac3"), true}, 300},
  };
  for (const TCase& Case : Cases) {
    for (const TBytes& Original : Frames(Case.File)) {
      TBytes Frame = Original;
      Frame[Case.Edited] ^= 0x5A;
      const TBytes Edited = Frame;
      const auto Size = static_cast<int32_t>(Frame.size());
      ASSERT_TRUE(Case.File.EAC3 ? RepairAC3PlusFrameCrc(Frame.data(), Size) : RepairAC3FrameCrc(Frame.data(), Size));
      ASSERT_TRUE(Check(Frame, Case.File.EAC3).Passed()) << Case.File.Path;
      EXPECT_EQ(Crc16(Frame.data() + 2, Frame.size() - 2), 0);
      // Only the CRC words differ from the edited frame.
      for (size_t Byte = 0; Byte < Frame.size(); ++Byte) {
        const bool CrcWord = Byte + 2 >= Frame.size() || (!Case.File.EAC3 && (Byte == 2 || Byte == 3));
        if (!CrcWord) {
          ASSERT_EQ(Frame[Byte], Edited[Byte]) << Case.File.Path << " byte " << Byte;
        }
      }
      // An untouched frame keeps its words.
      TBytes Same = Original;
      ASSERT_TRUE(RepairAnyFrameCrc(Same.data(), Size));
      ASSERT_EQ(Same, Original);
    }
  }
}

// The update from the changed bytes alone gives the words the full repair gives, wherever the
// change lies in reach of it, and declines (writing nothing) where it does not.
TEST(FrameCrc, UpdateFromTheChangedBytesGivesTheRepairsWords) {
  struct TCase {
    TStreamFile File;
    int32_t From;
    int32_t To;  // -1: the frame's size; -2: crc1's end
    bool Updates;
  };
  const TCase Cases[] = {
      {{test::TestDataPath("ac3_48k_51.ac3"), false}, 6, 8, true},
      {{test::TestDataPath("ac3_44k_stereo.ac3"), false}, 5, 40, true},
      {{test::TestDataPath("ac3_32k_mono.ac3"), false}, 100, -2, true},   // up to crc1's end
      {{test::TestDataPath("ac3_48k_51.ac3"), false}, 900, 1000, false},  // across it
      {{test::TestDataPath("ac3_48k_51.ac3"), false}, 2, 8, false},       // on crc1 itself
      {{test::TestDataPath("eac3_51_48k_meta.eac3"), true}, 4, 9, true},
      {{test::TestDataPath("eac3_stereo_44k.eac3"), true}, 300, 301, true},
      {{test::TestDataPath("eac3_stereo_48k.eac3"), true}, 7, -1, false},  // on crc2
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.File.Path.filename().string() + " " + std::to_string(Case.From));
    std::mt19937 Random(static_cast<unsigned>(Case.From));
    for (const TBytes& Original : Frames(Case.File)) {
      const auto Size = static_cast<int32_t>(Original.size());
      const int32_t To = Case.To == -1 ? Size : Case.To == -2 ? AC3Crc1End(Size) : Case.To;
      TBytes Updated = Original;
      for (int32_t Byte = Case.From; Byte < To; ++Byte)
        Updated[static_cast<size_t>(Byte)] ^= static_cast<uint8_t>(Random() | 1);
      TBytes Repaired = Updated;
      const auto Update = Case.File.EAC3 ? UpdateAC3PlusFrameCrc : UpdateAC3FrameCrc;
      const TBytes Changed = Updated;
      ASSERT_EQ(Update(Updated.data(), Size, Case.From, To, Original.data() + Case.From), Case.Updates);
      if (!Case.Updates) {
        EXPECT_EQ(Updated, Changed);
        continue;
      }
      ASSERT_TRUE(Case.File.EAC3 ? RepairAC3PlusFrameCrc(Repaired.data(), Size)
                                 : RepairAC3FrameCrc(Repaired.data(), Size));
      ASSERT_EQ(Updated, Repaired);
    }
  }
}

}  // namespace
}  // namespace corvane
