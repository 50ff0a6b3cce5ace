// Export to JPEG: quality 92, no chroma subsampling (4:4:4).
#include "LoaderFrame.h"

namespace {

using namespace mv::loaders;

constexpr LoaderInfo kInfo{"L_JPEG", "Изображение JPEG", "*.jpg;*.jpeg", false, true, Only(FileFormat::Jpeg), FileFormat::Jpeg};

}  // namespace

MV_EXPORT MvPlugin* PluginEntry(MvServices* services) { return MakeLoader(services, kInfo); }
