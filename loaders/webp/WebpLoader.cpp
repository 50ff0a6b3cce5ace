// Export to WebP, lossless.
#include "LoaderFrame.h"

namespace {

using namespace mv::loaders;

constexpr LoaderInfo kInfo{"L_WebP", "Изображение WebP", "*.webp", false, true, Only(FileFormat::WebP), FileFormat::WebP};

}  // namespace

MV_EXPORT MvPlugin* PluginEntry(MvServices* services) { return MakeLoader(services, kInfo); }
