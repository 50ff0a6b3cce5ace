// The scheme view: draws the board and turns the board's mouse gestures into
// selection, dragging, placing of new nodes and the node popup menu.
//
// The view holds no document data. It reads and changes the scheme passed
// into each call (the controller passes the model), and reads filter chains,
// blend sources and positions through its own copy of the host services
// table. Every picture is drawn into an off-screen Bitmap first and handed to
// the board (`Canvas`) in one operation.
//
// Ownership: the view owns its drag bitmaps and its scratch memory; `Canvas`,
// `PopupMenu` and `ToolWindows` are lent by the main window and must outlive
// the view's use of them. Every Bitmap returned by MakeBitmap,
// MakeSampleBitmap and RenderScheme is new and belongs to the caller.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <QPoint>
#include <Qt>

#include "Bitmap.h"
#include "BoardSurface.h"
#include "Canvas.h"
#include "MvPlugin.h"

class QMenu;

namespace mv {

class TSchemeManager;

/// A rectangle given by its edges: [Left, Right) x [Top, Bottom).
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

/// Opens the windows the view shows beside a node. The main window implements
/// it (with the layers and combine windows); tests record the calls.
class ToolWindowFactory {
 public:
  virtual ~ToolWindowFactory() = default;
  /// Creates and shows, without waiting, the layers window of `image` with its
  /// top-left corner at `screen`. `services` is the view's table, lent.
  virtual void ShowLayers(MvServices* services, int image, QPoint screen) = 0;
  /// The same for the blend (combine) window of `image`.
  virtual void ShowCombine(MvServices* services, int image, QPoint screen) = 0;
  /// Pops the node menu up at `screen`; the default calls QMenu::popup.
  virtual void ShowPopupMenu(QMenu* menu, QPoint screen);
};

/// The channel list written after a channel-honouring filter's name:
/// "R", "G", "B" joined by ", " for the set bits, or "все слои отключены".
std::string ChannelList(std::uint8_t mask);

/// The node under the board point (x, y): the one with the highest index
/// whose preview contains the point strictly inside (its frame, first row and
/// first column do not count), or -1.
int HitTest(TSchemeManager& scheme, int x, int y, int sampleWidth, int sampleHeight, const TRect& viewRect);

class TSchemeView {
 public:
  TSchemeView();
  virtual ~TSchemeView();
  TSchemeView(const TSchemeView&) = delete;
  TSchemeView& operator=(const TSchemeView&) = delete;

  // ---- virtual operations, in slot order -----------------------------------
  virtual int GetHotImage();
  /// Pixel (x, y) := pixels[x][y] for the rectangle r, in a
  /// (r.Width()) x (r.Height()) bitmap (image coordinates).
  virtual Bitmap MakeBitmap(PixelColumns pixels, TRect r);
  /// The width x height preview of the source rectangle of `pixels`, sampled
  /// nearest-neighbour by truncation. An empty source gives a white preview.
  virtual Bitmap MakeSampleBitmap(PixelColumns pixels, int width, int height, TRect source);
  /// The whole board: grid, then every node but skipImage in index order
  /// (frame, preview, captions, and with drawLinks its blend links).
  virtual Bitmap RenderScheme(TSchemeManager* scheme, bool drawLinks, TRect area, int skipImage);
  /// The two navy lines from a generated node's sources to the node.
  virtual void DrawBlendLinks(mv::Canvas& surface, int image);
  /// A node was appended: it follows the pointer until the next release.
  virtual void ImageAdded(TSchemeManager* scheme, int image);
  virtual void ImagesDeleted(TSchemeManager* scheme);
  virtual void ImageRestored(TSchemeManager* scheme, int image);
  /// Opens the blend window beside the node under the pointer.
  virtual void ShowBlendOptions(TSchemeManager* scheme);
  virtual void Paint(TSchemeManager* scheme);
  virtual void Resize(TSchemeManager* scheme, int horizontalPosition, int verticalPosition, TRect client);
  virtual void MouseDown(TSchemeManager* scheme, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  virtual void MouseMove(TSchemeManager* scheme, Qt::KeyboardModifiers shift, int x, int y);
  virtual void MouseUp(TSchemeManager* scheme, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  /// Opens the layers window beside the node under the pointer.
  virtual void ShowFilterOptions(TSchemeManager* scheme);

  // ---- fields ----------------------------------------------------------------
  int SampleWidth = 160;   // preview size of every node on the board
  int SampleHeight = 120;
  bool SnapToGrid = false; // dragged nodes snap to multiples of GridStep
  bool ShowGrid = false;   // the grid of dots is drawn
  const int GridStep = 8;
  /// The view's own copy of the host services, filled by InitServices; lent by
  /// address to the layers and blend windows.
  MvServices Services{};
  /// Where finished pictures go. Not owned; set through the controller.
  BoardCanvas* Canvas = nullptr;
  /// The node popup menu. Not owned.
  QMenu* PopupMenu = nullptr;
  /// The visible board: the board's client rectangle (Left and Top are 0).
  TRect ViewRect;
  int DragImage = -1;
  int DragOffsetX = 0;     // pointer minus the dragged node's Left / Top
  int DragOffsetY = 0;
  bool Dragging = false;
  Bitmap DragSample;       // preview of the dragged node; empty unless dragging
  int HotImage = -1;       // node under the pointer, found while no button is held
  Qt::MouseButton LastButton = Qt::NoButton;
  Qt::KeyboardModifiers LastShift;
  int LastX = 0;           // pointer of the last mouse event, board coordinates
  int LastY = 0;
  bool ButtonDown = false; // a button is held, or a new node is being placed
  Bitmap DragBackground;   // the board without the dragged node; empty unless dragging
  /// Opens the node's tool windows and pops the menu up. Not owned; without
  /// it no tool window opens and the menu pops up directly.
  ToolWindowFactory* ToolWindows = nullptr;

 private:
  /// Samples into `target` with the preview's top-left corner at (dx, dy),
  /// touching only the pixels that fall inside the target and outside the
  /// `covers` (target rectangles that are painted over later anyway).
  void SamplePreview(Bitmap& target, int dx, int dy, PixelColumns pixels, int width, int height, TRect source,
                     const std::vector<TRect>* covers = nullptr);
  void DrawCaptions(mv::Canvas& canvas, int image, int x, int y);
  void HandOver(Bitmap& picture);
  Bitmap TakeScratch(int width, int height);
  QPoint BoardToScreen(int x, int y);
  bool IsNode(TSchemeManager* scheme, int image);

  Bitmap scratch_;              // memory of the previously shown picture, reused
  std::vector<int> sampleCols_; // per preview: source column of every preview column
  std::vector<int> sampleRows_; // per preview: source row of every preview row
  std::vector<TRect> previews_; // per paint: each node's preview rectangle in the picture
  std::vector<TRect> covers_;   // per node: the later previews over its own
  std::vector<std::pair<int, int>> hidden_;  // per band: covered row ranges
};

}  // namespace mv
