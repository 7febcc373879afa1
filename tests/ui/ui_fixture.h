#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <memory>

#include "cli/host/test_engines.h"
#include "core/model/options_file.h"
#include "core/model/task_list_file.h"
#include "core/platform/data_folder.h"
#include "scripted_prompter.h"
#include "support/test_support.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/task_list_view.h"

namespace keelvault::test {

// A task of the scripted engine's type with its own log name.
inline CTask scriptTask(const std::string& name, uint8_t schedule_kind = kScheduleManual,
                        std::vector<std::string> script = {"say hello"}) {
    CTask task;
    task.name = name;
    task.task_type = kTypeExecuteScript;
    task.schedule.kind = schedule_kind;
    task.created_at = TaskTime{2026, 1, 2, 3, 4, 5, 6};
    task.log_name = makeLogName(name, task.created_at);
    task.script = std::move(script);
    task.applyScheduleStatus();
    return task;
}

// The application on a throwaway data folder, with test engines, a scripted
// user and a name of its own for the single-instance lock.
class AppFixture : public ::testing::Test {
protected:
    ScopedDataHome home;
    // The autostart entry goes to a throwaway config folder too.
    TempDir config_home;
    QByteArray old_config_home = qgetenv("XDG_CONFIG_HOME");
    ScriptedPrompter prompter;
    bool tray = false;
    bool service = false;
    std::unique_ptr<ui::Application> app;

    std::filesystem::path folder() const { return home.dataFolder(); }

    static QString uniqueInstanceName() {
        static std::atomic<int> counter{0};
        return QStringLiteral("keelvault-uitest-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    }

    ui::ApplicationHooks hooks(const QString& instance_name = uniqueInstanceName()) {
        ui::ApplicationHooks h;
        h.tray_available = [this] { return tray; };
        h.probe_service = [this](const std::filesystem::path&) { return service; };
        h.register_engines = [](TaskEnvironment& env) { registerTestEngines(env); };
        h.service_rights = [] { return true; };
        h.instance_name = instance_name;
        h.program_path = QStringLiteral("/usr/bin/keelvault");
        h.splash = false;
        return h;
    }

    // Options that ask nothing at start-up.
    void writeQuietOptions(CSystemOptions options = {}) {
        ensureDataFolders(folder());
        options.do_not_ask_auto_run = 1;
        options.show_tips = 0;
        ASSERT_TRUE(saveOptions(optionsFilePath(folder()), options));
    }

    void writeTasks(const std::vector<CTask>& tasks) {
        ensureDataFolders(folder());
        CTaskList list;
        for (const CTask& t : tasks) list.append(t);
        ASSERT_TRUE(saveTaskList(tasksFilePath(folder()), list));
    }

    ui::Application::StartResult startApp() {
        app = std::make_unique<ui::Application>(prompter, hooks());
        return app->start();
    }

    ui::TaskListView& view() { return *app->mainWindow()->taskView(); }
    TaskServer& server() { return app->taskServer(); }

    std::vector<std::string> taskNames() {
        std::vector<std::string> names;
        for (int i = 0; i < server().taskCount(); ++i) names.push_back(server().taskAt(i).name);
        return names;
    }

    std::vector<std::string> logTexts(const CTask& task) {
        std::vector<std::string> texts;
        for (const LogRecord& r : readAllLog(app->environment().logsFolder(), task.log_name)) texts.push_back(r.text);
        return texts;
    }

    void SetUp() override { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_home.path().string())); }

    void TearDown() override {
        if (app && !app->hasEnded()) {
            prompter.answers.clear();
            app->endSession();
        }
        app.reset();
        if (old_config_home.isNull()) {
            qunsetenv("XDG_CONFIG_HOME");
        } else {
            qputenv("XDG_CONFIG_HOME", old_config_home);
        }
    }
};

}  // namespace keelvault::test
