// Structure checks for formats whose Qt readers accept a file that ends too
// early and hand back a partly filled image: the file must hold all the
// pixel data its header announces. Plain standard C++ over a descriptor.
#pragma once

#include "ImageFile.h"

namespace mv::loaders {

/// false when `fd` (a regular file, read with pread, offset untouched) ends
/// before the pixel data of its first image does. Formats whose readers
/// refuse such files themselves always pass.
bool HoldsWholeImage(FileFormat format, int fd);

}  // namespace mv::loaders
