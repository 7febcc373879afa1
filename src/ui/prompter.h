#pragma once

#include <QString>
#include <QUrl>

class QDialog;
class QWidget;

namespace keelvault::ui {

inline constexpr const char* kMessageCaption = "Keelvault";

enum class PromptIcon { Information, Warning, Error, Question };
enum class PromptButtons { Ok, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Yes, No, Cancel };

// Every message, question, file choice, modal dialog and shell open of the
// desktop app goes through one of these, so that tests can script the user.
class Prompter {
public:
    virtual ~Prompter() = default;

    virtual PromptAnswer message(const QString& text, PromptIcon icon, PromptButtons buttons) = 0;
    // An empty name means the user cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& filter, const QString& default_suffix) = 0;
    virtual QString openFileName(QWidget* parent, const QString& filter) = 0;
    // Runs a modal dialog and returns its result code.
    virtual int runDialog(QDialog& dialog) = 0;
    virtual void openUrl(const QUrl& url) = 0;

    void inform(const QString& text) { message(text, PromptIcon::Information, PromptButtons::Ok); }
    void warn(const QString& text) { message(text, PromptIcon::Warning, PromptButtons::Ok); }
    void fail(const QString& text) { message(text, PromptIcon::Error, PromptButtons::Ok); }
    // Only Yes goes on.
    bool confirm(const QString& text, bool with_cancel = false) {
        return message(text, PromptIcon::Question, with_cancel ? PromptButtons::YesNoCancel : PromptButtons::YesNo) ==
               PromptAnswer::Yes;
    }
};

// The real one: message boxes captioned "Keelvault", file dialogs, the shell.
class QtPrompter : public Prompter {
public:
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    PromptAnswer message(const QString& text, PromptIcon icon, PromptButtons buttons) override;
    QString saveFileName(QWidget* parent, const QString& filter, const QString& default_suffix) override;
    QString openFileName(QWidget* parent, const QString& filter) override;
    int runDialog(QDialog& dialog) override;
    void openUrl(const QUrl& url) override;

private:
    QWidget* parent_ = nullptr;
};

}  // namespace keelvault::ui
