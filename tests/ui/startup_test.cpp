#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "ui/dialogs/autorun_dialog.h"
#include "ui/dialogs/login_dialog.h"
#include "ui/platform/autostart.h"
#include "ui/task_list_model.h"
#include "ui_fixture.h"

namespace keelvault::test {
namespace {

using ui::Application;
using ui::PromptIcon;

// Answers the login dialog with the given values through its OK button.
std::function<int(QDialog&)> loginWith(const QString& user, const QString& password) {
    return [user, password](QDialog& dialog) {
        if (auto* login = qobject_cast<ui::LoginDialog*>(&dialog)) {
            login->userField()->setText(user);
            login->passwordField()->setText(password);
            dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            return dialog.result();
        }
        return static_cast<int>(QDialog::Rejected);
    };
}

class StartupTest : public AppFixture {};

TEST_F(StartupTest, FirstStartCreatesFoldersAndMarkerAndAsksForANewTask) {
    ASSERT_EQ(startApp(), Application::StartResult::Running);

    EXPECT_TRUE(std::filesystem::is_directory(folder() / "Data"));
    EXPECT_TRUE(std::filesystem::is_directory(folder() / "Logs"));
    EXPECT_TRUE(std::filesystem::exists(folder() / "Logs" / "log200se.dll"));
    // A missing server list is written in the current layout.
    EXPECT_EQ(readFile(folder() / "myserver.dll").substr(0, 4), std::string("\xE0\xF9\xBD\xCA", 4));
    EXPECT_EQ(app->options().default_backup_folder, (folder() / "Data" / "").string());
    // The empty list opens the wizard (its type chooser first) instead of the tips.
    EXPECT_EQ(view().newTaskRequests(), 1);
    EXPECT_EQ(prompter.dialogs, (QStringList{QStringLiteral("AutoRunDialog"), QStringLiteral("TaskTypeChooser")}));
    EXPECT_TRUE(app->windowVisible());
    EXPECT_TRUE(app->mainWindow()->isVisible());
    EXPECT_EQ(app->mainWindow()->windowTitle(), QStringLiteral("Keelvault Professional Edition"));
}

TEST_F(StartupTest, AutoRunAnswerIsStoredAndWritesTheAutostartEntry) {
    prompter.on_dialog = [](QDialog& dialog) {
        auto* question = qobject_cast<ui::AutoRunDialog*>(&dialog);
        if (question == nullptr) return static_cast<int>(QDialog::Rejected);
        question->dontAskBox()->setChecked(true);
        return static_cast<int>(QDialog::Accepted);
    };
    ASSERT_EQ(startApp(), Application::StartResult::Running);
    CSystemOptions stored;
    ASSERT_TRUE(loadOptions(optionsFilePath(folder()), stored));
    EXPECT_EQ(stored.auto_run, 1);
    EXPECT_EQ(stored.do_not_ask_auto_run, 1);
    const std::string entry = readFile(config_home.path() / "autostart" / "keelvault.desktop");
    EXPECT_NE(entry.find("Exec=\"/usr/bin/keelvault\""), std::string::npos);
    EXPECT_TRUE(ui::applyAutostart(false, QString()));
    EXPECT_FALSE(std::filesystem::exists(config_home.path() / "autostart" / "keelvault.desktop"));
}

TEST_F(StartupTest, OnlyManualTasksStartVisibleAfterTheLogin) {
    CSystemOptions options;
    options.login_user = "admin";
    options.login_password = "s3cret";
    writeQuietOptions(options);
    {
        CSystemOptions with_tips;
        ASSERT_TRUE(loadOptions(optionsFilePath(folder()), with_tips));
        with_tips.show_tips = 1;
        ASSERT_TRUE(saveOptions(optionsFilePath(folder()), with_tips));
    }
    writeTasks({scriptTask("one"), scriptTask("two")});
    tray = true;
    prompter.on_dialog = loginWith(QStringLiteral("admin"), QStringLiteral("s3cret"));

    ASSERT_EQ(startApp(), Application::StartResult::Running);
    EXPECT_TRUE(app->windowVisible());
    EXPECT_EQ(prompter.dialogs, (QStringList{QStringLiteral("LoginDialog"), QStringLiteral("TipDialog")}));
    EXPECT_EQ(server().taskCount(), 2);
    EXPECT_EQ(view().newTaskRequests(), 0);
}

TEST_F(StartupTest, AWrongLoginEndsTheProgram) {
    CSystemOptions options;
    options.login_user = "admin";
    options.login_password = "s3cret";
    writeQuietOptions(options);
    writeTasks({scriptTask("one")});
    prompter.on_dialog = loginWith(QStringLiteral("admin"), QStringLiteral("S3cret"));
    EXPECT_EQ(startApp(), Application::StartResult::Exit);
    EXPECT_FALSE(app->windowVisible());
}

TEST_F(StartupTest, AScheduledTaskStartsHiddenWithoutLoginOrTips) {
    CSystemOptions options;
    options.login_user = "admin";
    options.show_tips = 1;
    writeQuietOptions(options);
    CTask daily = scriptTask("daily", kScheduleEveryDay);
    daily.schedule.hour = 3;
    writeTasks({daily, scriptTask("manual")});
    tray = true;

    ASSERT_EQ(startApp(), Application::StartResult::Running);
    EXPECT_FALSE(app->windowVisible());
    EXPECT_FALSE(app->mainWindow()->isVisible());
    EXPECT_TRUE(app->mainWindow()->trayIconVisible());
    EXPECT_TRUE(prompter.dialogs.isEmpty());
    EXPECT_TRUE(server().hasWorker(0));
    EXPECT_FALSE(server().hasWorker(1));
    // Behind a login the tray menu holds Show only.
    EXPECT_EQ(app->mainWindow()->trayMenu()->actions().size(), 1);

    // Show from the tray asks for the login and stays hidden on cancel.
    app->mainWindow()->showFromOutside();
    EXPECT_EQ(prompter.dialogs, QStringList{QStringLiteral("LoginDialog")});
    EXPECT_FALSE(app->windowVisible());
    EXPECT_TRUE(app->mainWindow()->trayIconVisible());
}

TEST_F(StartupTest, WithoutATrayAScheduledTaskStillStartsVisible) {
    writeQuietOptions();
    writeTasks({scriptTask("daily", kScheduleEveryDay)});
    tray = false;
    ASSERT_EQ(startApp(), Application::StartResult::Running);
    EXPECT_TRUE(app->windowVisible());
}

TEST_F(StartupTest, RunningServiceMakesTheListReadOnlyAndLeavesTheFileAlone) {
    writeQuietOptions();
    writeTasks({scriptTask("daily", kScheduleEveryDay), scriptTask("manual")});
    const std::string before = readFile(tasksFilePath(folder()));
    service = true;

    ASSERT_EQ(startApp(), Application::StartResult::Running);
    ASSERT_FALSE(prompter.messages.empty());
    EXPECT_EQ(prompter.messages.front().icon, PromptIcon::Information);
    EXPECT_TRUE(prompter.messages.front().text.startsWith(QStringLiteral("Keelvault Service is running now.\n\n")));
    EXPECT_EQ(server().taskAt(0).status.load(), kStatusService);
    EXPECT_EQ(server().taskAt(1).status.load(), kStatusIdle);
    EXPECT_FALSE(server().isStarted());
    EXPECT_FALSE(server().hasWorker(0));

    auto& model = view().model();
    EXPECT_EQ(model.data(model.index(0, ui::TaskListModel::StatusColumn), Qt::DisplayRole).toString(),
              QStringLiteral("Service..."));
    EXPECT_EQ(model.data(model.index(0, ui::TaskListModel::NextRunColumn), Qt::DisplayRole).toString(),
              QStringLiteral("Backup Service..."));
    EXPECT_EQ(model.data(model.index(1, ui::TaskListModel::StatusColumn), Qt::DisplayRole).toString(),
              QStringLiteral("Stop"));

    view().selectRows({0});
    for (auto command : {ui::TaskCommand::NewTask, ui::TaskCommand::DeleteTasks, ui::TaskCommand::DeleteAll,
                         ui::TaskCommand::CopyTasks, ui::TaskCommand::RenameTask, ui::TaskCommand::RunImmediately,
                         ui::TaskCommand::StartAll, ui::TaskCommand::LoadFrom}) {
        EXPECT_FALSE(view().ruleAllows(command)) << static_cast<int>(command);
        EXPECT_FALSE(view().action(command)->isEnabled()) << static_cast<int>(command);
    }
    for (auto command : {ui::TaskCommand::ViewLog, ui::TaskCommand::SelectAll, ui::TaskCommand::SaveAs}) {
        EXPECT_TRUE(view().action(command)->isEnabled()) << static_cast<int>(command);
    }

    prompter.messages.clear();
    ASSERT_TRUE(app->requestQuit());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages.front().text, QStringLiteral("Quit the application?"));
    EXPECT_EQ(readFile(tasksFilePath(folder())), before);
}

TEST_F(StartupTest, QuitAsksSavesTheListAndStopsTheWorkers) {
    writeQuietOptions();
    writeTasks({scriptTask("daily", kScheduleEveryDay)});
    ASSERT_EQ(startApp(), Application::StartResult::Running);
    ASSERT_TRUE(server().hasWorker(0));

    prompter.answers = {ui::PromptAnswer::No};
    EXPECT_FALSE(app->requestQuit());
    EXPECT_TRUE(server().hasWorker(0));

    std::filesystem::remove(tasksFilePath(folder()));
    ASSERT_TRUE(app->requestQuit());
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Quit the application and stop all tasks?"));
    EXPECT_EQ(server().taskCount(), 0);
    CTaskList saved;
    ASSERT_TRUE(loadTaskList(tasksFilePath(folder()), saved));
    EXPECT_EQ(saved.count(), 1);
}

TEST_F(StartupTest, ASecondCopyShowsTheFirstAndEnds) {
    writeQuietOptions();
    writeTasks({scriptTask("daily", kScheduleEveryDay)});
    tray = true;
    const QString name = uniqueInstanceName();
    app = std::make_unique<Application>(prompter, hooks(name));
    ASSERT_EQ(app->start(), Application::StartResult::Running);
    ASSERT_FALSE(app->windowVisible());

    ScriptedPrompter second_prompter;
    Application second(second_prompter, hooks(name));
    EXPECT_EQ(second.start(), Application::StartResult::SecondCopy);
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->windowVisible(); }, 5000));
    EXPECT_TRUE(app->mainWindow()->isVisible());
    EXPECT_FALSE(app->mainWindow()->trayIconVisible());
}

