#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <fstream>

#include "page_fixture.h"
#include "support/test_support.h"
#include "ui/dialogs/backup_files_settings_dialog.h"
#include "ui/dialogs/schedule_settings_dialogs.h"
#include "ui/wizard/backup_file_page.h"
#include "ui/wizard/buffer_page.h"
#include "ui/wizard/choose_databases_page.h"
#include "ui/wizard/choose_tables_page.h"
#include "ui/wizard/database_combo.h"
#include "ui/wizard/dest_database_page.h"
#include "ui/wizard/export_file_page.h"
#include "ui/wizard/number_spin.h"
#include "ui/wizard/restore_files_page.h"
#include "ui/wizard/schedule_page.h"
#include "ui/wizard/select_tables_page.h"
#include "ui/wizard/server_block.h"
#include "ui/wizard/sql_script_page.h"

namespace keelvault::test {
namespace {

using ui::PageMode;

CDatabaseItem database(const std::string& name, std::vector<std::string> tables) {
    CDatabaseItem d{0, name, {}};
    for (const std::string& t : tables) d.tables.push_back(CTableItem{0, 1, name, t});
    return d;
}

class ContentPageTest : public PageTest {};

TEST_F(ContentPageTest, TheDatabasesTreeStoresPartlyAndFullyCheckedDatabases) {
    cache.replace(ServerCatalogue{
        {database("shop", {"orders", "items"}), database("crm", {"people"}), database("empty", {})}, {}, {}});
    auto content = page<ui::ChooseDatabasesContent>(PageMode::Wizard);
    QTreeWidget* tree = content->tree();
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    tree->topLevelItem(0)->child(1)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(tree->topLevelItem(0)->checkState(0), Qt::PartiallyChecked);
    tree->topLevelItem(1)->child(0)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(tree->topLevelItem(1)->checkState(0), Qt::Checked);  // all its tables
    ASSERT_TRUE(content->leave());
    ASSERT_EQ(task.databases.size(), 3u);
    EXPECT_EQ(task.databases[0].selected, 1);
    EXPECT_EQ(task.databases[0].tables[0].selected, 0);
    EXPECT_EQ(task.databases[0].tables[1].selected, 2);
    EXPECT_EQ(task.databases[1].selected, 2);
    EXPECT_EQ(task.databases[1].tables[0].selected, 2);
    EXPECT_EQ(task.databases[2].selected, 0);

    // Unchecking the last checked table unchecks its database.
    tree->topLevelItem(0)->child(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(tree->topLevelItem(0)->checkState(0), Qt::Unchecked);

    // Nothing chosen: refused, or asked when new databases are taken.
    content->selectAllButton()->click();
    for (int i = 0; i < 3; ++i) tree->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    const auto stored = task.databases;
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(lastText(), QStringLiteral("Please choose the source databases or tables!"));
    content->newDatabasesBox()->setChecked(true);
    prompter.answers = {ui::PromptAnswer::No};
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(task.databases, stored);
    EXPECT_TRUE(content->leave());  // unscripted: Yes
    EXPECT_EQ(task.backup_options.flag(kOptNewDatabases), 1);

    content->structureBox()->setChecked(false);
    content->recordsBox()->setChecked(false);
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(lastText(), QStringLiteral("Please choose the table structure or records!"));

    // Back resets the backup options.
    task.backup_options.flags[kOptLockTables] = 0;
    content->leaveBack();
    EXPECT_EQ(task.backup_options, CBackupOptions{});
}

TEST_F(ContentPageTest, TheEditTwinShowsTheStoredSelection) {
    CDatabaseItem shop = database("shop", {"orders", "items"});
    shop.selected = 1;
    shop.tables[1].selected = 2;
    task.databases = {shop, database("crm", {"people"})};
    auto content = page<ui::ChooseDatabasesContent>(PageMode::Edit);
    EXPECT_EQ(content->tree()->topLevelItem(0)->checkState(0), Qt::PartiallyChecked);
    EXPECT_EQ(content->tree()->topLevelItem(0)->child(1)->text(0), QStringLiteral("items (Table)"));
    EXPECT_TRUE(content->leave());
    EXPECT_EQ(task.databases[0], shop);
}

TEST_F(ContentPageTest, ChosenTablesBecomeOneDatabaseEntry) {
    task.source.database = "shop";
    cache.replace(ServerCatalogue{{}, {}, database("shop", {"orders", "items", "notes"}).tables});
    cache.catalogue.tables[2].kind = 2;
    auto content = page<ui::ChooseTablesContent>(PageMode::Wizard);
    ASSERT_EQ(content->list()->count(), 3);
    EXPECT_EQ(content->list()->item(2)->text(), QStringLiteral("notes (View)"));
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(lastText(), QStringLiteral("Please choose the source tables!"));
    content->list()->item(0)->setSelected(true);
    content->invertButton()->click();
    ASSERT_TRUE(content->leave());
    ASSERT_EQ(task.databases.size(), 1u);
    EXPECT_EQ(task.databases[0].name, "shop");
    EXPECT_EQ(task.databases[0].selected, 1);
    EXPECT_EQ(task.databases[0].tables[0].selected, 0);
    EXPECT_EQ(task.databases[0].tables[1].selected, 2);
    content->selectAllButton()->click();
    ASSERT_TRUE(content->leave());
    EXPECT_EQ(task.databases[0].selected, 2);
}

TEST_F(ContentPageTest, ExportTablesMoveBetweenTheLists) {
    ServerCatalogue catalogue;
    catalogue.database_names = {"shop", "crm"};
    catalogue.tables = database("shop", {"orders", "items"}).tables;
    catalogue.tables.push_back(CTableItem{0, 1, "crm", "people"});
    cache.replace(catalogue);
    auto content = page<ui::SelectTablesContent>(PageMode::Wizard);
    EXPECT_EQ(content->sourceList()->count(), 2);
    content->addButton()->click();
    EXPECT_EQ(lastText(), QStringLiteral("Please choose the source tables!"));
    content->removeButton()->click();
    EXPECT_EQ(lastText(), QStringLiteral("Please choose the export tables!"));
    EXPECT_FALSE(content->leave());
    content->sourceList()->item(1)->setSelected(true);
    content->addButton()->click();
    EXPECT_EQ(content->sourceList()->count(), 1);
    content->databaseList()->setCurrentIndex(1);
    content->addAllButton()->click();
    ASSERT_TRUE(content->leave());
    ASSERT_EQ(task.export_tables.size(), 2u);
    EXPECT_EQ(task.export_tables[0].table, "items");
    EXPECT_EQ(task.export_tables[1].database, "crm");
    content->removeAllButton()->click();
    EXPECT_EQ(content->exportList()->topLevelItemCount(), 0);
    EXPECT_EQ(content->sourceList()->count(), 1);  // crm's table is back
}

TEST_F(ContentPageTest, DestinationDatabaseChoices) {
    task.task_type = kTypeBackupToDatabase;
    task.source.host = "db1";
    task.source.database = "shop";
    struct Case {
        bool create;
        const char* name;
        const char* host;
        const char* message;
    };
    const Case cases[] = {
        {true, "%DATABASE%_%DATE%_%TIME%", "db1", nullptr},
        {true, "shop.copy", "db2", "There are some invalid characters \n('/', '\\\\', or '.') \nin the database name!"},
        {true, "shop", "db1", "The destination database can't same as the source database!"},
        {true, "shop", "db2", nullptr},
        {true, "", "db2", "Please input the new database name!"},
    };
    for (const Case& c : cases) {
        task.destination = CServerSettings{};
        task.backup_options = CBackupOptions{};
        prompter.messages.clear();
        auto content = page<ui::DestDatabaseContent>(PageMode::Wizard);
        typeInto(content->block()->hostField(), QString::fromLatin1(c.host));
        content->newButton()->click();
        EXPECT_EQ(content->newNameField()->text(), QStringLiteral("%DATABASE%_%DATE%_%TIME%"));
        EXPECT_FALSE(content->databaseList()->isEnabled());
        typeInto(content->newNameField(), QString::fromLatin1(c.name));
        if (!c.message) {
            EXPECT_TRUE(content->leave()) << c.name;
            EXPECT_EQ(task.backup_options.new_database, 1);
            EXPECT_EQ(task.backup_options.destination_database, c.name);
        } else {
            EXPECT_FALSE(content->leave()) << c.name;
            EXPECT_EQ(lastText(), QString::fromLatin1(c.message).replace(QStringLiteral("\\\\"), QStringLiteral("\\")));
            EXPECT_EQ(task.backup_options.new_database, 0);
        }
    }
    auto content = page<ui::DestDatabaseContent>(PageMode::Wizard);
    task.backup_options = CBackupOptions{};
    prompter.messages.clear();
    auto fresh = page<ui::DestDatabaseContent>(PageMode::Wizard);
    EXPECT_FALSE(fresh->leave());
    EXPECT_EQ(lastText(), QStringLiteral("Please choose the destination database!"));
}

TEST_F(ContentPageTest, BackupFileTypeRadiosSwapTheExtension) {
    task.backup_options.flags[kOptFileMode] = 1;
    auto content = page<ui::BackupFileContent>(PageMode::Wizard);
    struct Case {
        const char* typed;
        bool php;
        const char* shown;
    };
    for (const Case c : {Case{"b.txt", false, "b.sql"}, Case{"/tmp/x/dump.sql", true, "/tmp/x/dump.php"},
                         Case{"abc", false, "abc"}, Case{".txt", false, ".txt"}}) {
        typeInto(content->fileField(), QString::fromLatin1(c.typed));
        (c.php ? content->phpButton() : content->sqlButton())->click();
        EXPECT_EQ(content->fileField()->text(), QString::fromLatin1(c.shown)) << c.typed;
    }
    content->phpButton()->click();
    EXPECT_FALSE(content->unixNewlinesBox()->isEnabled());
    content->sqlButton()->click();
    EXPECT_TRUE(content->unixNewlinesBox()->isEnabled());

    TempDir dir;
    content->newFilesButton()->click();
    EXPECT_FALSE(content->browseButton()->isEnabled());
    typeInto(content->folderField(), QString::fromStdString((dir / "new").string()));
    ASSERT_TRUE(content->leave());
    EXPECT_EQ(task.backup_options.backup_directory, (dir / "new").string() + "/");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "new"));
    EXPECT_EQ(task.backup_options.same_file_path, "");
    typeInto(content->folderField(), QString::fromStdString((dir / "a" / "b").string()));
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(lastText(), QStringLiteral("Invalid folder!"));
}

TEST_F(ContentPageTest, BackupFilesSettingsChecksTheFormatAndRetention) {
    struct Case {
        int grouping;
        const char* format;
        int retention;  // 0 none, 1 days, 2 copies
        const char* number;
        const char* message;
    };
    const Case cases[] = {{2, "%HOST%_%database%", 0, "", "Please include %DATABASE% in file name format!"},
                          {1, "%HOST%_%TABLE%", 0, "", "Please do not include %TABLE% in file name format!"},
                          {1, "%HOST%", 1, "0", "Invalid keeping days!"},
                          {1, "%HOST%", 1, "10001", "Invalid keeping days!"},
                          {1, "%HOST%", 2, "", "Invalid backup copies!"},
                          {1, "  %HOST%  ", 1, "10000", nullptr}};
    for (const Case& c : cases) {
        prompter.messages.clear();
        ui::BackupFilesSettingsDialog dialog(CBackupOptions{}, prompter);
        dialog.groupingButton(c.grouping)->click();
        typeInto(dialog.formatField(), QString::fromLatin1(c.format));
        if (c.retention == 1) dialog.keepDaysBox()->setChecked(true);
        if (c.retention == 2) {
            dialog.keepDaysBox()->setChecked(true);
            dialog.keepCopiesBox()->setChecked(true);  // excludes the other
            EXPECT_FALSE(dialog.keepDaysBox()->isChecked());
            EXPECT_FALSE(dialog.keepDaysSpin()->isEnabled());
        }
        (c.retention == 2 ? dialog.keepCopiesSpin() : dialog.keepDaysSpin())->setText(QString::fromLatin1(c.number));
        dialog.okButton()->click();
        if (c.message) {
            EXPECT_EQ(lastText(), QString::fromLatin1(c.message)) << c.format;
            EXPECT_NE(dialog.result(), QDialog::Accepted);
        } else {
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(dialog.values().format, "%HOST%");
            EXPECT_EQ(dialog.values().retention_kind, 1);
            EXPECT_EQ(dialog.values().retention_limit, 10000);
        }
    }
    // Choosing a grouping shows its default format.
    ui::BackupFilesSettingsDialog dialog(CBackupOptions{}, prompter);
    dialog.groupingButton(3)->click();
    EXPECT_EQ(dialog.formatField()->text(), QStringLiteral("%HOST%_%DATABASE%_%TABLE%_%DATE%_%TIME%"));
}

TEST_F(ContentPageTest, BufferCounts) {
    struct Case {
        const char* count;
        bool accepted;
        int stored;
    };
    for (const Case c : {Case{"200 ", false, 0}, Case{"007", true, 7}, Case{"0", false, 0}, Case{"10001", false, 0},
                         Case{"10000", true, 10000}}) {
        task.buffer_options = CBufferOptions{};
        prompter.messages.clear();
        auto content = page<ui::BufferContent>(PageMode::Wizard);
        EXPECT_FALSE(content->storeButton()->isEnabled());
        content->enableBox()->click();
        EXPECT_TRUE(content->storeButton()->isChecked());
        EXPECT_EQ(content->countSpin()->text(), QStringLiteral("200"));
        content->countSpin()->setText(QString::fromLatin1(c.count));
        EXPECT_EQ(content->leave(), c.accepted) << c.count;
        if (c.accepted) {
            EXPECT_EQ(task.buffer_options, (CBufferOptions{1, c.stored}));
        } else {
            EXPECT_EQ(lastText(), QStringLiteral("Please input a number between 1 and 10000!"));
            EXPECT_EQ(task.buffer_options, CBufferOptions{});
        }
    }
    auto content = page<ui::BufferContent>(PageMode::Wizard);
    content->storeAllButton()->click();
    ASSERT_TRUE(content->leave());
    EXPECT_EQ(task.buffer_options, (CBufferOptions{2, 200}));
}

TEST_F(ContentPageTest, ScheduleSettingsAndNext) {
    auto content = page<ui::ScheduleContent>(PageMode::Wizard);
    EXPECT_TRUE(content->kindButton(kScheduleManual)->isChecked());
    EXPECT_FALSE(content->settingsButton(kScheduleEveryDay)->isEnabled());

    // Every Week with a time but no weekday.
    task.schedule.hour = 3;
    content->kindButton(kScheduleEveryWeek)->click();
    EXPECT_TRUE(content->settingsButton(kScheduleEveryWeek)->isEnabled());
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(lastText(), QStringLiteral("Please set the Every Week Settings!"));

    // The interval dialog clears the time, so Every Day at 00:00 is accepted.
    prompter.on_dialog = [](QDialog& dialog) {
        auto& interval = static_cast<ui::IntervalSettingsDialog&>(dialog);
        interval.minutesSpin()->setText(QStringLiteral("15"));
        interval.okButton()->click();
        return dialog.result();
    };
    content->kindButton(kScheduleTimeInterval)->click();
    content->settingsButton(kScheduleTimeInterval)->click();
    EXPECT_EQ(content->working().interval_minutes, 15);
    content->kindButton(kScheduleEveryDay)->click();
    ASSERT_TRUE(content->leave());
    EXPECT_EQ(task.schedule.kind, kScheduleEveryDay);
    EXPECT_EQ(task.schedule.hour, 0);
    EXPECT_EQ(task.schedule.minute, 0);

    // The week dialog needs a day.
    prompter.messages.clear();
    prompter.on_dialog = [](QDialog& dialog) {
        auto& week = static_cast<ui::DaysSettingsDialog&>(dialog);
        week.hourList()->setCurrentIndex(22);
        week.minuteList()->setCurrentIndex(5);
        week.okButton()->click();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        week.dayBox(1)->setChecked(true);
        week.okButton()->click();
        return dialog.result();
    };
    content->kindButton(kScheduleEveryWeek)->click();
    content->settingsButton(kScheduleEveryWeek)->click();
    EXPECT_EQ(prompter.texts(), QStringList{QStringLiteral("Please choose the days of the week!")});
    ASSERT_TRUE(content->leave());
    EXPECT_EQ(task.schedule.kind, kScheduleEveryWeek);
    EXPECT_EQ(task.schedule.hour, 22);
    EXPECT_EQ(task.schedule.week_days, (std::array<uint8_t, 7>{0, 1, 0, 0, 0, 0, 0}));

    // A special date once: no repeat line in the view.
    prompter.on_dialog = [](QDialog& dialog) {
        auto& special = static_cast<ui::SpecialDateSettingsDialog&>(dialog);
        special.calendar()->setSelectedDate(QDate(2030, 5, 1));
        EXPECT_EQ(special.dateText()->text(), QStringLiteral("Wed, May 01, 2030"));
        special.hourList()->setCurrentIndex(8);
        special.minuteList()->setCurrentIndex(0);
        special.repeatSpin()->setText(QString());
        special.okButton()->click();
        return dialog.result();
    };
    content->kindButton(kScheduleSpecialDate)->click();
    content->settingsButton(kScheduleSpecialDate)->click();
    ASSERT_TRUE(content->leave());
    auto view = page<ui::ScheduleContent>(PageMode::View);
    EXPECT_EQ(view->kindView()->text(), QStringLiteral("Special Date"));
    EXPECT_EQ(view->settingsView()->toPlainText(), QStringLiteral("Run Date and Time:\nWed, May 01, 2030 08:00"));
}

TEST_F(ContentPageTest, ScriptTextIsCutIntoStatements) {
    struct Case {
        const char* text;
        std::vector<std::string> statements;
    };
    const Case cases[] = {{"SELECT 1;", {"SELECT 1;"}},
                          {"SELECT 1", {"SELECT 1;"}},
                          {"-- note\nSELECT 1;\nSELECT 2;", {"SELECT 1;", "SELECT 2;"}},
                          {"SELECT a\nFROM t;", {"SELECT aFROM t;"}},
                          {"SELECT 1; \nSELECT 2;", {"SELECT 1; SELECT 2;"}}};
    for (const Case& c : cases) {
        task.script.clear();
        auto content = page<ui::SqlScriptContent>(PageMode::Wizard);
        content->editor()->setPlainText(QString::fromLatin1(c.text));
        ASSERT_TRUE(content->leave()) << c.text;
        EXPECT_EQ(task.script, c.statements) << c.text;
    }
    auto content = page<ui::SqlScriptContent>(PageMode::Wizard);
    content->editor()->setPlainText(QStringLiteral("-- only a comment\n"));
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(lastText(), QStringLiteral("Please input the SQL script!"));
    EXPECT_EQ(task.script, cases[4].statements);

    chooser.files = {QStringLiteral("/nonexistent/x.sql")};
    content->addFromFileButton()->click();
    EXPECT_EQ(lastText(), QStringLiteral("Failed to open the file!"));
    EXPECT_EQ(prompter.last()->icon, ui::PromptIcon::Error);
}

TEST_F(ContentPageTest, RestoreFilesAddSelectAndAsk) {
    TempDir dir;
    writeFile(dir / "small.sql", std::string(1000, 'x'));
    writeFile(dir / "big.gz", std::string(3000, 'y'));
    writeFile(dir / "notes.txt", "z");
    const QString small = QString::fromStdString((dir / "small.sql").string());
    const QString big = QString::fromStdString((dir / "big.gz").string());
    auto content = page<ui::RestoreFilesContent>(PageMode::Wizard);
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(lastText(), QStringLiteral("Please add the files!"));
    chooser.file_lists = {{small, big, QString::fromStdString((dir / "notes.txt").string())}, {small}};
    content->addButton()->click();
    ASSERT_EQ(content->list()->topLevelItemCount(), 2);
    EXPECT_EQ(content->list()->topLevelItem(0)->text(3), QStringLiteral("0 KB"));
    EXPECT_EQ(content->list()->topLevelItem(1)->text(3), QStringLiteral("2 KB"));
    EXPECT_TRUE(content->list()->topLevelItem(1)->isSelected());
    content->addButton()->click();  // already listed: its row is selected instead
    ASSERT_EQ(content->list()->topLevelItemCount(), 2);
    EXPECT_TRUE(content->list()->topLevelItem(0)->isSelected());
    EXPECT_FALSE(content->list()->topLevelItem(1)->isSelected());
    content->moveDownButton()->click();
    EXPECT_EQ(content->files()[1].file_name, "small.sql");
    EXPECT_TRUE(content->list()->topLevelItem(1)->isSelected());

    prompter.answers = {ui::PromptAnswer::No};
    EXPECT_FALSE(content->leave());
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("If there are some DROP and DELETE statements")));
    EXPECT_TRUE(task.restore_files.empty());
    ASSERT_TRUE(content->leave());
    ASSERT_EQ(task.restore_files.size(), 2u);
    EXPECT_EQ(task.restore_files[0].kind, 1);

    // The edit twin does not ask.
    prompter.messages.clear();
    auto edit = page<ui::RestoreFilesContent>(PageMode::Edit);
    EXPECT_TRUE(edit->leave());
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(ContentPageTest, ExportTypesFillTheSeparatorsAndNextUnescapes) {
    TempDir dir;
    task.name = "Exp";
    auto content = page<ui::ExportFileContent>(PageMode::Wizard);
    EXPECT_EQ(content->typeList()->currentIndex(), 0);
    EXPECT_EQ(content->sampleText()->text(), QStringLiteral("Tablename.csv"));
    EXPECT_EQ(content->linesField()->text(), QStringLiteral("\\r\\n"));
    content->chooseType(2);
    EXPECT_FALSE(content->terminatedField()->isEnabled());
    content->chooseType(4);
    EXPECT_EQ(content->terminatedField()->text(), QStringLiteral("\\t"));
    typeInto(content->directoryField(), QString::fromStdString((dir / "out").string()));
    ASSERT_TRUE(content->leave());
    EXPECT_EQ(task.export_options.format, 4);
    EXPECT_EQ(task.export_options.fields_terminated_by, "\t");
    EXPECT_EQ(task.export_options.lines_terminated_by, "\r\n");
    EXPECT_EQ(task.export_options.directory, (dir / "out").string());
    typeInto(content->directoryField(), QString());
    EXPECT_FALSE(content->leave());
    EXPECT_EQ(lastText(), QStringLiteral("Please choose the directory!"));
}

}  // namespace
}  // namespace keelvault::test
