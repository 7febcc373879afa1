#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "core/editing/restore_task.h"
#include "core/model/options_file.h"
#include "page_fixture.h"
#include "ui/dialogs/backups_list_dialog.h"
#include "ui/dialogs/hot_key_edit.h"
#include "ui/dialogs/system_options_sheet.h"
#include "ui/platform/autostart.h"
#include "ui/task_list_model.h"
#include "ui/wizard/restore_files_page.h"
#include "ui/wizard/task_name_page.h"
#include "ui_fixture.h"
#include "wizard_driver.h"

namespace keelvault::test {
namespace {

using ui::CSystemOptionsSheet;
using ui::PromptAnswer;

const QString kSizeMessage = QStringLiteral("Please input the maximum size between 1 and 100000!");

class OptionsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        writeQuietOptions();
        CTask task = scriptTask("ran");
        task.last_run = makeTime(2006, 1, 2, 15, 4, 0);
        writeTasks({task});
        ASSERT_EQ(startApp(), ui::Application::StartResult::Running);
        prompter.messages.clear();
    }

    // Opens the options from the Tools menu and lets `edit` work on the sheet.
    void editOptions(const std::function<int(CSystemOptionsSheet&)>& edit) {
        prompter.on_dialog = [&edit](QDialog& dialog) {
            auto& sheet = dynamic_cast<CSystemOptionsSheet&>(dialog);
            sheet.show();
            return edit(sheet);
        };
        app->mainWindow()->action(ui::FrameCommand::Options)->trigger();
    }

    CSystemOptions storedOptions() {
        CSystemOptions stored;
        EXPECT_TRUE(loadOptions(optionsFilePath(folder()), stored));
        return stored;
    }
};

TEST_F(OptionsTest, LogSizeIsCheckedOnLeavingTheTabAndOnOk) {
    struct Case {
        const char* size;
        bool accepted;
    };
    const Case cases[] = {{"5", true}, {"100000", true}, {"0", false}, {"100001", false}, {"", false}, {"1x", false}};
    for (const Case& c : cases) {
        prompter.messages.clear();
        bool tab_kept = false;
        editOptions([&](CSystemOptionsSheet& sheet) {
            sheet.tabs()->setCurrentIndex(1);
            auto* page = sheet.backupLogPage();
            page->maximumButton()->setChecked(true);
            EXPECT_TRUE(page->sizeField()->isEnabled());
            EXPECT_TRUE(page->note()->isEnabled());
            typeInto(page->sizeField(), QString::fromLatin1(c.size));
            sheet.tabs()->setCurrentIndex(0);
            tab_kept = sheet.tabs()->currentIndex() == 1;
            sheet.accept();
            return sheet.result();
        });
        EXPECT_EQ(tab_kept, !c.accepted) << c.size;
        if (c.accepted) {
            EXPECT_TRUE(prompter.messages.empty()) << c.size;
            EXPECT_EQ(storedOptions().log_size_limited, 1);
            EXPECT_EQ(storedOptions().max_log_size_kb, std::stoi(c.size));
        } else {
            EXPECT_EQ(prompter.texts(), (QStringList{kSizeMessage, kSizeMessage})) << c.size;
            EXPECT_EQ(storedOptions().max_log_size_kb, 100000);  // the last accepted value stays
        }
    }
}

TEST_F(OptionsTest, OkSavesTheFieldsAutostartAndTheDisplayFormats) {
    const QString before = view().model().data(view().model().index(0, 2), Qt::DisplayRole).toString();
    EXPECT_EQ(before, QStringLiteral("Mon, Jan 02, 2006 15:04"));
    editOptions([](CSystemOptionsSheet& sheet) {
        auto* general = sheet.generalPage();
        EXPECT_EQ(general->hotKeyField()->text(), QStringLiteral("Ctrl + Alt + M"));
        general->userField()->clear();
        typeInto(general->passwordField(), QStringLiteral("left behind"));
        general->dateFormatButton(3)->setChecked(true);
        general->timeFormatButton(2)->setChecked(true);
        general->autoRunBox()->setChecked(true);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier);
        QCoreApplication::sendEvent(general->hotKeyField(), &press);
        sheet.tabs()->setCurrentIndex(1);
        typeInto(sheet.backupLogPage()->folderField(), QString());
        sheet.accept();
        return sheet.result();
    });
    const CSystemOptions stored = storedOptions();
    // No user name, no password.
    EXPECT_EQ(stored.login_user, "");
    EXPECT_EQ(stored.login_password, "");
    EXPECT_EQ(stored.date_format, 3);
    EXPECT_EQ(stored.time_format, 2);
    EXPECT_EQ(stored.hot_key_code, 0x78);  // F9
    EXPECT_EQ(stored.hot_key_modifiers, 1 | 2);
    EXPECT_EQ(stored.default_backup_folder, (folder() / "Data" / "").string());
    EXPECT_EQ(app->options(), stored);
    EXPECT_TRUE(QFile::exists(ui::autostartEntryPath()));
    // The list and the clock show the new formats at once.
    EXPECT_EQ(view().model().data(view().model().index(0, 2), Qt::DisplayRole).toString(),
              QStringLiteral("Mon, 2006-01-02 03:04 P.M"));
    EXPECT_TRUE(app->mainWindow()->clockText().contains(QStringLiteral(" P.M")) ||
                app->mainWindow()->clockText().contains(QStringLiteral(" A.M")));

    editOptions([](CSystemOptionsSheet& sheet) {
        EXPECT_TRUE(sheet.generalPage()->autoRunBox()->isChecked());
        sheet.generalPage()->autoRunBox()->setChecked(false);
        sheet.accept();
        return sheet.result();
    });
    EXPECT_FALSE(QFile::exists(ui::autostartEntryPath()));
}

