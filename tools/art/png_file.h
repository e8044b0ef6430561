#pragma once

#include "tools/art/canvas.h"

#include <string>

namespace art {

// Writes the canvas as an 8-bit RGB PNG. Nothing time- or host-dependent goes
// into the file, so the same canvas always gives the same bytes. Throws
// std::runtime_error when the file cannot be written.
void WritePng(const std::string& path, const Canvas& canvas);

}  // namespace art
