// Export to TIFF: uncompressed 8-bit RGB.
#include "LoaderFrame.h"

namespace {

using namespace mv::loaders;

constexpr LoaderInfo kInfo{"L_TIFF", "Изображение TIFF", "*.tif;*.tiff", false, true, Only(FileFormat::Tiff), FileFormat::Tiff};

}  // namespace

MV_EXPORT MvPlugin* PluginEntry(MvServices* services) { return MakeLoader(services, kInfo); }
