#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>

#include "core/editing/task_list_service.h"
#include "core/editing/task_sheet_texts.h"
#include "page_fixture.h"
#include "ui/task_list_model.h"
#include "ui/wizard/server_block.h"
#include "ui/wizard/sql_script_page.h"
#include "ui/wizard/summary_page.h"
#include "ui/wizard/task_name_page.h"
#include "ui/wizard/task_property_sheet.h"
#include "ui/wizard/welcome_page.h"
#include "ui_fixture.h"
#include "wizard_driver.h"

namespace keelvault::test {
namespace {

using ui::CTaskPropertySheet;
using ui::CTaskWizardSheet;
using ui::PromptAnswer;

const QString kDuplicateName =
    QStringLiteral("The task name is already existed!\nPlease choose a different task name.");

// A sheet's surroundings owned by the test.
class SheetTest : public ::testing::Test {
protected:
    std::vector<CServerSettings> servers;
    int server_saves = 0;
    CSystemOptions options;
    ScriptedPrompter prompter;
    ScriptedChooser chooser;

    ui::SheetSetup setup(std::vector<std::string> names, int edit_index = -1) {
        return ui::SheetSetup{
            servers, [this] { return ++server_saves > 0; }, options, prompter, chooser, std::move(names), edit_index};
    }
};

TEST_F(SheetTest, TheChooserStartsOnBackupToFilesAndInsistsOnAType) {
    ui::TaskTypeChooser chooser_dialog(prompter);
    EXPECT_EQ(chooser_dialog.windowTitle(), QStringLiteral("Create a new task"));
    EXPECT_EQ(chooser_dialog.chosenType(), kTypeBackupToFiles);
    EXPECT_EQ(chooser_dialog.typeButton(6)->text(),
              QStringLiteral("Restore MySQL databases by SQL and GZIP files (TCP/IP, Use SAME database names)"));
    // One choice across the three groups.
    chooser_dialog.typeButton(kTypeExecuteScript)->setChecked(true);
    EXPECT_FALSE(chooser_dialog.typeButton(kTypeBackupToFiles)->isChecked());
    EXPECT_EQ(chooser_dialog.chosenType(), kTypeExecuteScript);

    auto* group = chooser_dialog.findChild<QButtonGroup*>();
    ASSERT_TRUE(group);
    group->setExclusive(false);
    chooser_dialog.typeButton(kTypeExecuteScript)->setChecked(false);
    chooser_dialog.show();
    chooser_dialog.accept();
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Please choose a task type!"));
    EXPECT_TRUE(chooser_dialog.isVisible());
}

// A type-5 wizard needs no server to reach Finish.
TEST_F(SheetTest, AScriptTaskPageByPageWithCaptionsButtonsAndSummary) {
    CTaskWizardSheet wizard(setup({"first", "Task 3"}), newTaskOfType(kTypeExecuteScript));
    wizard.show();
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Welcome to the Task Wizard"));
    EXPECT_EQ(wizard.page<ui::WelcomeContent>()->text()->text(),
              QStringLiteral("Create a new task to schedule Execute MySQL script."));
    EXPECT_FALSE(wizard.button(QWizard::BackButton)->isEnabled());
    ASSERT_TRUE(wizard.goNext());

    // The proposal counts the list and is refused only on Next; letter case counts.
    auto* name = wizard.page<ui::TaskNameContent>();
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Task Wizard - Execute MySQL script - Step 1 of 5"));
    EXPECT_EQ(name->nameField()->text(), QStringLiteral("Task 3"));
    EXPECT_EQ(name->typeView()->text(), QStringLiteral("Execute MySQL script"));
    EXPECT_FALSE(wizard.goNext());
    EXPECT_EQ(prompter.last()->text, kDuplicateName);
    EXPECT_EQ(wizard.task().name, "");  // a refused page writes nothing
    typeInto(name->nameField(), QStringLiteral("task 3"));
    name->commentField()->setPlainText(QStringLiteral("weekly tidy-up"));
    ASSERT_TRUE(wizard.goNext());
    EXPECT_EQ(wizard.task().name, "task 3");
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Task Wizard - Execute MySQL script - Step 2 of 5"));
    EXPECT_TRUE(wizard.button(QWizard::BackButton)->isEnabled());

    ASSERT_TRUE(wizard.goNext());  // the server block's defaults
    auto* script = wizard.page<ui::SqlScriptContent>();
    script->editor()->setPlainText(QStringLiteral("SELECT 1;\nSELECT 2;"));
    ASSERT_TRUE(wizard.goNext());
    ASSERT_TRUE(wizard.goNext());  // Manual

    auto* summary = wizard.page<ui::TaskDetailsContent>();
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Task Wizard - Execute MySQL script - Step 5 of 5"));
    EXPECT_EQ(summary->detailsText().toStdString(),
              "Task name:\r\n    task 3\r\n\r\nTask type:\r\n    Execute MySQL script\r\n\r\n"
              "MySQL server:\r\n    localhost\r\n\r\nSQL script:\r\n    2 statement(s)\r\n"
              "\r\nTask schedule:\r\n    Manual\r\n");
    EXPECT_TRUE(wizard.button(QWizard::FinishButton)->isVisible());
    EXPECT_FALSE(wizard.button(QWizard::NextButton)->isVisible());

    // Back to the script, one more statement, and the summary follows.
    wizard.back();
    wizard.back();
    ASSERT_EQ(wizard.content(wizard.currentId()), script);
    script->editor()->setPlainText(QStringLiteral("SELECT 1;\nSELECT 2;\nSELECT 3;"));
    ASSERT_TRUE(wizard.goNext());
    ASSERT_TRUE(wizard.goNext());
    EXPECT_NE(summary->detailsText().indexOf(QStringLiteral("    3 statement(s)\r\n")), -1);

    wizard.button(QWizard::FinishButton)->click();
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    EXPECT_EQ(wizard.task().script.size(), 3u);
    EXPECT_EQ(wizard.task().comment, "weekly tidy-up");

    wizard.button(QWizard::HelpButton)->click();
    ASSERT_FALSE(prompter.opened.empty());
    EXPECT_TRUE(prompter.opened.back().toString().endsWith(QStringLiteral("taskwizard/tasktype5.html")));
    EXPECT_TRUE(std::filesystem::exists(prompter.opened.back().toLocalFile().toStdString()));
}

TEST_F(SheetTest, AnUnknownTypeStartsOverAsABackupToFiles) {
    CTask odd;
    odd.task_type = 12;
    odd.name = "stale";
    CTaskWizardSheet wizard(setup({}), odd);
    EXPECT_EQ(wizard.taskType(), kTypeBackupToFiles);
    EXPECT_EQ(wizard.task().name, "");
    EXPECT_EQ(wizard.sequence().size(), 8u);
}

TEST_F(SheetTest, HelpTopicsOfTheWizardExistForEveryType) {
    for (int type = 1; type <= 8; ++type) {
        const std::string page = std::string(KEELVAULT_SOURCE_DIR) + "/share/keelvault/help/" + taskTypeHelpTopic(type);
        EXPECT_TRUE(std::filesystem::exists(page)) << page;
    }
}

// The desktop's commands on a running app with the test engines.
class SheetCommandsTest : public AppFixture {
protected:
    void startWith(const std::vector<CTask>& tasks) {
        writeQuietOptions();
        writeTasks(tasks);
        ASSERT_EQ(startApp(), ui::Application::StartResult::Running);
        prompter.messages.clear();
        prompter.dialogs.clear();
    }

