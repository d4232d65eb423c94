#include "product/PEResource.h"

#include "core/FileStream.h"

namespace corvane {
namespace {

constexpr uint32_t RT_VERSION_ID = 16;
constexpr uint32_t VS_VERSION_INFO_ID = 1;
constexpr uint32_t SubdirectoryBit = 0x80000000u;
// A version resource is a tree whose root length is a 16-bit number; anything much larger
// than that is not one.
constexpr uint32_t MaxResourceSize = 1u << 20;
constexpr uint32_t MaxDirectorySize = 64u << 20;

uint16_t Le16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }
uint32_t Le32(const uint8_t* P) { return Le16(P) | (uint32_t(Le16(P + 2)) << 16); }

struct TSection {
  uint32_t VirtualAddress;
  uint32_t RawSize;
  uint32_t RawOffset;
};

class TPEFile {
 public:
  bool Open(const std::filesystem::path& FileName) {
    if (!FStream.Open(FileName, TFileStream::TMode::Read)) return false;
    FSize = FStream.Size();
    return FSize > 0;
  }

  bool Read(int64_t Offset, void* Buffer, uint32_t Count) const {
    return Offset >= 0 && Count <= uint64_t(FSize) && Offset <= FSize - int64_t(Count) &&
           FStream.ReadAt(Offset, Buffer, static_cast<int32_t>(Count)) == static_cast<int32_t>(Count);
  }

  // Reads the sections and the resource directory's place; false when this is no PE file.
  bool ReadHeaders() {
    uint8_t Dos[64];
    if (!Read(0, Dos, sizeof Dos) || Dos[0] != 'M' || Dos[1] != 'Z') return false;
    const int64_t PE = Le32(Dos + 0x3C);
    uint8_t Coff[24];
    if (!Read(PE, Coff, sizeof Coff) || Coff[0] != 'P' || Coff[1] != 'E' || Coff[2] != 0 || Coff[3] != 0) return false;
    const uint16_t SectionCount = Le16(Coff + 6);
    const uint16_t OptionalSize = Le16(Coff + 20);

    uint8_t Optional[240] = {};
    const uint32_t OptionalRead = OptionalSize < sizeof Optional ? OptionalSize : sizeof Optional;
    if (OptionalRead < 2 || !Read(PE + 24, Optional, OptionalRead)) return false;
    const uint16_t Magic = Le16(Optional);
    uint32_t CountAt = 0;
    if (Magic == 0x10B)
      CountAt = 92;
    else if (Magic == 0x20B)
      CountAt = 108;
    else
      return false;
    const uint32_t ResourceDirAt = CountAt + 4 + 2 * 8;  // data directory 2: resources
    if (OptionalRead < ResourceDirAt + 8 || Le32(Optional + CountAt) < 3) return false;
    FResourceRva = Le32(Optional + ResourceDirAt);
    FResourceSize = Le32(Optional + ResourceDirAt + 4);

    const int64_t SectionsAt = PE + 24 + OptionalSize;
    for (uint16_t I = 0; I < SectionCount; ++I) {
      uint8_t S[40];
      if (!Read(SectionsAt + int64_t(I) * 40, S, sizeof S)) return false;
      FSections.push_back({Le32(S + 12), Le32(S + 16), Le32(S + 20)});
    }
    return true;
  }

  // File offset of Count bytes at a relative virtual address, when they lie in one section's raw data.
  std::optional<int64_t> RvaToOffset(uint32_t Rva, uint32_t Count) const {
    for (const TSection& S : FSections) {
      if (Rva >= S.VirtualAddress && uint64_t(Rva) - S.VirtualAddress + Count <= S.RawSize)
        return int64_t(S.RawOffset) + (Rva - S.VirtualAddress);
    }
    return std::nullopt;
  }

  uint32_t ResourceRva() const { return FResourceRva; }
  uint32_t ResourceSize() const { return FResourceSize; }

 private:
  TFileStream FStream;
  int64_t FSize = 0;
  uint32_t FResourceRva = 0;
  uint32_t FResourceSize = 0;
  std::vector<TSection> FSections;
};

// One level of the resource directory: returns the entry's OffsetToData for the entry with
// the numeric name Id (or the first entry when Id is empty).
std::optional<uint32_t> FindEntry(const std::vector<uint8_t>& Dir, uint32_t At, std::optional<uint32_t> Id) {
  if (At > Dir.size() || Dir.size() - At < 16) return std::nullopt;
  const uint32_t Count = uint32_t(Le16(&Dir[At + 12])) + Le16(&Dir[At + 14]);
  for (uint32_t I = 0; I < Count; ++I) {
    const uint64_t EntryAt = uint64_t(At) + 16 + uint64_t(I) * 8;
    if (EntryAt + 8 > Dir.size()) return std::nullopt;
    // Within the directory's bytes, so the offset fits a size_t on every platform.
    const size_t Entry = static_cast<size_t>(EntryAt);
    const uint32_t Name = Le32(&Dir[Entry]);
    if (!Id || (!(Name & SubdirectoryBit) && Name == *Id)) return Le32(&Dir[Entry + 4]);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadPEVersionResource(const std::filesystem::path& FileName) {
  TPEFile File;
  if (!File.Open(FileName) || !File.ReadHeaders()) return std::nullopt;
  if (File.ResourceRva() == 0 || File.ResourceSize() < 16 || File.ResourceSize() > MaxDirectorySize)
    return std::nullopt;
  const auto DirAt = File.RvaToOffset(File.ResourceRva(), File.ResourceSize());
  if (!DirAt) return std::nullopt;
  std::vector<uint8_t> Dir(File.ResourceSize());
  if (!File.Read(*DirAt, Dir.data(), File.ResourceSize())) return std::nullopt;

  // Three levels: type, name, language; the first two lead to subdirectories, the last to a data entry.
  const auto Type = FindEntry(Dir, 0, RT_VERSION_ID);
  if (!Type || !(*Type & SubdirectoryBit)) return std::nullopt;
  const auto Name = FindEntry(Dir, *Type & ~SubdirectoryBit, VS_VERSION_INFO_ID);
  if (!Name || !(*Name & SubdirectoryBit)) return std::nullopt;
  const auto Language = FindEntry(Dir, *Name & ~SubdirectoryBit, std::nullopt);
  if (!Language || (*Language & SubdirectoryBit) || *Language > Dir.size() || Dir.size() - *Language < 16)
    return std::nullopt;

  const uint32_t DataRva = Le32(&Dir[*Language]);
  const uint32_t DataSize = Le32(&Dir[*Language + 4]);
  if (DataSize == 0 || DataSize > MaxResourceSize) return std::nullopt;
  const auto DataAt = File.RvaToOffset(DataRva, DataSize);
  if (!DataAt) return std::nullopt;
  std::vector<uint8_t> Data(DataSize);
  if (!File.Read(*DataAt, Data.data(), DataSize)) return std::nullopt;
  return Data;
}

}  // namespace corvane
