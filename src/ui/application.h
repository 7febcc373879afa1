#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "core/model/options_file.h"
#include "core/model/task.h"
#include "core/scheduler/task_environment.h"
#include "core/scheduler/task_server.h"

class QSessionManager;

namespace keelvault {
class TaskListService;
}

namespace keelvault::ui {

class FileChooser;
class GlobalHotKey;
class MainWindow;
class Prompter;
class SessionInhibitor;
class SingleInstance;

// What the application reaches outside itself; tests replace parts.
struct ApplicationHooks {
    std::function<bool()> tray_available;                             // default: the desktop has a tray
    std::function<bool(const std::filesystem::path&)> probe_service;  // default: the systemd unit / lock
    std::function<void(TaskEnvironment&)> register_engines;           // default: the built-in engines
    std::function<bool()> service_rights;                             // default: systemd user-unit rights
    QString instance_name;                                            // default: one name per user
    QString program_path;                                             // default: this program's file
    // A run ended with errors: the title and text of the alert; default: a
    // message of the tray icon.
    std::function<void(const QString& title, const QString& text)> tray_message;
    std::shared_ptr<FileChooser> file_chooser;                        // default: Qt's file dialogs
    bool splash = true;
};

// The application: start-up, the state every window reaches (data folder,
// options, servers, Task Server, service flag, window visibility) and the
// orderly end.
class Application : public QObject {
    Q_OBJECT
public:
    enum class StartResult { Running, Exit, SecondCopy };

    explicit Application(Prompter& prompter, ApplicationHooks hooks = {}, QObject* parent = nullptr);
    ~Application() override;

    StartResult start();

    // The orderly end: asks first; false when the user declined.
    bool requestQuit();
    // The session ends: the same without asking.
    void endSession();
    // While the option is on and a task runs, the session must not end.
    bool shouldBlockSessionEnd() const;
    bool hasEnded() const { return ended_; }

    Prompter& prompter() { return prompter_; }
    const std::filesystem::path& dataFolder() const { return data_folder_; }
    CSystemOptions& options() { return options_; }
    const CSystemOptions& options() const { return options_; }
    // Stores the options (also for the workers) and saves them.
    bool saveOptions();
    // After the options sheet: default folder, save, autostart, hot key.
    void applyOptions(const CSystemOptions& options);
    std::vector<CServerSettings>& servers() { return servers_; }
    // Writes the saved servers at once, as every change to them does.
    bool saveServers();
    FileChooser& fileChooser() { return *hooks_.file_chooser; }
    TaskServer& taskServer() { return server_; }
    // Every change to the task list goes through here.
    TaskListService& taskList() { return *task_list_; }
    TaskEnvironment& environment() { return env_; }
    bool serviceRunning() const { return service_running_; }
    MainWindow* mainWindow() const { return window_.get(); }
    bool windowVisible() const { return window_visible_; }
    void setWindowVisible(bool visible) { window_visible_ = visible; }

    // Writes tasks_pro.tsk; never while the service owns the list.
    bool saveTaskList();
    bool loginSet() const;
    // The login dialog; true when confirmed.
    bool askLogin();
    void showTips();
    void showServiceDialog();
    void showAbout();
    // Re-registers the hot key of the options; false where it is not active.
    bool registerHotKey();
    const ApplicationHooks& hooks() const { return hooks_; }

    // The log viewer of the task of the last failed-run alert (its message
    // was clicked); the window shows first when hidden.
    void showAlertedLog();

signals:
    void ended();

private:
    void loadStoredFiles();
    void askAutoRun();
    void onCommitData(QSessionManager& manager);
    void updateInhibitor();
    void shutDown();
    // On the interface thread after a run of `task` ended with errors.
    void alertFailedRun(const CTask* task, const QString& name, const QString& first_error);

    Prompter& prompter_;
    ApplicationHooks hooks_;
    std::filesystem::path data_folder_;
    CSystemOptions options_;
    std::vector<CServerSettings> servers_;
    TaskEnvironment env_;  // outlives the server's workers
    TaskServer server_;
    std::unique_ptr<TaskListService> task_list_;
    bool service_running_ = false;
    bool window_visible_ = false;
    bool ended_ = false;
    bool started_ = false;
    // The record of the task of the last failed-run alert; only compared,
    // since the task may have been deleted since.
    const CTask* alerted_task_ = nullptr;
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<GlobalHotKey> hot_key_;
    std::unique_ptr<SessionInhibitor> inhibitor_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace keelvault::ui
