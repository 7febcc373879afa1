#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "ui/dialogs/rename_task_dialog.h"
#include "ui/task_list_model.h"
#include "ui_fixture.h"

namespace keelvault::test {
namespace {

using ui::PromptAnswer;
using ui::PromptIcon;
using ui::TaskCommand;

class TaskListViewTest : public AppFixture {
protected:
    // Starts the app quietly on the given tasks, each with a log of one line.
    void startWith(const std::vector<CTask>& tasks) {
        writeQuietOptions();
        writeTasks(tasks);
        for (const CTask& t : tasks) appendLog(folder() / "Logs", t.log_name, kLogInfo, "seed", t.created_at);
        ASSERT_EQ(startApp(), ui::Application::StartResult::Running);
        prompter.messages.clear();
    }

    QString cell(int row, int column) {
        auto& model = view().model();
        return model.data(model.index(row, column), Qt::DisplayRole).toString();
    }

    std::filesystem::path logOf(int index) {
        return logFilePath(app->environment().logsFolder(), server().taskAt(index).log_name);
    }

    bool waitForStatus(int index, uint8_t status) {
        return QTest::qWaitFor([&] { return server().taskAt(index).status.load() == status; }, 5000);
    }
};

TEST_F(TaskListViewTest, RowsFollowTheTaskServer) {
    startWith({scriptTask("a"), scriptTask("b")});
    ASSERT_EQ(view().model().rowCount(), 2);
    EXPECT_EQ(cell(1, ui::TaskListModel::NameColumn), QStringLiteral("b"));
    EXPECT_EQ(cell(1, ui::TaskListModel::TypeColumn), QStringLiteral("Execute SQL script"));
    EXPECT_EQ(cell(1, ui::TaskListModel::ScheduleColumn), QStringLiteral("Manual"));

    server().addTask(scriptTask("c", kScheduleEveryDay));
    view().refreshRows();
    ASSERT_EQ(view().model().rowCount(), 3);
    EXPECT_EQ(cell(2, ui::TaskListModel::ScheduleColumn), QStringLiteral("Every Day"));

    server().removeTask(0);
    server().removeTask(0);
    view().refreshRows();
    ASSERT_EQ(view().model().rowCount(), 1);
    EXPECT_EQ(cell(0, ui::TaskListModel::NameColumn), QStringLiteral("c"));
    EXPECT_TRUE(view().refreshTimerActive());
}

TEST_F(TaskListViewTest, CommandsFollowTheEnablingRules) {
    CTask backup = scriptTask("backup");
    backup.task_type = kTypeBackupToFiles;
    CTask daily = scriptTask("daily", kScheduleEveryDay);
    daily.schedule.hour = 3;
    CTask weekly = scriptTask("weekly-stopped", kScheduleEveryWeek);
    startWith({scriptTask("manual"), daily, backup, weekly});
    ASSERT_TRUE(waitForStatus(1, kStatusWaiting));
    server().stopTask(3);  // an Idle scheduled task

    struct Case {
        QList<int> rows;
        TaskCommand command;
        bool enabled;
    };
    const Case cases[] = {
        {{}, TaskCommand::NewTask, true},         {{}, TaskCommand::DeleteTasks, false},
        {{}, TaskCommand::DeleteAll, true},       {{}, TaskCommand::ViewLog, false},
        {{}, TaskCommand::StartAll, true},        {{}, TaskCommand::StopAll, true},
        {{}, TaskCommand::SelectAll, true},       {{}, TaskCommand::SaveAs, true},
        {{0}, TaskCommand::EditTask, true},       {{0, 1}, TaskCommand::EditTask, false},
        {{0, 1}, TaskCommand::RenameTask, false}, {{0, 1}, TaskCommand::CopyTasks, true},
        {{0}, TaskCommand::Start, false},         {{3}, TaskCommand::Start, true},
        {{1}, TaskCommand::Start, false},         {{0}, TaskCommand::Stop, false},
        {{0, 1}, TaskCommand::Stop, true},        {{1}, TaskCommand::RunImmediately, true},
        {{0}, TaskCommand::ViewLog, true},        {{0, 2}, TaskCommand::Properties, false},
        {{2}, TaskCommand::CreateRestore, true},  {{0}, TaskCommand::CreateRestore, false},
        {{2}, TaskCommand::BackupsList, true},    {{1}, TaskCommand::BackupsList, false},
    };
    for (const Case& c : cases) {
        view().selectRows(c.rows);
        EXPECT_EQ(view().ruleAllows(c.command), c.enabled)
            << "command " << static_cast<int>(c.command) << " rows " << c.rows.size();
    }

    // Stop All leaves nothing to stop.
    view().stopAll();
    EXPECT_FALSE(view().ruleAllows(TaskCommand::StopAll));
    EXPECT_TRUE(view().ruleAllows(TaskCommand::StartAll));

    // The sheets' commands come with the window and follow their rules.
    view().selectRows({2});
    for (auto command : {TaskCommand::NewTask, TaskCommand::EditTask, TaskCommand::Properties,
                         TaskCommand::CreateRestore, TaskCommand::BackupsList}) {
        EXPECT_TRUE(view().ruleAllows(command));
        EXPECT_TRUE(view().action(command)->isEnabled()) << static_cast<int>(command);
    }
    int opened = 0;
    view().setCommandHandler(TaskCommand::Properties, [&] { ++opened; });
    EXPECT_TRUE(view().action(TaskCommand::Properties)->isEnabled());
    view().action(TaskCommand::Properties)->trigger();
    EXPECT_EQ(opened, 1);
}

TEST_F(TaskListViewTest, DeleteRemovesTheSelectedTasksAndTheirLogs) {
    startWith({scriptTask("a"), scriptTask("b"), scriptTask("c"), scriptTask("d")});
    const auto log_a = logOf(0), log_b = logOf(1), log_c = logOf(2), log_d = logOf(3);
    ASSERT_TRUE(std::filesystem::exists(log_b));

    view().selectRows({1, 3});
    prompter.answers = {PromptAnswer::Cancel};
    view().deleteTasks();
    EXPECT_EQ(server().taskCount(), 4);

    prompter.answers = {PromptAnswer::Yes};
    view().deleteTasks();
    EXPECT_EQ(prompter.last()->text,
              QStringLiteral("Do you want to DELETE the task(s) now?\n\nThe task(s) will be stopped."));
    EXPECT_EQ(prompter.last()->buttons, ui::PromptButtons::YesNoCancel);
    EXPECT_EQ(taskNames(), (std::vector<std::string>{"a", "c"}));
    EXPECT_FALSE(std::filesystem::exists(log_b));
    EXPECT_FALSE(std::filesystem::exists(log_d));
    EXPECT_TRUE(std::filesystem::exists(log_a));
    EXPECT_TRUE(std::filesystem::exists(log_c));
    EXPECT_EQ(view().model().rowCount(), 2);
    CTaskList saved;
    ASSERT_TRUE(loadTaskList(tasksFilePath(folder()), saved));
    ASSERT_EQ(saved.count(), 2);
    EXPECT_EQ(saved.at(1).name, "c");

    view().deleteAll();
    EXPECT_EQ(server().taskCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(log_a));
    EXPECT_FALSE(std::filesystem::exists(tasksFilePath(folder())));
}

TEST_F(TaskListViewTest, CopyTwiceGivesTwoCopiesWithTheirOwnLogs) {
    startWith({scriptTask("a"), scriptTask("b")});
    for (int round = 0; round < 2; ++round) {
        view().selectRows({0});
        view().copyTasks();
        EXPECT_EQ(prompter.last()->text, QStringLiteral("Do you want to create 1 task(s) by copies?"));
    }
    ASSERT_EQ(taskNames(), (std::vector<std::string>{"a", "b", "a_Copy", "a_Copy"}));
    const CTask first = server().copyTask(2);
    const CTask second = server().copyTask(3);
    EXPECT_NE(first.log_name, second.log_name);
    EXPECT_EQ(first.log_name, makeLogName("a_Copy", first.created_at));
    EXPECT_EQ(logTexts(first), std::vector<std::string>{"Create task by Copy"});
    EXPECT_EQ(logTexts(second), std::vector<std::string>{"Create task by Copy"});
    EXPECT_EQ(first.status.load(), kStatusIdle);
    // Only the last copy is selected afterwards.
    EXPECT_EQ(view().selectedRows(), QList<int>{3});
    CTaskList saved;
    ASSERT_TRUE(loadTaskList(tasksFilePath(folder()), saved));
    EXPECT_EQ(saved.count(), 4);
}

TEST_F(TaskListViewTest, RenameRefusesEmptyAndDuplicateNames) {
    startWith({scriptTask("a"), scriptTask("b")});
    view().selectRows({});
    view().renameTask();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Please choose a task!"));
    EXPECT_EQ(prompter.last()->icon, PromptIcon::Warning);

    QStringList refusals;
    prompter.on_dialog = [&](QDialog& dialog) {
        auto* rename = qobject_cast<ui::RenameTaskDialog*>(&dialog);
        QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        for (const QString& name : {QString(), QStringLiteral("b")}) {
            rename->nameField()->setText(name);
            ok->click();
            EXPECT_EQ(dialog.result(), QDialog::Rejected) << name.toStdString();
            refusals << prompter.last()->text;
        }
        rename->nameField()->setText(QStringLiteral("renamed"));
        ok->click();
        return dialog.result();
    };
    prompter.messages.clear();
    view().selectRows({0});
    view().renameTask();
    EXPECT_EQ(refusals,
              (QStringList{QStringLiteral("Please input task name!"),
                           QStringLiteral("The task name is already existed!\nPlease choose a different task name.")}));
    EXPECT_EQ(taskNames(), (std::vector<std::string>{"renamed", "b"}));
}

TEST_F(TaskListViewTest, StopAsksOnlyForARunningTask) {
    CTask daily = scriptTask("daily", kScheduleEveryDay);
    daily.schedule.hour = 3;
    startWith({scriptTask("long", kScheduleManual, {"sleep 20000"}), daily});
    view().selectRows({0});
    prompter.answers = {PromptAnswer::Yes};
    view().runImmediately();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Do you want to RUN the task (long) immediately?"));
    ASSERT_TRUE(waitForStatus(0, kStatusRunning));
    ASSERT_TRUE(waitForStatus(1, kStatusWaiting));

    view().selectRows({0, 1});
    prompter.messages.clear();
    prompter.answers = {PromptAnswer::No};
    view().stop();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("Do you want to STOP the task (long -- Running) now?"));
    EXPECT_EQ(server().taskAt(0).status.load(), kStatusRunning);
    EXPECT_EQ(server().taskAt(1).status.load(), kStatusIdle);

