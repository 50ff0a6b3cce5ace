#include "LoaderFrame.h"

#include <new>

#include "MvText.h"

namespace mv::loaders {
namespace {

// The host's table, kept for the life of the library.
MvServices* g_services = nullptr;

bool HasImageEntries(const MvServices* s) {
  return s && s->GetImagePixels && s->GetImageWidth && s->GetImageHeight && s->SetImage;
}

// The node the host appended: sized through SetImage, then filled through
// its live columns, so the pixels are written once.
class NodeTarget final : public PixelTarget {
 public:
  explicit NodeTarget(int image) : image_(image) {}

  PixelColumns Prepare(int width, int height) override {
    prepared_ = true;
    g_services->SetImage(image_, nullptr, width, height);
    if (g_services->GetImageWidth(image_) != width || g_services->GetImageHeight(image_) != height) return nullptr;
    PixelColumns columns = g_services->GetImagePixels(image_);
    if (!columns) return nullptr;
    for (int x = 0; x < width; ++x)
      if (!columns[x]) return nullptr;
    return columns;
  }

  /// After a failure: back to the empty node the host handed over.
  void Reset() {
    if (prepared_) g_services->SetImage(image_, nullptr, 0, 0);
  }

 private:
  int image_;
  bool prepared_ = false;
};

class TImageLoader final : public MvLoader {
 public:
  explicit TImageLoader(const LoaderInfo& info) : info_(info) {}

  std::string GetAuthor() override { return Utf8ToCp1251("Разработчики Marvolen"); }
  std::string GetCompany() override { return "Ruvelta"; }
  std::string GetRights() override { return Utf8ToCp1251("© Ruvelta, 2024"); }
  std::string GetWebAddress() override { return "https://ruvelta.example/marvolen"; }
  std::string GetEmail() override { return "marvolen@ruvelta.example"; }
  std::string GetIdentifier() override { return info_.identifier; }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }

  bool CanLoad() override { return info_.canLoad; }
  bool CanSave() override { return info_.canSave; }
  std::string GetName() override { return Utf8ToCp1251(info_.name); }
  std::string GetFileMask() override { return info_.mask; }

  bool CanLoadFile(std::string fileName) override {
    try {
      return info_.reads != 0 && CanReadImage(fileName, info_.reads);
    } catch (...) {
      return false;
    }
  }

  bool LoadImage(int* image, std::string fileName) override {
    if (!image || info_.reads == 0 || !HasImageEntries(g_services)) return false;
    const int index = *image;
    NodeTarget target(index);
    try {
      const ReadResult result = ReadImage(fileName, info_.reads, target);
      if (result == ReadResult::Failed) {
        target.Reset();
        return false;
      }
      if (result == ReadResult::Damaged && g_services->ShowStatus)
        g_services->ShowStatus(Utf8ToCp1251(kDamagedFileText), kStatusDelayMs);
      return true;
    } catch (...) {
      target.Reset();
      return false;
    }
  }

  bool SaveImage(int* image, std::string fileName) override {
    if (!image || !info_.canSave || !HasImageEntries(g_services)) return false;
    try {
      const int index = *image;
      const PixelColumns columns = g_services->GetImagePixels(index);
      const int width = g_services->GetImageWidth(index), height = g_services->GetImageHeight(index);
      return WriteImage(fileName, info_.writes, columns, width, height);
    } catch (...) {
      return false;
    }
  }

 private:
  const LoaderInfo& info_;
};

}  // namespace

MvPlugin* MakeLoader(MvServices* services, const LoaderInfo& info) {
  g_services = services;
  return new (std::nothrow) TImageLoader(info);
}

}  // namespace mv::loaders
