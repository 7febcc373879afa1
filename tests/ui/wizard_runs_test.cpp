// Each task type created through the wizard against the test servers, page
// by page as a user does, then run by the Task Server with the real engines.

#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "core/engine/engines.h"
#include "core/engine/mysql_session.h"
#include "page_fixture.h"
#include "ui/wizard/choose_databases_page.h"
#include "ui/wizard/choose_tables_page.h"
#include "ui/wizard/database_combo.h"
#include "ui/wizard/dest_database_page.h"
#include "ui/wizard/export_file_page.h"
#include "ui/wizard/restore_files_page.h"
#include "ui/wizard/select_tables_page.h"
#include "ui/wizard/server_block.h"
#include "ui/wizard/server_page.h"
#include "ui/wizard/source_database_page.h"
#include "ui/wizard/sql_script_page.h"
#include "ui/wizard/task_name_page.h"
#include "ui_fixture.h"
#include "wizard_driver.h"

namespace keelvault::test {
namespace {

using ui::CTaskWizardSheet;

class WizardRunTest : public AppFixture {
protected:
    // Names of this process's own, as other test processes run at the same time.
    std::string db = "kv_wz_" + std::to_string(getpid());
    std::string copy_db = db + "_copy";
    std::shared_ptr<ScriptedChooser> chooser = std::make_shared<ScriptedChooser>();
    MySqlSession first;
    MySqlSession second;

    void SetUp() override {
        AppFixture::SetUp();
        KEELVAULT_REQUIRE_SERVER(1);
        KEELVAULT_REQUIRE_SERVER(2);
        ASSERT_TRUE(first.open(testServerSettings(1)));
        ASSERT_TRUE(second.open(testServerSettings(2)));
        dropAll();
        for (const std::string& sql : {
                 "CREATE DATABASE `" + db + "`",
                 "CREATE TABLE `" + db + "`.items (id INT PRIMARY KEY, name VARCHAR(40), price DECIMAL(8,2))",
                 "INSERT INTO `" + db +
                     "`.items VALUES (1,'it''s',2.50),(2,NULL,12.00),(3,'caf\xC3\xA9 \\\\ tab\\t',7)",
                 "CREATE TABLE `" + db + "`.notes (id INT, body TEXT)",
                 "INSERT INTO `" + db + "`.notes VALUES (1,'line\\nbreak'),(2,'')",
                 "CREATE VIEW `" + db + "`.cheap AS SELECT id, name FROM `" + db + "`.items WHERE price < 10",
             }) {
            ASSERT_TRUE(first.execute(sql)) << sql << ": " << first.errorText();
        }
        writeQuietOptions();
        ui::ApplicationHooks h = hooks();
        h.register_engines = [](TaskEnvironment& env) { registerBuiltinEngines(env); };
        h.file_chooser = chooser;
        app = std::make_unique<ui::Application>(prompter, h);
        ASSERT_EQ(app->start(), ui::Application::StartResult::Running);
        prompter.messages.clear();
    }

    void TearDown() override {
        if (first.isOpen()) dropAll();
        AppFixture::TearDown();
    }

    void dropAll() {
        for (const std::string& name : {db, copy_db}) {
            first.execute("DROP DATABASE IF EXISTS `" + name + "`");
            second.execute("DROP DATABASE IF EXISTS `" + name + "`");
        }
    }

    // Rows of every table and the view, as text, for comparing two copies.
    static std::string contents(MySqlSession& session, const std::string& database) {
        std::string all;
        for (const char* query :
             {"SELECT id, name, price FROM `%s`.items ORDER BY id", "SELECT id, body FROM `%s`.notes ORDER BY id",
              "SELECT id, name FROM `%s`.cheap ORDER BY id"}) {
            std::string sql = query;
            sql.replace(sql.find("%s"), 2, database);
            ResultPtr result = session.storeQuery(sql);
            if (!result) return "(" + sql + " failed: " + session.errorText() + ")";
            const unsigned fields = mysql_num_fields(result.get());
            while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
                for (unsigned i = 0; i < fields; ++i) all += row[i] ? std::string(row[i]) + "|" : std::string("NULL|");
                all += "\n";
            }
        }
        return all;
    }

    void fillServer(ui::ServerBlock* block, int which) {
        const CServerSettings server = testServerSettings(which);
        typeInto(block->hostField(), QString::fromStdString(server.host));
        typeInto(block->portField(), QString::number(server.port));
        typeInto(block->userField(), QString::fromStdString(server.user));
        typeInto(block->passwordField(), QString::fromStdString(server.password));
    }

