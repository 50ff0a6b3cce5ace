// The main window's own look of menu items, the menu bar and the node popup.
//
// Each function draws one item on a Canvas (or measures it) from a plain
// description of the item, so it runs without a menu. MenuStyle calls them for
// the real menus with a Canvas over an off-screen bitmap of the item.
#pragma once

#include <string>

#include "Canvas.h"
#include "SystemColours.h"

namespace mv {

/// An item rectangle: [Left, Right) x [Top, Bottom).
struct MenuRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

/// What an item looks like at the moment it is drawn.
struct MenuItemState {
  std::string Caption;   // the raw caption (UTF-8) with its '&' and blanks; "-" for a separator
  std::string ShortCut;  // the usual text of the item's shortcut ("Ctrl+N"), empty without one
  bool Enabled = true;
  bool Selected = false;  // menu items: highlighted; bar items: selected or hot-lit
  bool Checked = false;
  bool Default = false;   // the menu's default item, drawn bold
};

/// What the drawing takes from the desktop and the main window.
struct MenuLook {
  SystemColours Colours;
  FontSpec WindowFont;  // the main window's font
};

/// Selected item frame (pen) and fill (brush).
inline constexpr MvPixel kMenuSelectedFrame = 0x565656;
inline constexpr MvPixel kMenuSelectedFill = 0xBFB4B2;
/// The gutter ends at this x, whatever the item's left edge.
inline constexpr int kMenuGutterRight = 20;

/// The caption as shown: every '&' removed and every blank that is followed
/// by another blank removed (a run of blanks shrinks to its last one).
std::string MenuDisplayText(const std::string& caption);
/// clBtnFace with each channel reduced by 20 (not below 0).
MvPixel MenuGutterColour(const SystemColours& colours);

/// An item inside a menu or the node popup.
void DrawMainMenu(Canvas& canvas, const MenuRect& rect, const MenuItemState& item, const MenuLook& look);
/// A top-level item of the menu bar.
void DrawMainMenuBar(Canvas& canvas, const MenuRect& rect, const MenuItemState& item, const MenuLook& look);
/// The size of a measured item: raw caption width + shortcut width + 40, by
/// raw caption height + 7, in the main window's font.
void MeasureMainMenu(const MenuItemState& item, const MenuLook& look, int& width, int& height);

}  // namespace mv
