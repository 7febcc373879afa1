#include "ui/wizard/file_chooser.h"

#include <QFileDialog>

namespace keelvault::ui {

QString QtFileChooser::saveFile(QWidget* parent, const QString& filter, const QString& default_suffix,
                                const QString& start) {
    QFileDialog dialog(parent, QString(), start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(default_suffix);
    if (!start.isEmpty()) dialog.selectFile(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QString QtFileChooser::openFile(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

QStringList QtFileChooser::openFiles(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, QString(), QString(), filter);
}

QString QtFileChooser::folder(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
}

}  // namespace keelvault::ui