    // The wizard of `type` driven to Finish with `fill`, the run question
    // answered Yes, and the run awaited; the new task's index.
    int createAndRun(int type, const std::string& name, const PageFiller& fill) {
        prompter.on_dialog = newTaskScript(
            type,
            [&](CTaskWizardSheet& wizard, TaskPage page) {
                if (page == TaskPage::TaskName) {
                    typeInto(wizard.page<ui::TaskNameContent>()->nameField(), QString::fromStdString(name));
                }
                fill(wizard, page);
            },
            prompter);
        prompter.answers.clear();  // every question Yes, the run included
        const int before = server().taskCount();
        view().action(TaskCommand::NewTask)->trigger();
        if (server().taskCount() != before + 1) {
            ADD_FAILURE() << "no task was added";
            return -1;
        }
        const int index = before;
        const bool ended = QTest::qWaitFor(
            [&] {
                const auto texts = logTexts(server().taskAt(index));
                return std::find(texts.begin(), texts.end(), "Finished") != texts.end() &&
                       server().taskAt(index).status.load() == kStatusIdle;
            },
            120000);
        EXPECT_TRUE(ended) << "the run of " << name << " did not finish";
        for (const LogRecord& r : readAllLog(app->environment().logsFolder(), server().taskAt(index).log_name)) {
            EXPECT_NE(r.level, kLogError) << name << ": " << r.text;
        }
        return index;
    }

    // Checks exactly this process's database in a tree of the catalogue.
    void chooseOnlyOurDatabase(ui::ChooseDatabasesContent* page) {
        QTreeWidget* tree = page->tree();
        bool found = false;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            const bool ours = tree->topLevelItem(i)->text(0).toStdString() == db;
            found = found || ours;
            tree->topLevelItem(i)->setCheckState(0, ours ? Qt::Checked : Qt::Unchecked);
        }
        EXPECT_TRUE(found) << db << " is not in the catalogue";
        page->newDatabasesBox()->setChecked(false);
    }

    void chooseSourceDatabase(ui::SourceDatabaseContent* page, int which) {
        fillServer(page->block(), which);
        page->refillDatabases();
        page->databaseList()->setCurrentIndex(page->databaseList()->findText(QString::fromStdString(db)));
    }

    void chooseNewDestination(ui::DestDatabaseContent* page, int which, const std::string& name) {
        fillServer(page->block(), which);
        page->newButton()->click();
        typeInto(page->newNameField(), QString::fromStdString(name));
    }
};

TEST_F(WizardRunTest, BackupToFilesThenRestoreByFilesGivesTheDatabaseBack) {
    const std::string original = contents(first, db);
    ASSERT_NE(original.find("it's|2.50|"), std::string::npos) << original;
    const int backup = createAndRun(kTypeBackupToFiles, "files", [&](CTaskWizardSheet& w, TaskPage page) {
        if (page == TaskPage::SourceServer) fillServer(w.page<ui::ServerPageContent>()->block(), 1);
        if (page == TaskPage::ChooseDatabases) chooseOnlyOurDatabase(w.page<ui::ChooseDatabasesContent>());
    });
    ASSERT_GE(backup, 0);
    const CTask done = server().copyTask(backup);
    ASSERT_EQ(done.backups.size(), 1u);
    ASSERT_FALSE(done.backups[0].files.empty());
    for (const std::string& file : done.backups[0].files) EXPECT_TRUE(std::filesystem::exists(file)) << file;

    ASSERT_TRUE(first.execute("DROP DATABASE `" + db + "`"));
    QStringList files;
    for (const std::string& file : done.backups[0].files) files << QString::fromStdString(file);
    chooser->file_lists = {files};
    createAndRun(kTypeRestoreFromFiles, "restore files", [&](CTaskWizardSheet& w, TaskPage page) {
        if (page == TaskPage::RestoreFiles) w.page<ui::RestoreFilesContent>()->addButton()->click();
        if (page == TaskPage::DestinationServer) fillServer(w.page<ui::ServerPageContent>()->block(), 1);
    });
    EXPECT_EQ(contents(first, db), original);
}