TEST_F(OptionsTest, ResetAndCancel) {
    CSystemOptions changed = app->options();
    changed.login_user = "admin";
    changed.login_password = "pw";
    changed.date_format = 2;
    changed.log_size_limited = 1;
    changed.max_log_size_kb = 40;
    changed.default_backup_folder = "/srv/backup/";
    app->applyOptions(changed);
    editOptions([this](CSystemOptionsSheet& sheet) {
        auto* backup = sheet.backupLogPage();
        EXPECT_EQ(backup->folderField()->text(), QStringLiteral("/srv/backup/"));
        EXPECT_TRUE(backup->maximumButton()->isChecked());
        EXPECT_EQ(backup->sizeField()->text(), QStringLiteral("40"));
        sheet.generalPage()->resetButton()->click();
        backup->resetButton()->click();
        EXPECT_EQ(backup->folderField()->text(), QString::fromStdString((folder() / "Data" / "").string()));
        EXPECT_TRUE(backup->unlimitedButton()->isChecked());
        EXPECT_TRUE(backup->sizeField()->text().isEmpty());
        EXPECT_FALSE(backup->sizeField()->isEnabled());
        EXPECT_FALSE(backup->note()->isEnabled());
        EXPECT_TRUE(sheet.generalPage()->dateFormatButton(1)->isChecked());
        EXPECT_TRUE(sheet.generalPage()->userField()->text().isEmpty());
        sheet.reject();  // Cancel keeps everything
        return sheet.result();
    });
    EXPECT_EQ(app->options(), changed);
    EXPECT_EQ(storedOptions(), changed);
}

TEST(HotKeyCodes, VirtualKeysMapBothWays) {
    for (uint16_t vk : {uint16_t{'M'}, uint16_t{'0'}, uint16_t{0x70}, uint16_t{0x87}, uint16_t{0x2E}, uint16_t{0x21}}) {
        EXPECT_EQ(ui::virtualKeyForQtKey(ui::qtKeyForVirtualKey(vk), false), vk) << vk;
    }
    EXPECT_EQ(ui::virtualKeyForQtKey(Qt::Key_5, true), 0x65);
    EXPECT_EQ(ui::virtualKeyForQtKey(Qt::Key_Plus, true), 0x6B);
    EXPECT_EQ(ui::virtualKeyForQtKey(Qt::Key_Plus, false), 0);
    EXPECT_EQ(ui::hotKeyText(0x70, 1 | 8), QStringLiteral("Shift + Win + F1"));
}

// Backup files on disk and a backup task recording them.
class BackupsListTest : public ::testing::Test {
protected:
    TempDir dir;
    CSystemOptions options;
    ScriptedPrompter prompter;
    CTask task;

    void SetUp() override {
        task.name = "Nightly";
        task.source.host = "db1";
        task.source.port = 3310;
        task.backup_options.flags[kOptFileType] = 1;
    }

    std::string file(const std::string& name, const std::string& content = "SELECT 1;\n") {
        const auto path = dir / name;
        writeFile(path, content);
        return path.string();
    }

    CBackupRecord record(std::vector<std::string> files, int day = 3) {
        CBackupRecord r;
        r.year = 2026;
        r.month = 12;
        r.day = day;
        r.hour = 14;
        r.minute = 5;
        r.second = 9;
        r.files = std::move(files);
        return r;
    }

    std::unique_ptr<ui::BackupsListDialog> open(bool service = false, ui::BackupsListDialog::BackupsSource fresh = {}) {
        auto dialog = std::make_unique<ui::BackupsListDialog>(task, options, service, std::move(fresh), prompter);
        dialog->show();
        return dialog;
    }

