#include "ui/platform/service_rights.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace keelvault::ui {

namespace {

// The nearest existing folder on the way to `path` must be writable.
bool canCreateOrWrite(const QString& path) {
    QFileInfo info(path);
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath()) return false;
        info = QFileInfo(parent);
    }
    return info.isDir() && info.isWritable();
}

}  // namespace

bool userMayInstallService() {
    const QString units =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/systemd/user");
    if (!canCreateOrWrite(units)) return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    return bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.systemd1")).value();
}

}  // namespace keelvault::ui
