#include "ui/platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace keelvault::ui {

QString autostartEntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/keelvault.desktop");
}

bool writeAutostartEntry(const QString& program_path) {
    const QString path = autostartEntryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QString quoted = program_path;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Keelvault\n"
                             "Comment=Scheduler of MySQL maintenance tasks\n"
                             "Exec=\"%1\"\n"
                             "Icon=keelvault\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n")
                             .arg(quoted);
    file.write(text.toUtf8());
    return file.commit();
}

bool removeAutostartEntry() {
    const QString path = autostartEntryPath();
    return !QFile::exists(path) || QFile::remove(path);
}

bool applyAutostart(bool on, const QString& program_path) {
    return on ? writeAutostartEntry(program_path) : removeAutostartEntry();
}

}  // namespace keelvault::ui
