// The application's icon, drawn in code: a small board with two picture nodes
// blended into a third. The main window sets it on the application; the about
// box shows it.
#pragma once

#include <QIcon>
#include <QImage>

namespace mv {

/// The icon drawn at size x size pixels, transparent outside its rounded tile.
QImage ApplicationIconImage(int size);
/// The icon at 16, 32 and 48 pixels.
QIcon ApplicationIcon();

}  // namespace mv
