#pragma once
// The frame list's row texts: the window's rows as the list shows them, and the same line
// formatted straight into a byte buffer for the whole-file listing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "viewer/FrameWindow.h"

namespace corvane {

// The frame list's columns: headers, design widths in pixels (at 96 per inch), and the widest
// text each shows, so that a window with a larger font can widen a column until it fits.
struct TFrameListColumn {
  std::u16string_view Header;
  int32_t DesignWidth;
  std::u16string_view Widest;
};
inline constexpr std::array<TFrameListColumn, 5> FrameListColumns = {{{u"Offset", 140, u"0x0000000000000000"},
                                                                      {u"Length", 70, u"000000"},
                                                                      {u"Frame Size", 70, u"Frame Size"},
                                                                      {u"Sampling Rate", 90, u"Sampling Rate"},
                                                                      {u"Bitrate", 100, u"reserved kbps"}}};

// "reserved" stands where the A/52 tables have no frame size or bit rate.
inline constexpr std::u16string_view ReservedText = u"reserved";

// Offset as "0x" and 16 upper-case hexadecimal digits.
std::u16string OffsetText(int64_t Offset);
// Frame Size and Bitrate texts of an AC-3 header.
std::u16string AC3FrameSizeText(uint32_t fscod, uint32_t frmsizecod);
std::u16string AC3BitrateText(uint32_t fscod, uint32_t frmsizecod);

TRowTexts FrameRowTexts(const TAC3Frame& Frame);
TRowTexts FrameRowTexts(const TAC3PlusFrame& Frame);

// Formats walked frames as the frame list's lines (each text followed by ", ", then "\n"),
// in UTF-8, without building a string per row.
class TRowFormatter {
 public:
  static constexpr size_t MaxLineSize = 128;

  explicit TRowFormatter(bool EAC3);
  // Writes one line at Out (room for MaxLineSize bytes) and returns its size.
  size_t Format(const TWalkFrame& Frame, char* Out) const;

 private:
  bool FEAC3;
  std::array<std::string, 4> FRates;      // FscodToStr by fscod
  std::array<std::string, 64> FBitrates;  // Bitrate text by frmsizecod
};

}  // namespace corvane
