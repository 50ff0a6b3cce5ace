// Uncompressed formats written straight from the node's columns, a band of
// rows at a time, so an export makes no whole-image copy.
#pragma once

#include "MvPlugin.h"
#include "NativeFile.h"

namespace mv::loaders {

/// A bottom-up 24-bit BMP (BITMAPINFOHEADER, no compression).
bool WriteBmp(ReplacingFile& file, const PixelColumns columns, int width, int height);

/// A baseline TIFF: 8-bit RGB, one plane, uncompressed strips.
bool WriteTiff(ReplacingFile& file, const PixelColumns columns, int width, int height);

}  // namespace mv::loaders
