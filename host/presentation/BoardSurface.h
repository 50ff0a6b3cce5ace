// The board's drawing surface: where the scheme view puts every finished
// picture of the board.
//
// The view draws the whole board into an off-screen Bitmap and hands it over
// in one operation (BoardCanvas::ShowPicture). BoardSurface is the widget the
// main window shows as its board: it keeps the last picture it was handed and
// repaints from it; it never draws anything of its own. Tests implement
// BoardCanvas to capture pictures without a widget.
#pragma once

#include <functional>

#include <QPoint>
#include <QWidget>

#include "Bitmap.h"

namespace mv {

/// What the scheme view needs of the board it draws on.
class BoardCanvas {
 public:
  virtual ~BoardCanvas() = default;
  /// Takes a finished picture and shows it with its top-left corner at the
  /// board's (0, 0). The picture is swapped in, not copied: `picture` comes
  /// back holding the previously shown one (empty the first time), which the
  /// caller may reuse as scratch memory or drop.
  virtual void ShowPicture(Bitmap& picture) = 0;
  /// A point of the board (client coordinates) in screen coordinates.
  virtual QPoint ToScreen(QPoint board) const = 0;
};

/// The board widget. Mouse tracking is on, so that moves with no button held
/// reach the hooks; the hooks are how the main window receives the board's
/// events without subclassing it.
class BoardSurface : public QWidget, public BoardCanvas {
 public:
  explicit BoardSurface(QWidget* parent = nullptr);

  void ShowPicture(Bitmap& picture) override;
  QPoint ToScreen(QPoint board) const override;

  /// The picture shown now (empty before the first hand-over).
  const Bitmap& Picture() const { return picture_; }

  // Board events, in client coordinates. Unset hooks are not called.
  std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseDown;
  std::function<void(Qt::KeyboardModifiers, int x, int y)> OnMouseMove;
  std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseUp;
  std::function<void()> OnDoubleClick;
  std::function<void()> OnResized;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  Bitmap picture_;
};

}  // namespace mv
