#include "MenuStyle.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionMenuItem>

#include "Bitmap.h"
#include "Canvas.h"

namespace mv {

namespace {

constexpr const char* kMeasuredProperty = "mvMeasured";

/// The item as the drawing functions see it. Qt hands a menu item's caption
/// and shortcut text as one text separated by a tab.
MenuItemState StateOf(const QStyleOptionMenuItem& option) {
  MenuItemState s;
  if (option.menuItemType == QStyleOptionMenuItem::Separator) {
    s.Caption.assign(1, '-');
  } else {
    const qsizetype tab = option.text.indexOf(u'\t');
    s.Caption = option.text.left(tab < 0 ? option.text.size() : tab).toStdString();
    if (tab >= 0) s.ShortCut = option.text.mid(tab + 1).toStdString();
  }
  s.Enabled = option.state & QStyle::State_Enabled;
  s.Selected = option.state & (QStyle::State_Selected | QStyle::State_Sunken);
  s.Checked = option.checkType != QStyleOptionMenuItem::NotCheckable && option.checked;
  s.Default = option.menuItemType == QStyleOptionMenuItem::DefaultItem;
  return s;
}

/// The action of `menu` that `option` describes, matched by its caption and
/// shortcut text (unique within one menu), or null.
const QAction* ActionOf(const QStyleOptionMenuItem& option, const QWidget* widget) {
  const auto* menu = qobject_cast<const QMenu*>(widget);
  if (!menu || option.menuItemType == QStyleOptionMenuItem::Separator) return nullptr;
  for (const QAction* action : menu->actions()) {
    if (action->isSeparator()) continue;
    QString text = action->text();
    if (!action->shortcut().isEmpty() && text.indexOf(u'\t') < 0)
      text += u'\t' + action->shortcut().toString(QKeySequence::NativeText);
    if (text == option.text) return action;
  }
  return nullptr;
}

template <class Draw>
void DrawOffScreen(const QRect& rect, QPainter* painter, Draw draw) {
  if (rect.width() <= 0 || rect.height() <= 0) return;
  Bitmap bitmap(rect.width(), rect.height());
  Canvas canvas(bitmap);
  draw(canvas, MenuRect{0, 0, rect.width(), rect.height()});
  painter->drawImage(rect.topLeft(), bitmap.ToImage());
}

}  // namespace

MenuStyle::MenuStyle(FontSpec windowFont) : windowFont_(std::move(windowFont)) {}

void MenuStyle::SetMeasured(QAction* action, bool measured) { action->setProperty(kMeasuredProperty, measured); }

bool MenuStyle::IsMeasured(const QAction* action) { return action->property(kMeasuredProperty).toBool(); }

MenuLook MenuStyle::Look() const { return MenuLook{CurrentSystemColours(), windowFont_}; }

void MenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const {
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (item && element == CE_MenuItem) {
    const MenuItemState state = StateOf(*item);
    const MenuLook look = Look();
    DrawOffScreen(item->rect, painter,
                  [&](Canvas& canvas, const MenuRect& r) { DrawMainMenu(canvas, r, state, look); });
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
      // The submenu arrow, as the desktop adds it to items that draw themselves.
      QStyleOption arrow = *option;
      const int h = item->rect.height();
      arrow.rect = QRect(item->rect.right() - h / 2 - 4, item->rect.top() + h / 4, h / 2, h / 2);
      arrow.palette.setColor(QPalette::ButtonText, QColorFromPixel(look.Colours.MenuText));
      proxy()->drawPrimitive(PE_IndicatorArrowRight, &arrow, painter, widget);
    }
    return;
  }
  if (item && element == CE_MenuBarItem) {
    const MenuItemState state = StateOf(*item);
    const MenuLook look = Look();
    DrawOffScreen(item->rect, painter,
                  [&](Canvas& canvas, const MenuRect& r) { DrawMainMenuBar(canvas, r, state, look); });
    return;
  }
  if (element == CE_MenuBarEmptyArea) {
    painter->fillRect(option->rect, QColorFromPixel(Look().Colours.MenuBar));
    return;
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

QSize MenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                  const QWidget* widget) const {
  if (type == CT_MenuItem) {
    if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
      const QAction* action = ActionOf(*item, widget);
      if (action && IsMeasured(action)) {
        int width = 0, height = 0;
        MeasureMainMenu(StateOf(*item), Look(), width, height);
        return QSize(width, height);
      }
    }
  }
  return QProxyStyle::sizeFromContents(type, option, size, widget);
}

}  // namespace mv
