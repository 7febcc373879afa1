#include "ui/platform/help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace keelvault::ui {

QString helpFolder() {
    QStringList candidates;
    candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/keelvault/help");
    const QString installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                     QStringLiteral("keelvault/help"), QStandardPaths::LocateDirectory);
    if (!installed.isEmpty()) candidates << installed;
#ifdef KEELVAULT_SOURCE_HELP_DIR
    candidates << QStringLiteral(KEELVAULT_SOURCE_HELP_DIR);
#endif
    for (const QString& folder : candidates) {
        if (QFileInfo::exists(folder + QStringLiteral("/index.html"))) return QDir(folder).canonicalPath();
    }
    return {};
}

QUrl helpTopicUrl(const QString& topic) {
    const QString folder = helpFolder();
    const QString page = topic.isEmpty() ? QStringLiteral("index.html") : topic;
    if (folder.isEmpty()) return QUrl(QString::fromLatin1(kWebSite) + QStringLiteral("help/") + page);
    return QUrl::fromLocalFile(folder + QLatin1Char('/') + page);
}

}  // namespace keelvault::ui
