#include <QApplication>

#include "ui/application.h"
#include "ui/prompter.h"

int main(int argc, char* argv[]) {
    QApplication qt_app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("keelvault"));
    QApplication::setApplicationDisplayName(QStringLiteral("Keelvault"));
    QApplication::setDesktopFileName(QStringLiteral("keelvault"));
    // The window hides to the tray; only the orderly end quits.
    QApplication::setQuitOnLastWindowClosed(false);

    keelvault::ui::QtPrompter prompter;
    keelvault::ui::Application app(prompter);
    QObject::connect(&app, &keelvault::ui::Application::ended, &qt_app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (app.start() != keelvault::ui::Application::StartResult::Running) return 0;
    return QApplication::exec();
}
