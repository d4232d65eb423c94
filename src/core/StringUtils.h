#pragma once
// Small text helpers shared by the views: hex digits, the printable-character table,
// padding, the tree-node hex dump and the line/token splitters of the update list.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/TreeModel.h"

namespace corvane {

// The character a hex display shows for each byte value in its text column.
extern const std::array<char16_t, 256> PrintableCharTable;

// Two upper-case hex digits: "0A" for 10.
std::u16string ByteToHex(uint8_t Value);
// Text followed by spaces up to Width characters; longer texts come back unchanged.
std::u16string PadRight(const std::u16string& Text, int32_t Width);
// Appends a hex dump of Count bytes, 16 a line, as children of Parent (see the .cpp).
bool MemToStrLinesShort(const uint8_t* Bytes, int32_t Count, TTreeModel* Tree, int32_t Width,
                        TTreeModel::TNodeId Parent);
// Removes and returns the first CR LF terminated line of Text.
std::u16string ExtractLine(std::u16string& Text);
// Removes and returns the text up to the first ";".
std::u16string ExtractToken(std::u16string& Text);

// Conversions at the edges (terminal, Qt, files) and for building texts.
std::string ToUtf8(std::u16string_view Text);
std::u16string FromUtf8(std::string_view Text);
// Text in the system's 8-bit code page: the ANSI code page on Windows, UTF-8 elsewhere.
std::u16string FromSystemCodePage(std::string_view Text);
// A file name for showing in messages, captions and JSON. On Linux a name is any bytes: those
// that are not UTF-8 show as U+FFFD. Unlike path::u16string() this never throws.
std::u16string PathToText(const std::filesystem::path& Path);
// True when PathToText gives the name exactly, nothing replaced.
bool PathIsText(const std::filesystem::path& Path);
// A file's name as messages and JSON give it, in UTF-8: bytes of it that are not UTF-8 (legal in
// a Linux file name) come out as U+FFFD.
std::string PathText(const std::filesystem::path& Path);
// ASCII only: each byte becomes one UTF-16 code unit.
std::u16string AsciiToU16(std::string_view Text);
std::u16string IntToStr(int64_t Value);
std::u16string UIntToStr(uint64_t Value);
// At least Digits upper-case hex digits, more when the value needs them.
std::u16string IntToHex(uint64_t Value, int32_t Digits);
// A non-negative byte position as people type it: decimal, or hexadecimal after "0x"; nothing
// for any other text (blanks included) or a value past the largest signed 64-bit number.
std::optional<int64_t> ParsePosition(std::u16string_view Text);

}  // namespace corvane
