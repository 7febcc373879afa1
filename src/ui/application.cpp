#include "ui/application.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QSessionManager>
#include <QSplashScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <fstream>

#include "core/editing/options_rules.h"
#include "core/editing/task_list_service.h"
#include "core/engine/engines.h"
#include "core/model/server_list_file.h"
#include "core/model/task_list_file.h"
#include "core/model/task_log.h"
#include "core/platform/data_folder.h"
#include "core/platform/service_probe.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/autorun_dialog.h"
#include "ui/dialogs/login_dialog.h"
#include "ui/dialogs/service_dialog.h"
#include "ui/dialogs/tip_dialog.h"
#include "ui/icons.h"
#include "ui/main_window.h"
#include "ui/platform/autostart.h"
#include "ui/platform/global_hot_key.h"
#include "ui/platform/service_rights.h"
#include "ui/platform/session_inhibitor.h"
#include "ui/platform/single_instance.h"
#include "ui/prompter.h"
#include "ui/task_list_view.h"
#include "ui/wizard/file_chooser.h"

namespace keelvault::ui {

namespace {

// The server list file is in the current layout when it begins with its magic.
bool startsWithServerListMagic(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char bytes[4] = {};
    if (!in.read(reinterpret_cast<char*>(bytes), 4)) return false;
    const uint32_t word = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                          (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return word == kServerListMagic;
}

}  // namespace

Application::Application(Prompter& prompter, ApplicationHooks hooks, QObject* parent)
    : QObject(parent),
      prompter_(prompter),
      hooks_(std::move(hooks)),
      task_list_(std::make_unique<TaskListService>(server_, env_, [this] { return saveTaskList(); })) {
    if (!hooks_.tray_available) hooks_.tray_available = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    if (!hooks_.probe_service)
        hooks_.probe_service = [](const std::filesystem::path& f) { return probeServiceRunning(f); };
    if (!hooks_.register_engines) hooks_.register_engines = [](TaskEnvironment& env) { registerBuiltinEngines(env); };
    if (!hooks_.service_rights) hooks_.service_rights = [] { return userMayInstallService(); };
    if (hooks_.instance_name.isEmpty()) hooks_.instance_name = SingleInstance::defaultName();
    if (hooks_.program_path.isEmpty()) hooks_.program_path = QCoreApplication::applicationFilePath();
    if (!hooks_.file_chooser) hooks_.file_chooser = std::make_shared<QtFileChooser>();
}

Application::~Application() {
    if (started_ && !ended_) shutDown();
}

Application::StartResult Application::start() {
    // 1. One copy per user; a later copy makes the first show itself.
    instance_ = std::make_unique<SingleInstance>(hooks_.instance_name);
    if (!instance_->claim()) return StartResult::SecondCopy;

    // 3-4. The frame, hidden, 660 x 460 in the middle of the screen.
    window_ = std::make_unique<MainWindow>(*this);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window_->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
    if (auto* qt_prompter = dynamic_cast<QtPrompter*>(&prompter_)) qt_prompter->setParentWidget(window_.get());

    // 5. Splash, gone after three seconds or on a click.
    QPointer<QSplashScreen> splash;
    if (hooks_.splash) {
        splash = new QSplashScreen(uiPixmap(QStringLiteral("splash"), QSize(480, 280)));
        splash->setAttribute(Qt::WA_DeleteOnClose);
        splash->show();
        splash->raise();
        QTimer::singleShot(3000, splash.data(), &QWidget::close);
    }

    // 6-11. Folders and stored files.
    data_folder_ = keelvault::dataFolder();
    ensureDataFolders(data_folder_);
    loadStoredFiles();

    // 12. Does the companion service own the task list?
    service_running_ = hooks_.probe_service(data_folder_);
    env_.service_running = service_running_;

    // 13. Run at log-in?
    if (!service_running_ && options_.do_not_ask_auto_run == 0 && options_.auto_run == 0) askAutoRun();

    // 14. Hidden in the tray when some task is scheduled (and there is a tray).
    bool scheduled = false;
    for (int i = 0; i < server_.taskCount(); ++i) {
        if (server_.taskAt(i).schedule.kind != kScheduleManual) scheduled = true;
    }
    const bool hidden = scheduled && hooks_.tray_available();
    if (hidden) {
        window_->hideToTray();
    } else {
        if (loginSet() && !askLogin()) {
            server_.removeAll();
            return StartResult::Exit;
        }
        window_->show();
        window_visible_ = true;
        window_->raise();
        window_->activateWindow();
    }
    if (splash) splash->raise();  // it stays in front until it closes

    // 15-16. Read-only under the service, else start the workers.
    if (service_running_) {
        for (int i = 0; i < server_.taskCount(); ++i) {
            CTask& task = server_.taskAt(i);
            task.status = task.schedule.kind != kScheduleManual ? kStatusService : kStatusIdle;
        }
        window_->taskView()->refreshRows();
        prompter_.inform(QString::fromLatin1(kServiceRunningMessage));
    } else if (server_.startAll(&env_) != 0) {
        prompter_.fail(QStringLiteral("Failed to initialization Task Server!"));
        server_.removeAll();
        return StartResult::Exit;
    }
    started_ = true;

    // 17. The global hot key.
    hot_key_ = std::make_unique<GlobalHotKey>();
    connect(hot_key_.get(), &GlobalHotKey::activated, window_.get(), &MainWindow::showFromOutside);
    registerHotKey();

    connect(instance_.get(), &SingleInstance::showRequested, window_.get(), &MainWindow::showFromOutside);
    inhibitor_ = std::make_unique<SessionInhibitor>();
    connect(window_->taskView(), &TaskListView::refreshed, this, &Application::updateInhibitor);
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this, &Application::onCommitData);
    }
    window_->taskView()->refreshRows();
    window_->taskView()->startRefreshTimer();
    window_->updateClock();

