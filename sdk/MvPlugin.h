// Marvolen plug-in contract.
//
// This one header is everything a plug-in library needs: the three abstract
// plug-in classes, the exported entry point and the table of host functions.
// A plug-in includes this header (and, for its texts, MvText.h) and the C++
// standard library, nothing else of the host.
//
// ----------------------------------------------------------------------------
// Who owns what
// ----------------------------------------------------------------------------
// * Plug-in objects. PluginEntry makes one object with the library's own
//   allocator. From the moment PluginEntry returns it belongs to the host,
//   which calls Initialize once, any other operation any number of times, then
//   Finalize, and finally deletes the object through its virtual destructor
//   (so the memory returns to the allocator that made it). A refused object
//   (duplicate identifier, or neither a filter nor a loader) is deleted at once
//   without Initialize or Finalize.
// * Libraries. The library of a registered object stays loaded for the whole
//   run. A library whose object was refused or never made is unloaded.
// * Texts. Every text crosses by value as std::string holding CP1251 text
//   (file names are the exception: native paths, UTF-8 bytes on Linux). The
//   receiver owns its copy; nobody keeps a pointer into the other side's text.
// * Pixel arrays. A PixelColumns returned by GetImagePixels is lent for the
//   length of the current call into the plug-in; it stays valid until that call
//   returns or until the plug-in itself calls an entry that resizes or replaces
//   the node's image (SetImage, SetImageWidth, SetImageHeight). Never free it,
//   never keep it. Arrays handed to SetImage/SetImagePixels are copied and stay
//   the caller's.
// * Arrays returned by GetImageFilterIndexes / GetImageFilterIds are made with
//   array-new by the host and released by the caller with array-delete.
// * The services table belongs to the host and outlives every library. A
//   plug-in keeps the pointer it was given in PluginEntry and neither copies
//   nor frees the table.
//
// ----------------------------------------------------------------------------
// Threads
// ----------------------------------------------------------------------------
// Everything runs on the host's user-interface thread. The host calls plug-in
// operations one at a time; a plug-in calls into the host only from within such
// a call. No two calls overlap, so neither side needs locks. The progress
// entries (43 to 46) let the host process pending window messages, so host
// code (a repaint, say) may run inside them.
//
// ----------------------------------------------------------------------------
// Binary compatibility (Linux x86-64)
// ----------------------------------------------------------------------------
// A plug-in is a shared library named "*.plugin" exporting PluginEntry with C
// linkage. The classes below have default visibility so that their run-time
// type information is shared and the host's dynamic_cast works across the
// library boundary. Host and plug-ins use the same shared libstdc++ (one
// allocator, one std::string layout). Nothing may throw across this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(_WIN32)
#define MV_EXPORT extern "C" __declspec(dllexport)
#define MV_SDK_CLASS
#else
/// Put in front of the definition of PluginEntry in a plug-in library.
#define MV_EXPORT extern "C" __attribute__((visibility("default")))
/// Keeps the interface classes' type information visible in hidden-by-default builds.
#define MV_SDK_CLASS __attribute__((visibility("default")))
#endif

/// One pixel: red in bits 0-7, green in bits 8-15, blue in bits 16-23.
/// Bits 24-31 are zero in every pixel the host or a filter writes.
using MvPixel = std::uint32_t;

/// The one pixel storage shape: an array of `width` column pointers, each to
/// `height` pixels. Pixel (x, y) is columns[x][y], row 0 at the top. Width and
/// height travel separately.
using PixelColumns = MvPixel**;

/// Channel mask bits: bit 0 red, bit 1 green, bit 2 blue. Other bits are zero
/// in every mask the host stores; a filter ignores them.
enum : std::uint8_t { MV_CHANNEL_RED = 1, MV_CHANNEL_GREEN = 2, MV_CHANNEL_BLUE = 4, MV_CHANNEL_ALL = 7 };

/// White, the colour of pixels the host creates without content.
inline constexpr MvPixel MV_WHITE = 0x00FFFFFFu;

