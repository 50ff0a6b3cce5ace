// Text at the Qt boundary: plug-in texts are CP1251, host texts UTF-8.
#pragma once

#include <string>

#include <QString>

#include "MvText.h"

namespace mv {

inline QString FromCp1251(const std::string& s) { return QString::fromStdString(Cp1251ToUtf8(s)); }
inline QString FromUtf8(const std::string& s) { return QString::fromStdString(s); }
inline std::string ToUtf8(const QString& s) { return s.toStdString(); }

}  // namespace mv
