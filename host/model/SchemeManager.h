// The scheme: the document of the program.
//
// An ordered set of image nodes on a board. Each node holds its base image,
// its current image (the base run through its filter chain), a position, a
// selection flag and, for a generated node, the two nodes it blends.
//
// Ownership. The scheme owns every pixel array of every node. Arrays handed in
// (AddImageAt, SetPixels, SetBasePixels) are copied and stay the caller's.
// Arrays handed out (GetPixels, GetBasePixels) stay the scheme's: the receiver
// may read and write pixels in place but neither keeps nor frees them, and
// they become invalid when the image is resized or replaced (SetWidth,
// SetHeight, ResetImage, CommitImage, ComputeBlend, DeleteImage, Clear). An
// array returned by GetDependents belongs to the caller (delete[]).
//
// Memory. Every image is one allocation made by the scheme: the array of
// column pointers followed by one contiguous pixel block, column x at
// block + x * height. Only the scheme's own operations make, resize or free
// node images; nobody else stores an array into a TImageEntry or frees one.
// The scheme reads and writes its images through that block, and after every
// plug-in call it restores the column pointers of the node it processed, so
// a plug-in that overwrote them cannot make the host touch foreign memory.
// An image is at most kMaxImageSide columns or rows and kMaxImagePixels
// pixels; larger requests are refused (SetWidth... do nothing, the add
// operations throw std::bad_alloc).
//
// Failures. Operations that change an existing node (SetWidth, ResetImage,
// CommitImage, ComputeBlend ...) allocate before they release, so on
// std::bad_alloc the node is unchanged and the exception propagates. The add
// operations append nothing and propagate it. The operations that run filter
// chains (ApplyFilter, RunFilterChain, RestoreImage, UpdateDependents,
// SetFilterChannels, SetBlendRatio) catch it, stop and say so through
// OnStatusText. An exception escaping a plug-in's ApplyChannels or Apply is
// caught where the scheme calls it: the chain goes on and OnStatusText names
// the filter.
//
// Indices. Every operation checks its image index and chain position and
// ignores a call with a bad one (a getter answers 0, -1, null or false), so
// a misbehaving plug-in reaching the scheme through the services table
// cannot touch memory out of range.
//
// Threads. User-interface thread only. Filters run synchronously inside
// ApplyFilter / RunFilterChain and call back into the scheme (GetPixels,
// SetWidth, SetPixels ... on the node being processed); those re-entrant calls
// are supported.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "MvPlugin.h"

namespace mv {

class TPluginManager;

/// A notification: a callable bound to an object. An empty one is not called.
using IntNotify = std::function<void(int)>;
using BoolNotify = std::function<void(bool)>;
using TextNotify = std::function<void(const std::string&)>;  // UTF-8

/// One applied filter.
struct TFilterEntry {
  std::string Identifier;        // the filter plug-in's identifier (raw bytes, CP1251)
  std::uint8_t Channels = 7;     // bit 0 red, bit 1 green, bit 2 blue
  std::int32_t Param1 = 0;       // parameter words a plug-in may keep; never saved
  std::int32_t Param2 = 0;
};

/// One node. Width/Height give the shape of Current, BaseWidth/BaseHeight
/// that of Base. The record's pixel pointers are owned by the scheme.
struct TImageEntry {
  PixelColumns Base = nullptr;
  PixelColumns Current = nullptr;
  std::uint32_t BaseWidth = 0;
  std::uint32_t BaseHeight = 0;
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::deque<TFilterEntry> FilterChain;
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  bool Selected = false;
  bool Generated = false;
  std::int32_t FirstSource = -1;   // image index; -1 for a plain node
  std::int32_t SecondSource = -1;  // image index; -1 for a plain node
  std::uint32_t BlendRatio = 0;    // weight of the first source in percent, 0..100
};

class TSchemeManager {
 public:
  /// The largest image the scheme makes: columns or rows, and pixels in all.
  static constexpr std::uint32_t kMaxImageSide = 1u << 20;
  static constexpr std::uint64_t kMaxImagePixels = 1ull << 30;

  TSchemeManager();
  /// Releases every node and its pixel arrays.
  virtual ~TSchemeManager();
  TSchemeManager(const TSchemeManager&) = delete;
  TSchemeManager& operator=(const TSchemeManager&) = delete;