/// Base of every plug-in class. An object is only its dispatch table: no data.
/// Virtual slots, in order: 0 destructor, 1 GetAuthor ... 8 Finalize.
class MV_SDK_CLASS MvPlugin {
 public:
  /// Slot 0. The host destroys a plug-in object only through this destructor.
  virtual ~MvPlugin() {}
  /// Slot 1. Author's name (CP1251), shown after "Автор=" in the plug-in list.
  virtual std::string GetAuthor() = 0;
  /// Slot 2. Maker's name, shown after "Компания=".
  virtual std::string GetCompany() = 0;
  /// Slot 3. Rights statement, shown after "Права=".
  virtual std::string GetRights() = 0;
  /// Slot 4. Web address, shown after "Интернет=".
  virtual std::string GetWebAddress() = 0;
  /// Slot 5. E-mail address, shown after "Почта=".
  virtual std::string GetEmail() = 0;
  /// Slot 6. Identifier of the plug-in class, unique within its kind (for
  /// example "F_Shatter"). Compared byte for byte, case-sensitively; names the
  /// filter in chains and project files, so it must never change.
  virtual std::string GetIdentifier() = 0;
  /// Slot 7. Called once, after the whole plug-in folder was loaded. false: the
  /// host finalises and deletes the object again, without a message.
  virtual bool Initialize() = 0;
  /// Slot 8. Called once, just before the host deletes the object. The result
  /// is ignored.
  virtual bool Finalize() = 0;
};

/// An image filter. Slots 0-8 as MvPlugin, then 9 SupportsChannels ... 13 GetName.
class MV_SDK_CLASS MvFilter : public MvPlugin {
 public:
  /// Slot 9. true: the host calls ApplyChannels; false: it calls Apply.
  virtual bool SupportsChannels() = 0;
  /// Slot 10. true when ApplyChannels changes only the channels named by its
  /// mask; the board then lists the entry's channels after the filter name.
  virtual bool UsesChannelMask() = 0;
  /// Slot 11. Processes the current image of node `image`, read and written
  /// through the services table (GetImagePixels, GetImageWidth, GetImageHeight,
  /// and SetImagePixels for a result built in a buffer of the filter's own).
  /// `mask` is 7 when the filter is first added to a node and the chain entry's
  /// stored mask when the chain is re-run. The result is ignored by the host.
  virtual bool ApplyChannels(int image, std::uint8_t mask) = 0;
  /// Slot 12. The processing entry of a filter whose SupportsChannels is false.
  /// `reapply` is 0 when the filter is first added, 1 when a chain is re-run.
  virtual bool Apply(int image, int reapply) = 0;
  /// Slot 13. Display name in Russian (CP1251): menu item, board caption,
  /// layers window list, plug-in list.
  virtual std::string GetName() = 0;
};

/// An image file reader and writer. Slots 0-8 as MvPlugin, then 9 CanLoad ... 15 GetFileMask.
class MV_SDK_CLASS MvLoader : public MvPlugin {
 public:
  /// Slot 9. true: offered in the open dialog of "Добавить изображение...".
  virtual bool CanLoad() = 0;
  /// Slot 10. true: offered in the save dialog of the export command.
  virtual bool CanSave() = 0;
  /// Slot 11. Writes the current image of node *image (as GetImagePixels,
  /// GetImageWidth and GetImageHeight give it) to `fileName` (a native path).
  /// false: the host shows "Не удалось сохранить изображение!".
  virtual bool SaveImage(int* image, std::string fileName) = 0;
  /// Slot 12. Reads `fileName` into node *image. The host has just appended an
  /// empty node (0 x 0, no pixels) and passes the address of its index. The
  /// loader gives the node its size and pixels through SetImage (or
  /// SetImageWidth, SetImageHeight and SetImagePixels) and returns true. It may
  /// store another index at the address: the host continues with the value it
  /// finds there and copies that node's current image into its base image.
  /// false: the host reports "Ошибка при загрузке изображения" and keeps the
  /// empty node.
  virtual bool LoadImage(int* image, std::string fileName) = 0;
  /// Slot 13. Asked before LoadImage. false: the host reports "Неверный формат
  /// файла, изображение не может быть загружено" and does not call LoadImage.
  virtual bool CanLoadFile(std::string fileName) = 0;
  /// Slot 14. Display name of the loader and its format (CP1251): the
  /// description part of its file-dialog filter and its plug-in list line.
  virtual std::string GetName() = 0;
  /// Slot 15. File mask of the format in file-dialog syntax, patterns separated
  /// by ';' (for example "*.jpg;*.jpeg"): the pattern part of the filter.
  virtual std::string GetFileMask() = 0;
};

