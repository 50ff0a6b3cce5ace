#include "AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

namespace mv {

QImage ApplicationIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  if (size <= 0) return image;
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  // Drawn on a 32 x 32 grid and scaled.
  p.scale(size / 32.0, size / 32.0);

  // The board: a rounded tile, dark blue at the top fading to a lighter blue.
  QLinearGradient board(0, 0, 0, 32);
  board.setColorAt(0, QColor(28, 58, 140));
  board.setColorAt(1, QColor(70, 130, 210));
  p.setPen(QPen(QColor(14, 30, 80), 1));
  p.setBrush(board);
  p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 5, 5);

  // Links from the two source nodes to the blended node.
  p.setPen(QPen(QColor(255, 210, 80), 1.6));
  p.drawLine(QPointF(9, 11), QPointF(16, 22));
  p.drawLine(QPointF(23, 11), QPointF(16, 22));

  // Two source nodes (red and green pictures) and the blend (their mix).
  auto node = [&p](QRectF r, QColor fill) {
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(fill);
    p.drawRect(r);
  };
  node(QRectF(4, 5, 10, 8), QColor(220, 60, 50));
  node(QRectF(18, 5, 10, 8), QColor(60, 190, 80));
  node(QRectF(11, 19, 10, 8), QColor(160, 150, 70));
  return image;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) icon.addPixmap(QPixmap::fromImage(ApplicationIconImage(size)));
  return icon;
}

}  // namespace mv
