// Texts the whole host shares (UTF-8).
#pragma once

namespace mv {

/// The application title: the main window's caption and every message box's.
inline constexpr const char* kApplicationTitle = "Ruvelta Marvolen v.1.00";
/// The status line's text while nothing is going on.
inline constexpr const char* kIdleText = "Ожидание действий";

}  // namespace mv
