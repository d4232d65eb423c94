#pragma once
// Widget-free half of the hex pane: the dump line layout, the character ranges that highlight a
// byte selection, and the arithmetic that turns keys, scroll codes and thumb positions into file
// offsets. The Qt view (HexViewUtils_RichEdit.h) only draws what these functions compute.
//
// A displayed line, in character columns from 0:
//   0-1 "0x", 2-17 the line offset in 16 hex digits, 18-20 three spaces,
//   21-70 the hex part (two digits and a space per byte, padded to 50), 71-86 the text part.
// With its line break a line takes 88 character positions in the control.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

inline constexpr int32_t HexViewBytesPerLine = 16;
// Assumed pixel height of one line, whatever the real font: turns a client height into lines.
inline constexpr int32_t HexViewLineHeight = 16;
inline constexpr int32_t HexViewReadBufferSize = 10240;
inline constexpr int32_t HexViewMaxLines = HexViewReadBufferSize / HexViewBytesPerLine;  // 640
inline constexpr int32_t HexViewScrollMax = 100000;
inline constexpr int32_t HexViewHexPartWidth = 50;
inline constexpr int32_t HexViewLineLength = 87;
inline constexpr int32_t HexViewLinePitch = 88;
inline constexpr int32_t HexViewHexColumn = 21;
inline constexpr int32_t HexViewTextColumn = 71;

// Appends one line per 16 bytes to Lines: the hex part padded to 50 characters, then the text
// part. False without touching Lines when Count <= 0, Data is null or Lines is null.
bool MemToStrLines2(const uint8_t* Data, int32_t Count, std::vector<std::u16string>* Lines);

// Every character a dump line can hold: the hex digits, "x", the space and each character of
// the text part. A font shows the dump in straight columns when all of them have one advance.
std::u16string HexDumpCharacters();

// "0x" + the offset in 16 upper-case hex digits + three spaces: what precedes a dump line.
std::u16string HexViewLinePrefix(int64_t LineOffset);

// Offset rounded down to its line (the remainder taken on the signed value, as the view always has).
int64_t HexViewAlignedStart(int64_t Offset);

// Lines a refresh shows for a control of the given client height: height / 16 - 1, within 1..640.
int32_t HexViewVisibleLines(int32_t ClientHeight);
// Bytes one page step moves: height / 16 lines of 16 bytes (one line more than is shown).
int64_t HexViewPageBytes(int32_t ClientHeight);

// A run of character positions in the control.
struct THexCharRange {
  int64_t Start = 0;
  int64_t Length = 0;
  bool operator==(const THexCharRange&) const = default;
};

// The two runs to highlight on displayed line LineIndex (starting at file offset LineStart):
// the hex digits with the spaces between them, and the text characters.
struct THexLineHighlight {
  THexCharRange Hex;
  THexCharRange Text;
  bool operator==(const THexLineHighlight&) const = default;
};

// Nothing when the selection is empty (length <= 0) or misses the line.
std::optional<THexLineHighlight> HexViewLineHighlight(int32_t LineIndex, int64_t LineStart,
                                                      int64_t SelectionStart, int64_t SelectionLength);

// The moves of the keys and of the scroll bar's buttons.
enum class THexViewStep { LineUp, LineDown, PageUp, PageDown, Home, End };

// The offset a step asks to show, from the last requested offset, clamped to 0..FileSize-1
// (0 for an empty file). Steps keep the offset's remainder modulo 16 where the clamp allows.
int64_t HexViewStepTarget(THexViewStep Step, int64_t LastRefreshOffset, int64_t FileSize,
                          int32_t ClientHeight);

// Scroll-bar thumb position (0..100000) for any offset: 0 for an empty file or an offset before
// the start, 100000 for one at or past the end.
int32_t HexViewThumbPosition(int64_t Offset, int64_t FileSize);
// Offset for a dragged thumb position, never past the last byte.
int64_t HexViewTrackTarget(int32_t ThumbPosition, int64_t FileSize);

// What the scroll bar reports.
enum class THexScrollCode { LineUp, LineDown, PageUp, PageDown, Track, Top, Bottom, ThumbPosition, EndScroll };

}  // namespace corvane