    static void choose(ui::BackupsListDialog& dialog, int row) {
        dialog.list()->setCurrentItem(dialog.list()->topLevelItem(row));
    }
};

TEST_F(BackupsListTest, RowsAndTheCreateRestoreRules) {
    const std::string kept = file("shop.sql.GZ");
    task.backups = {record({dir.path().string() + "/gone1.sql", kept, dir.path().string() + "/gone2.sql"}),
                    record({dir.path().string() + "/gone3.sql"}, 4)};
    auto dialog = open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Backups List - Nightly"));
    ASSERT_EQ(dialog->list()->topLevelItemCount(), 2);
    EXPECT_EQ(dialog->list()->topLevelItem(0)->text(0), QStringLiteral(" Dec 03, 2026 14:05:09"));
    EXPECT_EQ(dialog->list()->topLevelItem(0)->text(1), QStringLiteral("3"));

    dialog->createRestoreButton()->click();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Please choose a backup item!"));

    // Every file gone: the message, and the dialog stays.
    choose(*dialog, 1);
    dialog->createRestoreButton()->click();
    EXPECT_EQ(prompter.last()->text, QString::fromLatin1(kNoBackupFilesMessage));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->restoreTask());

    // Declined, nothing; then one file of three survives, with a capital "GZ".
    choose(*dialog, 0);
    prompter.answers = {PromptAnswer::No, PromptAnswer::Yes};
    dialog->createRestoreButton()->click();
    EXPECT_TRUE(dialog->isVisible());
    dialog->createRestoreButton()->click();
    EXPECT_EQ(prompter.last()->text,
              QStringLiteral("Do you want to create a task to restore databases by the selected backup item?"));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_TRUE(dialog->restoreTask());
    const CTask& restore = *dialog->restoreTask();
    EXPECT_EQ(restore.task_type, kTypeRestoreFromFiles);
    EXPECT_EQ(restore.name, "Restore_Nightly");
    EXPECT_EQ(restore.destination, task.source);
    ASSERT_EQ(restore.restore_files.size(), 1u);
    EXPECT_EQ(restore.restore_files[0].full_path, kept);
    EXPECT_EQ(restore.restore_files[0].file_name, "shop.sql.GZ");
    EXPECT_EQ(restore.restore_files[0].kind, 101);
}

TEST_F(BackupsListTest, OpenFolderRefreshAndPhpBackups) {
    const std::string sql = file("a.sql");
    task.backups = {record({sql}), record({"/nowhere/at/all/b.sql"}), record({})};
    auto dialog = open();
    dialog->openFolderButton()->click();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Please choose a backup item!"));
    choose(*dialog, 2);
    dialog->openFolderButton()->click();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("There is not any backup files!"));
    choose(*dialog, 1);
    dialog->openFolderButton()->click();
    EXPECT_EQ(prompter.last()->text,
              QStringLiteral("The backup folder is not exists!\n\nThe folder and the backup files may be removed!"));
    // A double click opens the folder too.
    emit dialog->list()->itemDoubleClicked(dialog->list()->topLevelItem(0), 0);
    ASSERT_EQ(prompter.opened.size(), 1u);
    EXPECT_EQ(prompter.opened[0], QUrl::fromLocalFile(QString::fromStdString(dir.path().string() + "/")));

    // Refresh shows the records as they are now.
    bool asked = false;
    auto refreshed = open(false, [&] {
        asked = true;
        return std::optional<std::vector<CBackupRecord>>({record({sql}), record({sql}), record({sql}), record({sql})});
    });
    refreshed->refreshButton()->click();
    EXPECT_TRUE(asked);
    EXPECT_EQ(refreshed->list()->topLevelItemCount(), 4);

    // While the service runs nothing is made; PHP backups never make a restore.
    EXPECT_FALSE(open(true)->createRestoreButton()->isEnabled());
    task.backup_options.flags[kOptFileType] = 2;
    auto php = open();
    EXPECT_FALSE(php->createRestoreButton()->isEnabled());
    EXPECT_FALSE(php->createRestoreButton()->isVisible());
}

class RestoreCommandsTest : public AppFixture {
protected:
    TempDir dir;

    CTask backupTask(std::vector<CBackupRecord> backups) {
        CTask task = scriptTask("Nightly");
        task.task_type = kTypeBackupToFiles;
        task.source.host = "db1";
        task.backups = std::move(backups);
        return task;
    }
    void startWith(const std::vector<CTask>& tasks) {
        writeQuietOptions();
        writeTasks(tasks);
        ASSERT_EQ(startApp(), ui::Application::StartResult::Running);
        prompter.messages.clear();
        prompter.dialogs.clear();
    }
};