    prompter.answers = {PromptAnswer::Yes};
    view().stop();
    EXPECT_EQ(server().taskAt(0).status.load(), kStatusIdle);
    EXPECT_FALSE(server().hasWorker(0));
    const auto lines = logTexts(server().taskAt(0));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Run task immediately"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Stop task"), lines.end());

    // Start brings the scheduled task back; the manual one is not started.
    view().selectRows({0, 1});
    view().start();
    EXPECT_TRUE(waitForStatus(1, kStatusWaiting));
    EXPECT_EQ(server().taskAt(0).status.load(), kStatusIdle);
}

TEST_F(TaskListViewTest, SaveAsAndLoadFromReportTheirOutcome) {
    startWith({scriptTask("a"), scriptTask("b", kScheduleEveryDay)});
    TempDir out;
    const QString good = QString::fromStdString((out.path() / "list.tsk").string());
    const QString bad = QString::fromStdString((out.path() / "missing" / "list.tsk").string());

    prompter.file_names = {good, bad};
    view().saveAs();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Save the task list to a task file successfully!"));
    EXPECT_EQ(prompter.last()->icon, PromptIcon::Information);
    view().saveAs();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Failed to save the task list to a task file!"));
    EXPECT_EQ(prompter.last()->icon, PromptIcon::Error);

    writeFile(out.path() / "junk.tsk", "not a task list");
    prompter.file_names = {QString::fromStdString((out.path() / "junk.tsk").string())};
    view().loadFrom();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Failed to load the task list from the file!"));
    EXPECT_EQ(taskNames(), (std::vector<std::string>{"a", "b"}));

    // A declined confirmation leaves everything as it was.
    view().selectRows({0});
    view().deleteTasks();
    ASSERT_EQ(taskNames(), std::vector<std::string>{"b"});
    prompter.file_names = {good};
    prompter.answers = {PromptAnswer::No};
    view().loadFrom();
    EXPECT_EQ(taskNames(), std::vector<std::string>{"b"});

    prompter.file_names = {good};
    view().loadFrom();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Load the task list from the file successfully!"));
    EXPECT_EQ(taskNames(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(view().model().rowCount(), 2);
    EXPECT_TRUE(server().isStarted());
    EXPECT_TRUE(waitForStatus(1, kStatusWaiting));
}

TEST_F(TaskListViewTest, ANewManualTaskIsOfferedARun) {
    startWith({scriptTask("a")});
    prompter.answers = {PromptAnswer::No};
    const int index = view().addNewTask(scriptTask("fresh"), QStringLiteral("Create task"), true);
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Do you want to RUN the task (fresh) immediatelly?"));
    EXPECT_EQ(server().taskAt(index).status.load(), kStatusIdle);
    EXPECT_EQ(view().selectedRows(), QList<int>{index});
    EXPECT_EQ(logTexts(server().taskAt(index)), std::vector<std::string>{"Create task"});
    ASSERT_TRUE(std::filesystem::exists(newTasksFilePath(folder())));
    CTaskList saved;
    ASSERT_TRUE(loadTaskList(tasksFilePath(folder()), saved));
    EXPECT_EQ(saved.count(), 2);
}

}  // namespace
}  // namespace keelvault::test
