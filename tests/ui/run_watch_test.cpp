// Watching runs from the desktop: the progress of a running task in its row,
// tooltip and the status bar, and the alert after a run that logged errors.
#include <QStatusBar>
#include <QTableView>

#include "core/editing/task_list_service.h"
#include "ui/task_list_model.h"
#include "ui_fixture.h"

namespace keelvault::test {
namespace {

struct TrayMessage {
    QString title;
    QString text;
};

class RunWatchTest : public AppFixture {
protected:
    std::vector<TrayMessage> tray_messages;

    void startWith(const std::vector<CTask>& tasks) {
        writeQuietOptions();
        writeTasks(tasks);
        ui::ApplicationHooks h = hooks();
        h.tray_message = [this](const QString& title, const QString& text) { tray_messages.push_back({title, text}); };
        app = std::make_unique<ui::Application>(prompter, h);
        ASSERT_EQ(app->start(), ui::Application::StartResult::Running);
        prompter.messages.clear();
    }

    QVariant statusData(int row, int role) {
        auto& model = view().model();
        return model.data(model.index(row, ui::TaskListModel::StatusColumn), role);
    }

    // Runs a task and waits for the end of its run (its "Finished" line or an error).
    void runToEnd(int index) {
        const size_t lines = logTexts(server().taskAt(index)).size();
        app->taskList().runImmediately(index);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return logTexts(server().taskAt(index)).size() > lines + 1 && !server().hasWorker(index); }, 5000));
        QCoreApplication::processEvents();
    }
};

TEST_F(RunWatchTest, FailedRunAlertsThroughTheTrayAndOpensItsLog) {
    startWith({scriptTask("quiet", kScheduleManual, {"say all good"}),
               scriptTask("nightly", kScheduleManual, {"say start", "error Disk full on /backup", "error second"})});

    runToEnd(0);
    EXPECT_TRUE(tray_messages.empty());

    runToEnd(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tray_messages.empty(); }, 2000));
    ASSERT_EQ(tray_messages.size(), 1u);
    EXPECT_EQ(tray_messages[0].title, QStringLiteral("The task (nightly) failed"));
    EXPECT_EQ(tray_messages[0].text, QStringLiteral("Disk full on /backup"));

    // Clicking the message opens the failed task's log, whatever is selected.
    view().selectRows({0});
    QStringList titles;
    prompter.on_dialog = [&titles](QDialog& dialog) {
        titles << dialog.windowTitle();
        return QDialog::Rejected;
    };
    app->showAlertedLog();
    ASSERT_EQ(prompter.dialogs, QStringList{QStringLiteral("TaskLogDialog")});
    EXPECT_TRUE(titles.front().contains(QStringLiteral("nightly"))) << titles.front().toStdString();
}

TEST_F(RunWatchTest, RunningRowShowsItsNumbers) {
    startWith({scriptTask("idle"), scriptTask("big backup", kScheduleManual,
                                              {"table sakila film 1000 16", "rows 400 1258291", "sleep 20000"})});
    app->taskList().runImmediately(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server().progressAt(1).rows_done == 400; }, 5000));
    view().refreshRows();

    const QString numbers = QStringLiteral("sakila.film: 400 of 1,000 rows, table 1 of 16, 1.2 MB");
    EXPECT_EQ(statusData(1, Qt::ToolTipRole).toString(), numbers);
    EXPECT_EQ(statusData(1, Qt::DisplayRole).toString(), QStringLiteral("Running..."));
    EXPECT_NEAR(statusData(1, ui::TaskListModel::ProgressRole).toDouble(), 0.4 / 16, 1e-9);
    EXPECT_FALSE(statusData(0, ui::TaskListModel::ProgressRole).isValid());
    EXPECT_NE(statusData(0, Qt::ToolTipRole).toString(), numbers);
    // The bar is painted in the row; drawing must not fail.
    EXPECT_FALSE(view().detailsView()->grab().isNull());

    QStatusBar* bar = app->mainWindow()->statusBar();
    view().selectRows({1});
    view().refreshRows();
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("big backup: ") + numbers);
    view().selectRows({0});
    view().refreshRows();
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("Ready"));

    app->taskList().stop(1);
    view().refreshRows();
    EXPECT_FALSE(statusData(1, ui::TaskListModel::ProgressRole).isValid());
    EXPECT_TRUE(tray_messages.empty());  // a stopped run is no failure
}

}  // namespace
}  // namespace keelvault::test