// The list, Create Restore, the wizard on the prepared task, Finish.
TEST_F(RestoreCommandsTest, BackupsListMakesARestoreTaskThroughTheWizard) {
    const auto dump = dir / "shop.sql";
    writeFile(dump, "SELECT 1;\n");
    CBackupRecord record;
    record.year = 2026;
    record.files = {dump.string()};
    startWith({scriptTask("other"), backupTask({record})});
    view().selectRows({1});
    ASSERT_TRUE(view().action(TaskCommand::BackupsList)->isEnabled());
    prompter.answers = {PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::No};  // restore, DROP question, no run
    prompter.on_dialog = [this](QDialog& dialog) {
        if (auto* list = qobject_cast<ui::BackupsListDialog*>(&dialog)) {
            list->list()->setCurrentItem(list->list()->topLevelItem(0));
            list->createRestoreButton()->click();
            return list->result();
        }
        auto& wizard = dynamic_cast<ui::CTaskWizardSheet&>(dialog);
        EXPECT_EQ(wizard.taskType(), kTypeRestoreFromFiles);
        return driveWizard(
            wizard,
            [](ui::CTaskWizardSheet& w, TaskPage page) {
                if (page == TaskPage::TaskName) {
                    EXPECT_EQ(w.page<ui::TaskNameContent>()->nameField()->text(), QStringLiteral("Restore_Nightly"));
                }
                if (page == TaskPage::RestoreFiles) {
                    EXPECT_EQ(w.page<ui::RestoreFilesContent>()->files().size(), 1u);
                }
            },
            prompter);
    };
    view().action(TaskCommand::BackupsList)->trigger();
    EXPECT_EQ(prompter.dialogs, (QStringList{QStringLiteral("BackupsListDialog"), QStringLiteral("TaskWizard")}));
    ASSERT_EQ(server().taskCount(), 3);
    const CTask restore = server().copyTask(2);
    EXPECT_EQ(restore.name, "Restore_Nightly");
    EXPECT_EQ(restore.task_type, kTypeRestoreFromFiles);
    EXPECT_EQ(restore.destination.host, "db1");
    ASSERT_EQ(restore.restore_files.size(), 1u);
    EXPECT_EQ(logTexts(restore), std::vector<std::string>{"Create restore task by backup task"});
    EXPECT_FALSE(std::filesystem::exists(newTasksFilePath(folder())));
    EXPECT_EQ(view().selectedRows(), QList<int>{2});
}

TEST_F(RestoreCommandsTest, WhileTheServiceRunsTheListRefreshesFromTheStoredFile) {
    service = true;
    CBackupRecord record;
    record.year = 2026;
    record.files = {(dir / "a.sql").string()};
    startWith({backupTask({record})});
    view().selectRows({0});
    ASSERT_TRUE(view().action(TaskCommand::BackupsList)->isEnabled());
    // The service records two more runs in the task list file.
    writeTasks({backupTask({record, record, record})});
    int before = -1;
    int after = -1;
    bool can_restore = true;
    prompter.on_dialog = [&](QDialog& dialog) {
        auto& list = dynamic_cast<ui::BackupsListDialog&>(dialog);
        before = list.list()->topLevelItemCount();
        list.refreshButton()->click();
        after = list.list()->topLevelItemCount();
        can_restore = list.createRestoreButton()->isEnabled();
        return static_cast<int>(QDialog::Rejected);
    };
    view().action(TaskCommand::BackupsList)->trigger();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 3);
    EXPECT_FALSE(can_restore);
}

TEST_F(RestoreCommandsTest, CreateRestoreOpensTheWizardOnTheRestoreTypeOnlyForBackups) {
    CTask copy = backupTask({});
    copy.task_type = kTypeBackupToServer;
    copy.destination.host = "db2";
    CTask export_task = scriptTask("export");
    export_task.task_type = kTypeExport;
    startWith({copy, export_task});
    CTask seen;
    prompter.on_dialog = [&seen](QDialog& dialog) {
        seen = dynamic_cast<ui::CTaskWizardSheet&>(dialog).task();
        return static_cast<int>(QDialog::Rejected);
    };
    view().selectRows({1});
    EXPECT_FALSE(view().action(TaskCommand::CreateRestore)->isEnabled());
    view().selectRows({0});
    view().action(TaskCommand::CreateRestore)->trigger();
    EXPECT_EQ(seen.task_type, kTypeRestoreFromServer);
    EXPECT_EQ(seen.name, "Restore_Nightly");
    EXPECT_EQ(seen.source.host, "db2");  // the servers swapped
    EXPECT_EQ(seen.destination.host, "db1");
    EXPECT_EQ(server().taskCount(), 2);  // cancelled
}

}  // namespace
}  // namespace keelvault::test