    // 18-19. An empty list opens the wizard; else the tip of the day.
    if (!service_running_ && window_visible_ && server_.taskCount() == 0) {
        window_->taskView()->newTask();
    } else if (!hidden && options_.show_tips == 1) {
        showTips();
    }
    return StartResult::Running;
}

void Application::loadStoredFiles() {
    loadOptions(optionsFilePath(data_folder_), options_);
    if (options_.default_backup_folder.empty()) {
        options_.default_backup_folder = (backupDataFolderPath(data_folder_) / "").string();
    }

    const std::filesystem::path servers_path = serverListFilePath(data_folder_);
    loadServerList(servers_path, servers_);
    if (!startsWithServerListMagic(servers_path)) saveServerList(servers_path, servers_);

    env_.data_folder = data_folder_;
    env_.options = options_;
    hooks_.register_engines(env_);
    env_.save_task_list = [this] { return saveTaskList(); };
    env_.run_finished = [this](CTask& task, const RunOutcome& outcome) {
        saveTaskList();
        if (outcome.error_lines == 0 || outcome.result == EngineResult::Canceled) return;
        std::string name;
        {
            std::lock_guard lock(task.mutex());
            name = task.name;
        }
        QMetaObject::invokeMethod(
            this,
            [this, record = &task, name = QString::fromStdString(name),
             error = QString::fromStdString(outcome.first_error)] { alertFailedRun(record, name, error); },
            Qt::QueuedConnection);
    };

    CTaskList list;
    if (loadTaskList(tasksFilePath(data_folder_), list)) addStoredTasks(list, server_);
    window_->taskView()->refreshRows();

    std::vector<std::string> log_names;
    for (int i = 0; i < server_.taskCount(); ++i) log_names.push_back(server_.taskAt(i).log_name);
    convertLogsOnce(logsFolderPath(data_folder_), log_names);
}

void Application::askAutoRun() {
    AutoRunDialog dialog(window_.get());
    const bool yes = prompter_.runDialog(dialog) == QDialog::Accepted;
    options_.do_not_ask_auto_run = dialog.dontAskAgain() ? 1 : 0;
    if (yes) options_.auto_run = 1;
    saveOptions();
    if (yes) applyAutostart(true, hooks_.program_path);
}

