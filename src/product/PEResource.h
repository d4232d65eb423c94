#pragma once
// Finds the version resource (type 16, name 1, the first language) in the resource section
// of a Windows executable or library (PE/COFF, 32- or 64-bit), so that the version of any
// Windows program can be read on any system.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace corvane {

// The resource's bytes, or nothing when the file cannot be read, is no PE file, is
// malformed where the resource is looked for, or has no version resource.
std::optional<std::vector<uint8_t>> ReadPEVersionResource(const std::filesystem::path& FileName);

}  // namespace corvane
