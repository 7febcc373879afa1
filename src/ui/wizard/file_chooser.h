#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace keelvault::ui {

// The file and folder dialogs of the pages; tests put a scripted chooser in
// its place. Every method returns empty when the user cancelled. Filters use
// Qt's form ("SQL Files (*.sql)").
class FileChooser {
public:
    virtual ~FileChooser() = default;

    // Asks before overwriting; starts from `start`.
    virtual QString saveFile(QWidget* parent, const QString& filter, const QString& default_suffix,
                             const QString& start) = 0;
    virtual QString openFile(QWidget* parent, const QString& filter) = 0;
    virtual QStringList openFiles(QWidget* parent, const QString& filter) = 0;
    virtual QString folder(QWidget* parent, const QString& title, const QString& start) = 0;
};

// Qt's own dialogs.
class QtFileChooser : public FileChooser {
public:
    QString saveFile(QWidget* parent, const QString& filter, const QString& default_suffix,
                     const QString& start) override;
    QString openFile(QWidget* parent, const QString& filter) override;
    QStringList openFiles(QWidget* parent, const QString& filter) override;
    QString folder(QWidget* parent, const QString& title, const QString& start) override;
};

}  // namespace keelvault::ui
