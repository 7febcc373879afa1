#include "ui/prompter.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace keelvault::ui {

PromptAnswer QtPrompter::message(const QString& text, PromptIcon icon, PromptButtons buttons) {
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromLatin1(kMessageCaption));
    box.setText(text);
    switch (icon) {
        case PromptIcon::Information: box.setIcon(QMessageBox::Information); break;
        case PromptIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case PromptIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case PromptIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
        case PromptButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case PromptButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case PromptButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes: return PromptAnswer::Yes;
        case QMessageBox::No: return PromptAnswer::No;
        case QMessageBox::Ok: return PromptAnswer::Ok;
        default: return PromptAnswer::Cancel;
    }
}

QString QtPrompter::saveFileName(QWidget* parent, const QString& filter, const QString& default_suffix) {
    QFileDialog dialog(parent ? parent : parent_, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(default_suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QString QtPrompter::openFileName(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent ? parent : parent_, QString(), QString(), filter);
}

int QtPrompter::runDialog(QDialog& dialog) { return dialog.exec(); }

void QtPrompter::openUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace keelvault::ui
