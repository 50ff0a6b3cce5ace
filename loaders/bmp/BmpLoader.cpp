// Export to BMP: uncompressed 24-bit RGB.
#include "LoaderFrame.h"

namespace {

using namespace mv::loaders;

constexpr LoaderInfo kInfo{"L_BMP", "Точечный рисунок BMP", "*.bmp", false, true, Only(FileFormat::Bmp), FileFormat::Bmp};

}  // namespace

MV_EXPORT MvPlugin* PluginEntry(MvServices* services) { return MakeLoader(services, kInfo); }