  // ---- virtual operations, in slot order ------------------------------------
  /// The node and every node generated from it, directly or not: index first,
  /// then depth-first pre-order, each node once.
  virtual std::vector<int> CollectWithDependents(int index);
  /// Direct dependents in ascending order; null and count 0 when there are none.
  /// The caller releases the array with delete[].
  virtual int* GetDependents(int index, int& count);
  virtual PixelColumns GetPixels(int index);
  virtual PixelColumns GetBasePixels(int index);
  virtual int GetWidth(int index);
  virtual int GetHeight(int index);
  virtual int GetBaseWidth(int index);
  virtual int GetBaseHeight(int index);
  /// Resizes Current to `width` columns: overlapping pixels kept, new ones white.
  virtual void SetWidth(int index, unsigned width);
  /// Resizes Current to `height` rows: overlapping pixels kept, new ones white.
  virtual void SetHeight(int index, unsigned height);
  virtual void SetBaseWidth(int index, unsigned width);
  virtual void SetBaseHeight(int index, unsigned height);
  /// Copies source[x][y] into Current for the node's whole current shape; null does nothing.
  virtual void SetPixels(int index, PixelColumns source);
  virtual void SetBasePixels(int index, PixelColumns source);
  virtual int GetLeft(int index);
  virtual int GetTop(int index);
  virtual void SetLeft(int index, int x);
  virtual void SetTop(int index, int y);
  virtual bool GetSelected(int index);
  virtual void SetSelected(int index, bool selected);
  virtual int GetImageCount();
  virtual int GetChainLength(int index);
  virtual std::string GetFilterIdentifier(int index, int k);
  virtual std::uint8_t GetFilterChannels(int index, int k);
  /// When the mask differs: store it, re-run the chain, update dependents.
  virtual void SetFilterChannels(int index, int k, std::uint8_t mask);
  virtual bool IsGenerated(int index);
  virtual int GetFirstSource(int index);   // -1 for a plain node
  virtual int GetSecondSource(int index);  // -1 for a plain node
  virtual int GetBlendRatio(int index);    // -1 for a plain node
  /// Ignored unless 0 <= ratio <= 100 and the node is generated; otherwise
  /// store, recompute the blend, re-run the chain, update dependents.
  virtual void SetBlendRatio(int index, int ratio);
  virtual std::pair<std::int32_t, std::int32_t> GetFilterParams(int index, int k);
  virtual void SetFilterParams(int index, int k, int param1, int param2);

  // ---- node operations ---------------------------------------------------------
  /// AddImageAt(pixels, width, height, 0, 0).
  void AddImage(PixelColumns pixels, unsigned width, unsigned height);
  /// Appends a plain node (white when pixels is null); its index is the old count.
  void AddImageAt(PixelColumns pixels, unsigned width, unsigned height, int left, int top);
  /// Appends a generated node of the smaller width and height of the two
  /// sources' current images, and computes it.
  void AddBlendedImage(int first, int second, int ratio, bool showProgress);
  /// Rebuilds base and current image of a generated node from its sources.
  void ComputeBlend(int index, bool showProgress);
  /// Removes the node and every node generated from it.
  void DeleteImage(int index);
  /// Removes all nodes.
  void Clear();

  // ---- filter chains -----------------------------------------------------------
  /// Appends registry filter filterIndex to the chain with mask 7, runs it once, updates dependents.
  void ApplyFilter(int index, int filterIndex);
  /// Current := Base through the whole chain (nothing at all for an empty chain); updates dependents.
  void RunFilterChain(int index);
  /// Current := a copy of Base, with its size.
  void ResetImage(int index);
  /// Base := a copy of Current, with its size.
  void CommitImage(int index);
  /// Current := Base, chain emptied, dependents updated.
  void RestoreImage(int index);
  /// Recomputes every node generated, directly or not, from this one.
  void UpdateDependents(int index);
  /// false only when entry k's Param1 is non-zero and its Param2 is zero.
  bool CheckFilterParams(int index, int k);
  /// Appends an entry to the chain without running anything (the project reader).
  void AppendFilterEntry(int index, const TFilterEntry& entry);

  // ---- project file ------------------------------------------------------------
  /// Writes the whole scheme to `fileName` (a native path). true when every
  /// byte was written; the previous file is replaced only then.
  bool SaveToFile(std::string fileName);
  /// Rebuilds the scheme from `fileName`. true when the whole scheme was rebuilt.
  bool LoadFromFile(std::string fileName);

  // ---- fields --------------------------------------------------------------------
  /// The plug-in registry used by the filter operations. Not owned.
  TPluginManager* PluginManager = nullptr;
  IntNotify OnProgressMin;
  IntNotify OnProgressMax;
  IntNotify OnProgressPosition;
  BoolNotify OnProgressVisible;
  TextNotify OnStatusText;

 protected:
  /// Appends a plain node as AddImageAt does but leaves the pixels of both
  /// images unset, for a caller that writes all of them at once (the project
  /// reader): a fresh image is not written three times.
  void AddUnfilledImageAt(unsigned width, unsigned height, int left, int top);

  std::deque<TImageEntry> Images;

 private:
  TImageEntry* Node(int index);
  TFilterEntry* Entry(int index, int k);
  MvFilter* FindFilter(const std::string& identifier);
  /// Calls the filter's processing entry on node `index`, catching whatever
  /// it throws, then restores the node's column pointers.
  void CallFilter(MvFilter* filter, int index, std::uint8_t mask, bool reapply);
  void ReportFilterError(MvFilter* filter, const std::string& identifier);
  void ReportOutOfMemory();
  /// Current := Base through the chain, without touching dependents. false
  /// when nodes were removed meanwhile (indices are stale: stop).
  /// currentIsBase: ComputeBlend has just written Current equal to Base, so
  /// the copy that starts a run is skipped.
  bool RunChain(int index, bool currentIsBase = false);
  /// Recomputes every node generated from `index` once, in ascending order.
  void UpdateDependentsOnce(int index);
  /// The 256 x 256 table of one channel's blend at `ratio`, [c1 << 8 | c2].
  const std::uint8_t* BlendTable(std::uint32_t ratio);

  std::vector<std::uint8_t> BlendTable_;  // for BlendTableRatio_; empty until the first blend
  std::uint32_t BlendTableRatio_ = 0;
  std::uint64_t Removals_ = 0;   // bumped whenever nodes are removed (indices shift)
  std::uint64_t Revision_ = 0;   // bumped whenever pixel memory is released
  int Nesting_ = 0;              // plug-in calls in progress
};

}  // namespace mv
