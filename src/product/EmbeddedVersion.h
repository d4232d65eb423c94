#pragma once
// The program's own version resource, compiled by the build from the same resource script
// that a Windows build links into the executable (defined in a generated source file).

#include <cstddef>
#include <cstdint>

namespace corvane {

extern const uint8_t EmbeddedVersionResource[];
extern const size_t EmbeddedVersionResourceSize;

}  // namespace corvane
