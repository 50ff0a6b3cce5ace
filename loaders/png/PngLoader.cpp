// Export to PNG: lossless, 8-bit RGB.
#include "LoaderFrame.h"

namespace {

using namespace mv::loaders;

constexpr LoaderInfo kInfo{"L_PNG", "Изображение PNG", "*.png", false, true, Only(FileFormat::Png), FileFormat::Png};

}  // namespace

MV_EXPORT MvPlugin* PluginEntry(MvServices* services) { return MakeLoader(services, kInfo); }
