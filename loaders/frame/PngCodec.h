// PNG straight from the file into the node layout, through libpng: decoded a
// band of rows at a time, so no whole-image buffer is made besides the node.
#pragma once

#include <optional>

#include "ImageFile.h"

namespace mv::loaders {

/// Decodes the PNG open on `fd` (read from its start; the caller keeps the
/// descriptor) into `target`: palettes expanded, 16-bit samples rounded to 8,
/// alpha laid over white. nullopt for an interlaced file, whose passes need
/// the whole image at once: the caller decodes it another way.
std::optional<ReadResult> ReadPng(int fd, PixelTarget& target);

}  // namespace mv::loaders