/// The host services table: 48 plain function pointers, in this binding order.
/// Plug-ins built separately call entries by position, so entries are never
/// reordered, inserted or removed. Entry n sits at byte offset 8 * n.
///
/// Conventions for every entry:
/// * `image` is a node index, 0 <= image < GetImageCount(); `k` a position in a
///   node's filter chain, 0 <= k < GetImageFilterCount(image); `i` a registry
///   index. The host checks them: an invalid index gets a neutral answer (0,
///   -1, null, false, or nothing done) instead of touching memory.
/// * Entries 0-10, 40, 41 and 43-47 may be called at any time (also from
///   PluginEntry and Initialize); entries 11-39 and 42 only from within an image
///   operation (ApplyChannels, Apply, LoadImage, SaveImage, CanLoadFile).
struct MvServices {
  // --- 0-10: the plug-in registry --------------------------------------------
  /// 0. Number of loaders plus number of filters.
  int (*GetPluginCount)();
  /// 1. Number of registered loaders.
  int (*GetLoaderCount)();
  /// 2. Number of registered filters.
  int (*GetFilterCount)();
  /// 3. Loader at registry index i (null when i is out of range). Lent: never delete it.
  MvLoader* (*GetLoader)(int i);
  /// 4. Filter at registry index i (null when i is out of range). Lent: never delete it.
  MvFilter* (*GetFilter)(int i);
  /// 5. GetIdentifier of loader i ("" when out of range).
  std::string (*GetLoaderId)(int i);
  /// 6. GetIdentifier of filter i ("" when out of range).
  std::string (*GetFilterId)(int i);
  /// 7. Index of the first loader whose identifier equals id byte for byte, else -1.
  int (*FindLoaderIndex)(std::string id);
  /// 8. Index of the first filter whose identifier equals id byte for byte, else -1.
  int (*FindFilterIndex)(std::string id);
  /// 9. A loader with that identifier is registered.
  bool (*HasLoader)(std::string id);
  /// 10. A filter with that identifier is registered.
  bool (*HasFilter)(std::string id);

  // --- 11-17: a node's current image ------------------------------------------
  /// 11. The node's current image: the live buffer, not a copy (see ownership above).
  PixelColumns (*GetImagePixels)(int image);
  /// 12. Current width (columns).
  int (*GetImageWidth)(int image);
  /// 13. Current height (pixels per column).
  int (*GetImageHeight)(int image);
  /// 14. SetImageWidth(image, width), SetImageHeight(image, height), then
  /// SetImagePixels(image, p). A null p leaves a white image of the new size.
  void (*SetImage)(int image, PixelColumns p, int width, int height);
  /// 15. Copies p[x][y] into the current image for every x < width, y < height
  /// of the node. A null p does nothing. p stays the caller's.
  void (*SetImagePixels)(int image, PixelColumns p);
  /// 16. Resizes the current image to `width` columns, keeping the overlapping
  /// pixels and making new ones white. The node's base image is untouched.
  /// Invalidates the array GetImagePixels returned.
  void (*SetImageWidth)(int image, int width);
  /// 17. The same for the column length.
  void (*SetImageHeight)(int image, int height);

  // --- 18-22: a node's filter chain -------------------------------------------
  /// 18. *count := chain length; returns an array-new'd array whose element k is
  /// the registry index of chain entry k's filter (-1 when it is not loaded).
  /// The caller releases it with delete[].
  int* (*GetImageFilterIndexes)(int image, unsigned* count);
  /// 19. *count := chain length; returns an array-new'd array of the entries'
  /// identifiers. The caller releases it with delete[].
  std::string* (*GetImageFilterIds)(int image, unsigned* count);
  /// 20. Length of the node's filter chain.
  int (*GetImageFilterCount)(int image);
  /// 21. Channel mask of chain entry k.
  std::uint8_t (*GetFilterChannels)(int image, int k);
  /// 22. When the mask differs from the stored one: store it, re-run the node's
  /// chain and update the nodes blended from it.
  void (*SetFilterChannels)(int image, int k, std::uint8_t mask);

  // --- 23-29: nodes on the board ----------------------------------------------
  /// 23. Number of nodes.
  int (*GetImageCount)();
  /// 24. Board x of the node's top-left corner.
  int (*GetImageLeft)(int image);
  /// 25. Board y of the node's top-left corner.
  int (*GetImageTop)(int image);
  /// 26. Moves the node horizontally; no redraw.
  void (*SetImageLeft)(int image, int x);
  /// 27. Moves the node vertically; no redraw.
  void (*SetImageTop)(int image, int y);
  /// 28. The node is selected.
  bool (*IsImageSelected)(int image);
  /// 29. Selects or deselects the node; no redraw.
  void (*SetImageSelected)(int image, bool selected);