TEST_F(WizardRunTest, BackupAndRestoreByAnotherServerCopyIdentically) {
    const std::string original = contents(first, db);
    for (int type : {kTypeBackupToServer, kTypeRestoreFromServer}) {
        second.execute("DROP DATABASE IF EXISTS `" + db + "`");
        createAndRun(type, "server " + std::to_string(type), [&](CTaskWizardSheet& w, TaskPage page) {
            // The two server pages hold the same content class: the first is the source.
            if (page == TaskPage::SourceServer) fillServer(w.page<ui::ServerPageContent>()->block(), 1);
            if (page == TaskPage::ChooseDatabases) chooseOnlyOurDatabase(w.page<ui::ChooseDatabasesContent>());
            if (page == TaskPage::DestinationServer) {
                fillServer(static_cast<ui::ServerPageContent*>(w.content(w.currentId()))->block(), 2);
            }
        });
        EXPECT_EQ(contents(second, db), original) << type;
    }
}

TEST_F(WizardRunTest, BackupAndRestoreByAnotherDatabaseCopyIdentically) {
    const std::string original = contents(first, db);
    for (int type : {kTypeBackupToDatabase, kTypeRestoreFromDatabase}) {
        second.execute("DROP DATABASE IF EXISTS `" + copy_db + "`");
        createAndRun(type, "database " + std::to_string(type), [&](CTaskWizardSheet& w, TaskPage page) {
            if (page == TaskPage::SourceDatabase) chooseSourceDatabase(w.page<ui::SourceDatabaseContent>(), 1);
            if (page == TaskPage::ChooseTables) w.page<ui::ChooseTablesContent>()->selectAllButton()->click();
            if (page == TaskPage::DestDatabase) chooseNewDestination(w.page<ui::DestDatabaseContent>(), 2, copy_db);
        });
        EXPECT_EQ(contents(second, copy_db), original) << type;
    }
}

TEST_F(WizardRunTest, ExportWritesAFilePerTable) {
    const std::string folder_name = (folder() / "exports" / "").string();
    const int index = createAndRun(kTypeExport, "export", [&](CTaskWizardSheet& w, TaskPage page) {
        if (page == TaskPage::SourceServer) fillServer(w.page<ui::ServerPageContent>()->block(), 1);
        if (page == TaskPage::SelectTables) {
            auto* tables = w.page<ui::SelectTablesContent>();
            tables->databaseList()->setCurrentIndex(tables->databaseList()->findText(QString::fromStdString(db)));
            tables->moveToExport(true);
        }
        if (page == TaskPage::ExportFile) {
            auto* file = w.page<ui::ExportFileContent>();
            file->chooseType(1);
            typeInto(file->directoryField(), QString::fromStdString(folder_name));
        }
    });
    ASSERT_GE(index, 0);
    EXPECT_EQ(server().copyTask(index).export_tables.size(), 3u);
    std::vector<std::filesystem::path> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_name)) {
        if (entry.is_regular_file()) written.push_back(entry.path());
    }
    std::sort(written.begin(), written.end(), [](const auto& a, const auto& b) { return a.filename() < b.filename(); });
    ASSERT_EQ(written.size(), 3u);
    EXPECT_NE(written[0].filename().string().find("cheap"), std::string::npos);
    EXPECT_NE(written[1].filename().string().find("items"), std::string::npos);
    EXPECT_NE(written[2].filename().string().find("notes"), std::string::npos);
    const std::string items = readFile(written[1]);
    // The CSV defaults: quoted fields, backslash escapes.
    EXPECT_NE(items.find("\"1\",\"it\\'s\",\"2.50\""), std::string::npos) << items;
    EXPECT_NE(items.find("\"2\",\"\",\"12.00\""), std::string::npos) << items;
}

TEST_F(WizardRunTest, ScriptRunsItsStatements) {
    createAndRun(kTypeExecuteScript, "script", [&](CTaskWizardSheet& w, TaskPage page) {
        if (page == TaskPage::SourceServer) fillServer(w.page<ui::ServerPageContent>()->block(), 1);
        if (page == TaskPage::SqlScript) {
            w.page<ui::SqlScriptContent>()->editor()->setPlainText(QString::fromStdString(
                "CREATE TABLE `" + db + "`.made (id INT);\nINSERT INTO `" + db + "`.made VALUES (1),(2);"));
        }
    });
    std::string count;
    ASSERT_TRUE(first.queryValue("SELECT COUNT(*) FROM `" + db + "`.made", count));
    EXPECT_EQ(count, "2");
}

}  // namespace
}  // namespace keelvault::test