TEST_F(StartupTest, SessionEndIsRefusedOnlyWhileATaskRunsWithTheOptionOn) {
    CSystemOptions options;
    options.block_shutdown = 1;
    writeQuietOptions(options);
    writeTasks({scriptTask("long", kScheduleManual, {"sleep 20000"})});
    ASSERT_EQ(startApp(), Application::StartResult::Running);
    EXPECT_FALSE(app->shouldBlockSessionEnd());

    view().selectRows({0});
    prompter.answers = {ui::PromptAnswer::Yes};
    view().runImmediately();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server().taskAt(0).status.load() == kStatusRunning; }, 5000));
    EXPECT_TRUE(app->shouldBlockSessionEnd());

    CSystemOptions off = app->options();
    off.block_shutdown = 0;
    app->applyOptions(off);
    EXPECT_FALSE(app->shouldBlockSessionEnd());
}

TEST_F(StartupTest, MinimisingHidesTheWindowInTheTray) {
    writeQuietOptions();
    writeTasks({scriptTask("manual")});
    tray = true;
    ASSERT_EQ(startApp(), Application::StartResult::Running);
    ASSERT_TRUE(app->windowVisible());
    EXPECT_FALSE(app->mainWindow()->trayIconVisible());

    app->mainWindow()->setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app->windowVisible(); }, 3000));
    EXPECT_FALSE(app->mainWindow()->isVisible());
    EXPECT_TRUE(app->mainWindow()->trayIconVisible());
    // Without a login the tray menu offers Show, Options, User Manual and Exit.
    QStringList items;
    for (QAction* action : app->mainWindow()->trayMenu()->actions()) {
        if (!action->isSeparator()) items << action->text();
    }
    EXPECT_EQ(items, (QStringList{QStringLiteral("&Show"), QStringLiteral("&Options..."),
                                  QStringLiteral("&User Manual"), QStringLiteral("E&xit")}));

    app->mainWindow()->action(ui::FrameCommand::Show)->trigger();
    EXPECT_TRUE(app->windowVisible());
    EXPECT_TRUE(app->mainWindow()->isVisible());
    EXPECT_FALSE(app->mainWindow()->trayIconVisible());
}

