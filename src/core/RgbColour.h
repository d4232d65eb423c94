#pragma once
// A colour as red, green and blue of 0 to 255: what the windows' pictures are painted in,
// decided below the front-ends and handed to each painter.

#include <cstdint>

namespace corvane {

struct TRgbColour {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
};

}  // namespace corvane