  // --- 30-36: blended (generated) nodes ---------------------------------------
  /// 30. The node was made by blending two nodes.
  bool (*IsImageGenerated)(int image);
  /// 31. First blend source; -1 for a plain node.
  int (*GetFirstSource)(int image);
  /// 32. Second blend source; -1 for a plain node.
  int (*GetSecondSource)(int image);
  /// 33. Blend ratio 0..100 (weight of the first source); -1 for a plain node.
  int (*GetBlendRatio)(int image);
  /// 34. Ignored unless 0 <= ratio <= 100 and the node is generated; otherwise
  /// stores it, recomputes the blend, re-runs the node's chain and its dependents.
  void (*SetBlendRatio)(int image, int ratio);
  /// 35. Appends a node blending `first` and `second` at ratio 50, then sets the
  /// ratio (a ratio outside 0..100 leaves 50). true on success. No redraw.
  bool (*BlendImages)(int first, int second, int ratio);
  /// 36. Recomputes every node generated, directly or not, from this one.
  void (*UpdateDependents)(int image);

  // --- 37-39: per-entry parameter words ---------------------------------------
  /// 37. Returns Param1 of chain entry k and writes its Param2 to *second.
  int (*GetFilterParams)(int image, int k, int* second);
  /// 38. Param1 := first, Param2 := second. Nothing is re-run; not saved in projects.
  void (*SetFilterParams)(int image, int k, int first, int second);
  /// 39. 0 when Param1 is non-zero and Param2 is zero, else 1.
  int (*CheckFilterParams)(int image, int k);

  // --- 40-47: the main window -------------------------------------------------
  /// 40. The main window (a QWidget* in this host; null without a window).
  void* (*GetMainWindow)();
  /// 41. The board window (a QWidget* in this host; null without a window).
  void* (*GetBoardWindow)();
  /// 42. Re-lays out and repaints the board.
  void (*RefreshBoard)();
  /// 43. Shows or hides the progress bar, then processes pending window messages.
  void (*ShowProgress)(bool visible);
  /// 44. Progress minimum, then processes pending window messages.
  void (*SetProgressMin)(int value);
  /// 45. Progress maximum, then processes pending window messages.
  void (*SetProgressMax)(int value);
  /// 46. Progress position, then processes pending window messages.
  void (*SetProgressPosition)(int value);
  /// 47. Status line := text (CP1251; empty empties it). Unless delayMs is -1,
  /// the idle text "Ожидание действий" returns after delayMs milliseconds.
  void (*ShowStatus)(std::string text, int delayMs);
};

static_assert(sizeof(void*) == 8, "the binary contract is defined for 64-bit builds");
static_assert(sizeof(MvServices) == 48 * sizeof(void*), "MvServices has exactly 48 entries");
static_assert(offsetof(MvServices, GetPluginCount) == 0);
static_assert(offsetof(MvServices, GetImagePixels) == 8 * 11);
static_assert(offsetof(MvServices, SetImage) == 8 * 14);
static_assert(offsetof(MvServices, GetImageFilterIndexes) == 8 * 18);
static_assert(offsetof(MvServices, GetImageCount) == 8 * 23);
static_assert(offsetof(MvServices, BlendImages) == 8 * 35);
static_assert(offsetof(MvServices, GetMainWindow) == 8 * 40);
static_assert(offsetof(MvServices, RefreshBoard) == 8 * 42);
static_assert(offsetof(MvServices, ShowStatus) == 8 * 47);

/// The one export of a plug-in library, with C linkage, named exactly
/// "PluginEntry". It stores `services` in a variable global to the library,
/// makes one new object of the library's concrete class and returns it (null
/// when it cannot be made). It calls no host function and touches no image.
/// The host calls it once per load of the library.
///
/// In the plug-in:   MV_EXPORT MvPlugin* PluginEntry(MvServices* services) { ... }
extern "C" MvPlugin* PluginEntry(MvServices* services);

/// The type of PluginEntry, for the host's symbol lookup.
using MvPluginEntryFn = MvPlugin* (*)(MvServices*);
