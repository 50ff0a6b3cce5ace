// The open-dialog entry for every image format we read. The format is told by
// the file's content, never by its name; this loader writes nothing.
#include "LoaderFrame.h"

namespace {

using namespace mv::loaders;

constexpr LoaderInfo kInfo{"L_Images",
                           "Все изображения",
                           "*.png;*.jpg;*.jpeg;*.bmp;*.gif;*.tif;*.tiff;*.webp;*.tga;*.ppm;*.pgm",
                           true,
                           false,
                           kEveryFormat,
                           FileFormat::Png /* unused: CanSave is false */};

}  // namespace

MV_EXPORT MvPlugin* PluginEntry(MvServices* services) { return MakeLoader(services, kInfo); }
