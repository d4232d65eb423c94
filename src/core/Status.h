#pragma once
// 32-bit status values of the status-returning operations (the Windows HRESULT values).

#include <cstdint>

namespace corvane {

using THResult = int32_t;
inline constexpr THResult HR_S_OK = 0;
inline constexpr THResult HR_E_FAIL = static_cast<THResult>(0x80004005u);

}  // namespace corvane
