#include "ui/icons.h"

namespace keelvault::ui {

QIcon uiIcon(const QString& name) { return QIcon(QStringLiteral(":/icons/") + name + QStringLiteral(".svg")); }

QPixmap uiPixmap(const QString& name, const QSize& size) { return uiIcon(name).pixmap(size); }

}  // namespace keelvault::ui
