#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <deque>
#include <memory>

#include "scripted_prompter.h"
#include "ui/wizard/file_chooser.h"
#include "ui/wizard/page_content.h"

namespace keelvault::test {

// Stands in for the file and folder dialogs: answers from a script, empty
// (cancelled) when the script has run out.
class ScriptedChooser : public ui::FileChooser {
public:
    std::deque<QString> files;
    std::deque<QStringList> file_lists;
    std::deque<QString> folders;
    QStringList filters;

    QString saveFile(QWidget*, const QString& filter, const QString&, const QString&) override {
        filters << filter;
        return next(files);
    }
    QString openFile(QWidget*, const QString& filter) override {
        filters << filter;
        return next(files);
    }
    QStringList openFiles(QWidget*, const QString& filter) override {
        filters << filter;
        if (file_lists.empty()) return {};
        QStringList list = file_lists.front();
        file_lists.pop_front();
        return list;
    }
    QString folder(QWidget*, const QString&, const QString&) override { return next(folders); }

private:
    static QString next(std::deque<QString>& queue) {
        if (queue.empty()) return {};
        QString value = queue.front();
        queue.pop_front();
        return value;
    }
};

// A working record and everything a page reaches, owned by the test.
class PageTest : public ::testing::Test {
protected:
    CTask task;
    std::vector<CServerSettings> servers;
    int server_saves = 0;
    CSystemOptions options;
    ScriptedPrompter prompter;
    ScriptedChooser chooser;
    ui::CatalogueCache cache;
    ui::PageContext context{task, servers, [this] { return ++server_saves > 0; }, options, prompter, chooser, cache,
                            {},   -1};

    template <typename Content, typename... Args>
    std::unique_ptr<Content> page(ui::PageMode mode, Args&&... args) {
        auto content = std::make_unique<Content>(context, mode, std::forward<Args>(args)...);
        content->enter();
        return content;
    }

    QString lastText() const { return prompter.last() ? prompter.last()->text : QString(); }
};

inline void typeInto(QLineEdit* edit, const QString& text) {
    edit->clear();
    edit->setText(text);
}

}  // namespace keelvault::test
