#include <gtest/gtest.h>

#include <QTableWidget>

#include "core/model/task_log.h"
#include "core/scheduler/display_text.h"
#include "core/scheduler/schedule.h"
#include "scripted_prompter.h"
#include "support/test_support.h"
#include "ui/icons.h"
#include "ui/task_log_dialog.h"

namespace keelvault::test {
namespace {

using ui::PromptAnswer;

class TaskLogDialogTest : public ::testing::Test {
protected:
    TempDir logs;
    ScriptedPrompter prompter;
    CSystemOptions options;
    const std::string log_name = "task_202611235.log";

    void writeEntries(int count, uint8_t level = kLogInfo) {
        for (int i = 1; i <= count; ++i) {
            ASSERT_TRUE(appendLog(logs.path(), log_name, level, "entry " + std::to_string(i),
                                  TaskTime{2026, 3, 4, 5, 6, i % 60, 4}));
        }
    }

    std::unique_ptr<ui::TaskLogDialog> open() {
        return std::make_unique<ui::TaskLogDialog>(prompter, logs.path(), "nightly", log_name, options);
    }

    static QString text(const ui::TaskLogDialog& dialog, int row, int column) {
        return dialog.list()->item(row, column)->text();
    }
};

TEST_F(TaskLogDialogTest, ShowsTheLastTwoHundredAndAllOnRequest) {
    writeEntries(250);
    auto dialog = open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Task Log - nightly"));
    ASSERT_EQ(dialog->list()->rowCount(), 200);
    EXPECT_EQ(text(*dialog, 0, 0), QStringLiteral("1"));
    EXPECT_EQ(text(*dialog, 0, 2), QStringLiteral("entry 51"));
    EXPECT_EQ(text(*dialog, 199, 0), QStringLiteral("200"));
    EXPECT_EQ(text(*dialog, 199, 2), QStringLiteral("entry 250"));
    // With the day name and the seconds, in the options' formats.
    EXPECT_EQ(text(*dialog, 199, 1).toStdString(), formatTaskTime(TaskTime{2026, 3, 4, 5, 6, 10, 4}, 1, 1, true));
    EXPECT_TRUE(text(*dialog, 199, 1).endsWith(QStringLiteral("05:06:10")));
    EXPECT_EQ(dialog->list()->currentRow(), 199);

    dialog->displayAll();
    ASSERT_EQ(dialog->list()->rowCount(), 250);
    EXPECT_EQ(text(*dialog, 249, 0), QStringLiteral("250"));
    EXPECT_EQ(text(*dialog, 0, 2), QStringLiteral("entry 1"));

    dialog->refresh();
    EXPECT_EQ(dialog->list()->rowCount(), 200);
}

TEST_F(TaskLogDialogTest, ExportsAppendToTheChosenFile) {
    writeEntries(3);
    ASSERT_TRUE(appendLog(logs.path(), log_name, 7, "odd kind", TaskTime{2026, 3, 4, 5, 7, 0, 4}));
    auto dialog = open();
    ASSERT_EQ(dialog->entries().size(), 4u);

    std::string csv_once;
    std::string txt_once;
    for (const LogRecord& r : dialog->entries()) {
        csv_once += logRecordCsvLine(r, options);
        txt_once += logRecordTxtLine(r, options);
    }
    TempDir out;
    const QString csv = QString::fromStdString((out.path() / "log.csv").string());
    const QString txt = QString::fromStdString((out.path() / "log.txt").string());
    writeFile(out.path() / "log.txt", "kept\r\n");
    prompter.file_names = {csv, csv, txt};
    dialog->exportCsv();
    dialog->exportCsv();
    dialog->exportTxt();
    EXPECT_EQ(readFile(out.path() / "log.csv"), csv_once + csv_once);
    EXPECT_EQ(readFile(out.path() / "log.txt"), "kept\r\n" + txt_once);
    // Kind 7 counts as an error, in the export and in the list.
    EXPECT_NE(csv_once.find("\"Error Info\",\"odd kind\""), std::string::npos);
    const QImage shown = dialog->list()->item(3, 0)->icon().pixmap(18, 18).toImage();
    EXPECT_EQ(shown, ui::uiIcon(QStringLiteral("log_error")).pixmap(18, 18).toImage());
    EXPECT_NE(shown, ui::uiIcon(QStringLiteral("log_info")).pixmap(18, 18).toImage());

    writeFile(out.path() / "copy.log", "old content");
    prompter.file_names = {QString::fromStdString((out.path() / "copy.log").string())};
    dialog->exportLog();
    EXPECT_EQ(readFile(out.path() / "copy.log"), readFile(dialog->logPath()));
}

TEST_F(TaskLogDialogTest, EmptyLogsDeletesTheFileAfterAsking) {
    writeEntries(5);
    auto dialog = open();
    prompter.answers = {PromptAnswer::No};
    dialog->emptyLogs();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Do you want to EMPTY ALL logs of the task?"));
    EXPECT_TRUE(std::filesystem::exists(dialog->logPath()));
    EXPECT_EQ(dialog->list()->rowCount(), 5);

    dialog->emptyLogs();
    EXPECT_FALSE(std::filesystem::exists(dialog->logPath()));
    EXPECT_EQ(dialog->list()->rowCount(), 0);
    dialog->refresh();
    EXPECT_EQ(dialog->list()->rowCount(), 0);

    // Nothing shown: emptying and exporting only warn.
    prompter.messages.clear();
    prompter.file_names = {QStringLiteral("/nonexistent/never.csv")};
    dialog->emptyLogs();
    dialog->exportCsv();
    ASSERT_EQ(prompter.messages.size(), 2u);
    for (const auto& m : prompter.messages) {
        EXPECT_EQ(m.text, QStringLiteral("There are not any task logs!"));
        EXPECT_EQ(m.icon, ui::PromptIcon::Warning);
    }
    EXPECT_EQ(prompter.file_names.size(), 1u);  // no file was asked for
}

TEST_F(TaskLogDialogTest, HelpOpensTheTaskLogPage) {
    auto dialog = open();
    dialog->openHelp();
    ASSERT_EQ(prompter.opened.size(), 1u);
    EXPECT_TRUE(prompter.opened[0].toString().endsWith(QStringLiteral("introduction/tasklog.html")));
}

}  // namespace
}  // namespace keelvault::test
