// A style for the main window's menus: every menu item, every menu-bar item
// and the size of the items marked as measured are drawn by MenuDrawing's
// functions on an off-screen bitmap of the item, then copied to the menu.
// Everything else (frames, scrolling, the submenu arrow) is the base style's.
#pragma once

#include <QProxyStyle>

#include "MenuDrawing.h"

class QAction;

namespace mv {

class MenuStyle final : public QProxyStyle {
 public:
  /// `windowFont` is the main window's font, used at size 8 for drawing and at
  /// its own size for measuring.
  explicit MenuStyle(FontSpec windowFont);

  /// Marks an action so that its size comes from MeasureMainMenu instead of the base style.
  static void SetMeasured(QAction* action, bool measured);
  static bool IsMeasured(const QAction* action);

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget = nullptr) const override;

  MenuLook Look() const;

 private:
  FontSpec windowFont_;
};

}  // namespace mv