bool Application::saveOptions() {
    env_.updateOptions(options_);
    return keelvault::saveOptions(optionsFilePath(data_folder_), options_);
}

void Application::applyOptions(const CSystemOptions& options) {
    options_ = confirmedOptions(options, data_folder_);
    saveOptions();
    applyAutostart(options_.auto_run == 1, hooks_.program_path);
    registerHotKey();
    // The display formats show at once in the list and the clock.
    if (window_) {
        window_->taskView()->refreshRows();
        window_->updateClock();
    }
}

bool Application::saveServers() {
    return saveServerList(serverListFilePath(data_folder_), servers_);
}

bool Application::saveTaskList() {
    if (service_running_) return false;
    return server_.saveTasksTo(tasksFilePath(data_folder_));
}

bool Application::loginSet() const {
    return !options_.login_user.empty() || !options_.login_password.empty();
}

bool Application::askLogin() {
    LoginDialog dialog(options_.login_user, options_.login_password,
                       window_ && window_->isVisible() ? window_.get() : nullptr);
    return prompter_.runDialog(dialog) == QDialog::Accepted;
}

void Application::showTips() {
    TipDialog dialog(
        options_, [this] { saveOptions(); }, window_.get());
    prompter_.runDialog(dialog);
}

void Application::showServiceDialog() {
    ServiceDialog dialog(prompter_, hooks_.service_rights, window_.get());
    prompter_.runDialog(dialog);
}

void Application::showAbout() {
    AboutDialog dialog(window_.get());
    prompter_.runDialog(dialog);
}

bool Application::registerHotKey() {
    if (!hot_key_) return false;
    return hot_key_->registerKey(options_.hot_key_code, options_.hot_key_modifiers);
}

bool Application::shouldBlockSessionEnd() const {
    if (env_.currentOptions().block_shutdown != 1) return false;
    for (const auto& task : server_.tasks()) {
        if (task->status.load() == kStatusRunning) return true;
    }
    return false;
}

void Application::updateInhibitor() {
    if (inhibitor_) inhibitor_->setWanted(shouldBlockSessionEnd());
}

void Application::onCommitData(QSessionManager& manager) {
    if (shouldBlockSessionEnd()) {
        manager.cancel();
        return;
    }
    endSession();
}

bool Application::requestQuit() {
    if (ended_) return true;
    const QString question = service_running_ ? QStringLiteral("Quit the application?")
                                              : QStringLiteral("Quit the application and stop all tasks?");
    if (!prompter_.confirm(question)) return false;
    shutDown();
    return true;
}

void Application::endSession() {
    if (!ended_) shutDown();
}

void Application::shutDown() {
    ended_ = true;
    if (window_) {
        window_->stopClock();
        window_->taskView()->stopRefreshTimer();
    }
    if (hot_key_) hot_key_->unregisterKey();
    saveOptions();
    if (!service_running_) saveTaskList();
    if (server_.isStarted()) {
        server_.stopAll();
    } else {
        server_.removeAll();
    }
    if (inhibitor_) inhibitor_->setWanted(false);
    if (window_) {
        window_->taskView()->refreshRows();
        window_->removeTrayIcon();
        window_->close();
    }
    emit ended();
}

void Application::alertFailedRun(const CTask* task, const QString& name, const QString& first_error) {
    if (ended_) return;
    alerted_task_ = task;
    const QString title = QStringLiteral("The task (") + name + QStringLiteral(") failed");
    if (hooks_.tray_message) {
        hooks_.tray_message(title, first_error);
    } else if (window_) {
        window_->showTrayMessage(title, first_error);
    }
}

void Application::showAlertedLog() {
    if (!window_ || alerted_task_ == nullptr) return;
    const auto tasks = server_.tasks();
    for (size_t i = 0; i < tasks.size(); ++i) {
        if (tasks[i].get() != alerted_task_) continue;
        if (!window_visible_) window_->showFromOutside();
        if (!window_visible_) return;  // the login was not given
        window_->taskView()->viewLogOf(static_cast<int>(i));
        return;
    }
}

}  // namespace keelvault::ui
