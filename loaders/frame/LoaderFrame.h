// The common frame of our loader plug-ins. A loader library is one table row
// and the exported entry point:
//
//   #include "LoaderFrame.h"
//   namespace {
//   constexpr mv::loaders::LoaderInfo kInfo{"L_PNG", "Изображение PNG", "*.png", false, true,
//                                            mv::loaders::Only(mv::loaders::FileFormat::Png),
//                                            mv::loaders::FileFormat::Png};
//   }
//   MV_EXPORT MvPlugin* PluginEntry(MvServices* s) { return mv::loaders::MakeLoader(s, kInfo); }
//
// The frame gives the constant answers, reads files into the node the host
// names (through SetImage, then the node's live columns) and writes a node's
// current image out. Nothing throws out of it.
#pragma once

#include "ImageFile.h"
#include "MvPlugin.h"

namespace mv::loaders {

struct LoaderInfo {
  const char* identifier;  ///< GetIdentifier, ASCII
  const char* name;        ///< GetName, UTF-8 (handed out as CP1251)
  const char* mask;        ///< GetFileMask
  bool canLoad;            ///< offered in the open dialog
  bool canSave;            ///< offered in the export dialog
  FormatSet reads;         ///< formats CanLoadFile and LoadImage accept
  FileFormat writes;       ///< format SaveImage writes (when canSave)
};

/// Keeps `services` for the library (its one global) and makes the loader
/// object, or returns null when it cannot be made. `info` must outlive it.
MvPlugin* MakeLoader(MvServices* services, const LoaderInfo& info);

/// The status text shown after a file that loaded with repaired damage (UTF-8).
inline constexpr const char* kDamagedFileText = "Файл изображения повреждён: часть изображения может быть искажена";

/// How long that text stays before the idle text returns, in milliseconds.
inline constexpr int kStatusDelayMs = 4000;

}  // namespace mv::loaders
