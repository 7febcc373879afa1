#pragma once

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "ui/prompter.h"

#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace keelvault::test {

// Stands in for the user: records every message and answers from a script.
// Unscripted questions are answered Yes; unscripted dialogs are rejected.
class ScriptedPrompter : public ui::Prompter {
public:
    struct Message {
        QString text;
        ui::PromptIcon icon;
        ui::PromptButtons buttons;
    };

    std::vector<Message> messages;
    std::deque<ui::PromptAnswer> answers;
    std::deque<QString> file_names;
    // Called with each dialog run; returns its result code. The names of the
    // dialogs run are kept in `dialogs`.
    std::function<int(QDialog&)> on_dialog;
    QStringList dialogs;
    std::vector<QUrl> opened;

    ui::PromptAnswer message(const QString& text, ui::PromptIcon icon, ui::PromptButtons buttons) override {
        messages.push_back({text, icon, buttons});
        if (buttons == ui::PromptButtons::Ok) return ui::PromptAnswer::Ok;
        if (answers.empty()) return ui::PromptAnswer::Yes;
        const ui::PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString saveFileName(QWidget*, const QString&, const QString&) override { return nextFile(); }
    QString openFileName(QWidget*, const QString&) override { return nextFile(); }
    int runDialog(QDialog& dialog) override {
        dialogs << dialog.objectName();
        return on_dialog ? on_dialog(dialog) : QDialog::Rejected;
    }
    void openUrl(const QUrl& url) override { opened.push_back(url); }

    QStringList texts() const {
        QStringList out;
        for (const Message& m : messages) out << m.text;
        return out;
    }
    const Message* last() const { return messages.empty() ? nullptr : &messages.back(); }

private:
    QString nextFile() {
        if (file_names.empty()) return {};
        QString name = file_names.front();
        file_names.pop_front();
        return name;
    }
};

}  // namespace keelvault::test