TEST_F(StartupTest, FrameCommandsOpenHelpAndDialogs) {
    writeQuietOptions();
    writeTasks({scriptTask("manual")});
    ASSERT_EQ(startApp(), Application::StartResult::Running);
    ui::MainWindow& window = *app->mainWindow();

    window.action(ui::FrameCommand::UserManual)->trigger();
    ASSERT_EQ(prompter.opened.size(), 1u);
    EXPECT_TRUE(prompter.opened[0].isLocalFile());
    EXPECT_TRUE(std::filesystem::exists(prompter.opened[0].toLocalFile().toStdString()));

    window.action(ui::FrameCommand::WindowsService)->trigger();
    window.action(ui::FrameCommand::About)->trigger();
    window.action(ui::FrameCommand::TipOfTheDay)->trigger();
    EXPECT_EQ(prompter.dialogs, (QStringList{QStringLiteral("ServiceDialog"), QStringLiteral("AboutDialog"),
                                             QStringLiteral("TipDialog")}));
    window.action(ui::FrameCommand::MySqlServers)->trigger();
    EXPECT_EQ(prompter.dialogs.back(), QStringLiteral("ServerManagerDialog"));
    // No command of the menus or the toolbar waits for code.
    for (int i = 0; i < ui::kFrameCommandCount; ++i)
        EXPECT_TRUE(window.action(static_cast<ui::FrameCommand>(i))->isEnabled()) << i;
    for (TaskCommand c : {TaskCommand::NewTask, TaskCommand::EditTask, TaskCommand::Properties,
                          TaskCommand::CreateRestore, TaskCommand::BackupsList}) {
        EXPECT_TRUE(window.taskView()->hasHandler(c)) << static_cast<int>(c);
    }
    window.action(ui::FrameCommand::Options)->trigger();
    EXPECT_EQ(prompter.dialogs.back(), QStringLiteral("OptionsSheet"));
    EXPECT_EQ(window.minimumSize(), QSize(660, 460));
}

}  // namespace
}  // namespace keelvault::test
