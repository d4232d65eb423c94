#pragma once
// The stream tests on bytes that the caller has already read from the start of a file. The
// file forms, IsAC3ES (AC3Utils.h) and IsAC3PlusES (AC3PlusUtils.h), read those bytes
// themselves; a caller that reads the file's start anyway passes them here instead.

#include <cstdint>

namespace corvane {

// How much of the start of a file the stream tests look at.
inline constexpr int32_t StreamTestBytes = 1024 * 1024;

// Data holds the file's first Size bytes (StreamTestBytes of them, or the whole file when it is
// shorter). The answers and the written Fscod are those of the file forms.
bool IsAC3ES(const uint8_t* Data, int32_t Size, int32_t& Fscod);
bool IsAC3PlusES(const uint8_t* Data, int32_t Size, int32_t& Fscod);

}  // namespace corvane
