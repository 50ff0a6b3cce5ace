#include "BoardSurface.h"

#include <utility>

#include <QMouseEvent>
#include <QPainter>

namespace mv {

BoardSurface::BoardSurface(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  // paintEvent covers every pixel itself.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void BoardSurface::ShowPicture(Bitmap& picture) {
  std::swap(picture_, picture);
  update();
}

QPoint BoardSurface::ToScreen(QPoint board) const { return mapToGlobal(board); }

void BoardSurface::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect dirty = event->rect();
  if (!picture_.Empty()) {
    // A QImage over the picture's memory: no per-pixel conversion of ours.
    const QImage image = picture_.AsImage();
    painter.drawImage(dirty.topLeft(), image, dirty);
  }
  // Whatever the picture does not cover (it is always the board's size once
  // the view has painted) is the board's white.
  const QRegion rest = QRegion(dirty) - QRegion(0, 0, picture_.Width(), picture_.Height());
  for (const QRect& r : rest) painter.fillRect(r, Qt::white);
}

void BoardSurface::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void BoardSurface::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (OnMouseMove) OnMouseMove(event->modifiers(), p.x(), p.y());
}

void BoardSurface::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (OnMouseUp) OnMouseUp(event->button(), event->modifiers(), p.x(), p.y());
}

void BoardSurface::mouseDoubleClickEvent(QMouseEvent* event) {
  // Qt delivers the second press of a double click here instead of to
  // mousePressEvent: report the double click, then the press itself.
  if (OnDoubleClick) OnDoubleClick();
  mousePressEvent(event);
}

void BoardSurface::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (OnResized) OnResized();
}

}  // namespace mv
