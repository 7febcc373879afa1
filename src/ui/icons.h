#pragma once

#include <QIcon>
#include <QPixmap>

namespace keelvault::ui {

// An image of share/icons, compiled into the program ("start", "log_error", ...).
QIcon uiIcon(const QString& name);
QPixmap uiPixmap(const QString& name, const QSize& size);

}  // namespace keelvault::ui