    static void fillScript(CTaskWizardSheet& wizard, TaskPage page) {
        if (page == TaskPage::TaskName) typeInto(wizard.page<ui::TaskNameContent>()->nameField(), "scripted");
        if (page == TaskPage::SqlScript) wizard.page<ui::SqlScriptContent>()->editor()->setPlainText("say hi;");
    }

    CTask stored(int index) {
        CTaskList list;
        EXPECT_TRUE(loadTaskList(tasksFilePath(folder()), list));
        return index < list.count() ? list.at(index) : CTask{};
    }

    void select(int row) { view().selectRows({row}); }
};

TEST_F(SheetCommandsTest, TheFirstStartWizardAddsTheTaskLogsItAndOffersARun) {
    writeQuietOptions();
    prompter.answers = {PromptAnswer::No};  // no run now
    prompter.on_dialog = newTaskScript(kTypeExecuteScript, fillScript, prompter);
    ASSERT_EQ(startApp(), ui::Application::StartResult::Running);

    EXPECT_EQ(prompter.dialogs, (QStringList{QStringLiteral("TaskTypeChooser"), QStringLiteral("TaskWizard")}));
    ASSERT_EQ(taskNames(), std::vector<std::string>{"scripted"});
    const CTask& added = server().taskAt(0);
    EXPECT_EQ(prompter.last()->text, QStringLiteral("Do you want to RUN the task (scripted) immediatelly?"));
    EXPECT_EQ(added.status.load(), kStatusIdle);
    EXPECT_EQ(added.script, std::vector<std::string>{"say hi;"});
    EXPECT_NE(added.created_at.year, 0);
    EXPECT_EQ(logTexts(added), std::vector<std::string>{"Create task"});
    EXPECT_EQ(stored(0).name, "scripted");
    EXPECT_TRUE(std::filesystem::exists(newTasksFilePath(folder())));
    EXPECT_EQ(view().selectedRows(), QList<int>{0});
}

TEST_F(SheetCommandsTest, CancelInTheWizardWritesNothing) {
    startWith({});
    prompter.on_dialog = [](QDialog& dialog) {
        if (auto* chooser = qobject_cast<ui::TaskTypeChooser*>(&dialog)) {
            chooser->accept();
            return chooser->result();
        }
        auto& wizard = dynamic_cast<CTaskWizardSheet&>(dialog);
        wizard.show();
        wizard.goNext();
        typeInto(wizard.page<ui::TaskNameContent>()->nameField(), "never");
        wizard.goNext();
        wizard.button(QWizard::CancelButton)->click();
        return wizard.result();
    };
    view().action(TaskCommand::NewTask)->trigger();
    EXPECT_EQ(prompter.dialogs, (QStringList{QStringLiteral("TaskTypeChooser"), QStringLiteral("TaskWizard")}));
    EXPECT_EQ(server().taskCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(tasksFilePath(folder())));
    EXPECT_FALSE(std::filesystem::exists(newTasksFilePath(folder())));
    for (const auto& entry : std::filesystem::directory_iterator(folder() / "Logs")) {
        EXPECT_EQ(entry.path().filename(), "log200se.dll");
    }
}

TEST_F(SheetCommandsTest, EditIsRefusedWhileATaskWaits) {
    startWith({scriptTask("manual"), scriptTask("daily", kScheduleEveryDay)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return server().taskAt(1).status.load() == kStatusWaiting; }, 5000));
    select(1);
    view().action(TaskCommand::EditTask)->trigger();
    EXPECT_EQ(prompter.last()->text, QString::fromLatin1(kEditNotIdleMessage));
    EXPECT_TRUE(prompter.dialogs.isEmpty());
}

TEST_F(SheetCommandsTest, EditChangesOnlyWhatWasEditedAndLogsIt) {
    startWith({scriptTask("manual", kScheduleManual, {"one", "two"}), scriptTask("other")});
    const CTask before = server().copyTask(0);
    prompter.on_dialog = [](QDialog& dialog) {
        auto& sheet = dynamic_cast<CTaskPropertySheet&>(dialog);
        EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Edit Task - manual - Execute MySQL script"));
        EXPECT_EQ(sheet.tabCount(), 4);
        sheet.show();
        auto* name = sheet.page<ui::TaskNameContent>();
        sheet.page<ui::TaskNameContent>()->commentField()->setPlainText(QStringLiteral("edited"));
        // Another task's name keeps the tab; its own name is fine.
        typeInto(name->nameField(), QStringLiteral("other"));
        EXPECT_FALSE(sheet.showTab(2));
        EXPECT_EQ(sheet.tabs()->currentIndex(), 0);
        sheet.accept();
        EXPECT_TRUE(sheet.isVisible());
        typeInto(name->nameField(), QStringLiteral("manual"));
        EXPECT_TRUE(sheet.showTab(2));  // the script tab, left untouched
        sheet.accept();
        return sheet.result();
    };
    select(0);
    view().action(TaskCommand::EditTask)->trigger();
    EXPECT_EQ(prompter.texts().count(kDuplicateName), 2);

    CTask expected = before;
    expected.comment = "edited";
    const CTask after = server().copyTask(0);
    EXPECT_EQ(after.script, expected.script);
    EXPECT_EQ(after.source, expected.source);
    EXPECT_EQ(after.schedule, expected.schedule);
    EXPECT_EQ(after.name, expected.name);
    EXPECT_EQ(after.status.load(), expected.status.load());
    EXPECT_EQ(after.ref_text, expected.ref_text);
    EXPECT_TRUE(after == expected);
    EXPECT_EQ(stored(0).comment, "edited");
    EXPECT_EQ(logTexts(before).back(), "Edit task");
}

TEST_F(SheetCommandsTest, PropertiesShowTheTaskAndChangeNothing) {
    startWith({scriptTask("manual", kScheduleManual, {"one"})});
    const CTask before = server().copyTask(0);
    prompter.on_dialog = [](QDialog& dialog) {
        auto& sheet = dynamic_cast<CTaskPropertySheet&>(dialog);
        EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Task Properties - manual - Execute MySQL script"));
        EXPECT_FALSE(sheet.editMode());
        sheet.show();
        auto* name = sheet.page<ui::TaskNameContent>();
        EXPECT_TRUE(name->nameField()->isReadOnly());
        EXPECT_TRUE(name->commentField()->isReadOnly());
        name->nameField()->setText(QStringLiteral("changed anyway"));
        for (int i = 0; i < sheet.tabCount(); ++i) EXPECT_TRUE(sheet.showTab(i));
        sheet.accept();
        return sheet.result();
    };
    select(0);
    // A double click on the row is Properties.
    const QModelIndex row = view().model().index(0, 0);
    emit view().detailsView()->doubleClicked(row);
    EXPECT_EQ(prompter.dialogs, QStringList{QStringLiteral("TaskPropertiesSheet")});
    EXPECT_TRUE(server().copyTask(0) == before);
    EXPECT_EQ(logTexts(before).size(), 0u);
}

}  // namespace
}  // namespace keelvault::test
