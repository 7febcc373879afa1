// "Verify..." in the backups list: the chosen saved server gets the backup
// in scratch databases, on a worker thread, and the task log the result.

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "core/engine/backup_digests.h"
#include "core/engine/backup_test_harness.h"
#include "scripted_prompter.h"
#include "ui/dialogs/backups_list_dialog.h"

namespace keelvault {
namespace {

TEST(BackupsListVerify, RunsInTheBackgroundAndWritesTheTaskLog) {
    KEELVAULT_REQUIRE_SERVER(1);
    KEELVAULT_REQUIRE_SERVER(2);
    ASSERT_TRUE(backup_test::runSql(1, {"DROP DATABASE IF EXISTS kv_vf_ui", "CREATE DATABASE kv_vf_ui", "USE kv_vf_ui",
                                        "CREATE TABLE t (id INT PRIMARY KEY, d DATETIME)",
                                        "INSERT INTO t VALUES (1,'2006-05-01 09:05:07'),(2,NULL)"}));
    backup_test::BackupHarness backup;
    backup.task.databases = {backup_test::wholeDatabase("kv_vf_ui")};
    ASSERT_EQ(backup.run(), EngineResult::Finished);
    const CTask task = backup.task;

    CSystemOptions options;
    test::ScriptedPrompter prompter;
    CServerSettings scratch = test::testServerSettings(2);
    scratch.connection_name = "scratch";
    ui::BackupsListDialog dialog(task, options, false, {}, prompter);
    dialog.setVerifySetup({scratch}, backup.env.logsFolder());
    dialog.show();
    QTreeWidgetItem* row = dialog.list()->topLevelItem(0);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->toolTip(0).contains(QStringLiteral("can be verified")));
    dialog.list()->setCurrentItem(row);

    prompter.on_dialog = [](QDialog& ask) {
        auto* servers = ask.findChild<QComboBox*>(QStringLiteral("servers"));
        if (!servers || servers->count() != 1 || servers->itemText(0) != QStringLiteral("scratch")) {
            return int(QDialog::Rejected);
        }
        servers->setCurrentIndex(0);
        return int(QDialog::Accepted);
    };
    dialog.verifyButton()->click();
    EXPECT_EQ(prompter.dialogs, QStringList{QStringLiteral("VerifyServerDialog")});
    // The result comes back through the event loop only: the click has returned with the work still going.
    EXPECT_TRUE(dialog.verifying());
    EXPECT_FALSE(dialog.verifyButton()->isEnabled());
    EXPECT_TRUE(prompter.messages.empty());

    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.verifying(); }, 60000));
    EXPECT_TRUE(dialog.verifyButton()->isEnabled());
    ASSERT_FALSE(prompter.messages.empty());
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Verified 1 table: 1 equal, 0 different"));
    EXPECT_EQ(prompter.last()->icon, ui::PromptIcon::Information);
    bool table_line = false, summary_line = false;
    for (const LogRecord& r : backup.log()) {
        table_line = table_line || (r.text == "kv_vf_ui.t: equal" && r.level == kLogInfo);
        summary_line = summary_line || r.text == "Verified 1 table: 1 equal, 0 different";
    }
    EXPECT_TRUE(table_line);
    EXPECT_TRUE(summary_line);

    // Without its digests a backup cannot be verified, and no server is asked for.
    std::filesystem::remove(backupDigestsPath(task.backups.back()));
    dialog.verifyButton()->click();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("This backup has no digests; it cannot be verified."));
    EXPECT_EQ(prompter.dialogs.size(), 1);
}

}  // namespace
}  // namespace keelvault
