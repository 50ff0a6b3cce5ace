// JPEG straight between the file and the node layout, through libjpeg-turbo:
// decoded and encoded a band of rows at a time, so no whole-image buffer is
// made besides the node itself.
#pragma once

#include "ColumnConvert.h"
#include "ImageFile.h"

namespace mv::loaders {

/// Decodes the JPEG open on `fd` (read from its start; the caller keeps the
/// descriptor) into `target`, in `orientation`. Damaged: libjpeg repaired
/// corrupt data on the way.
ReadResult ReadJpeg(int fd, Orientation orientation, PixelTarget& target);

/// Writes a baseline JPEG with 4:4:4 sampling at `quality` to `fd`.
bool WriteJpeg(int fd, const PixelColumns columns, int width, int height, int quality);

}  // namespace mv::loaders
