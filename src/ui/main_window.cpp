#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindowStateChangeEvent>

#include "core/scheduler/schedule.h"
#include "ui/application.h"
#include "ui/dialogs/server_manager_dialog.h"
#include "ui/icons.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"
#include "ui/sheet_commands.h"
#include "ui/task_list_model.h"
#include "ui/task_list_view.h"

namespace keelvault::ui {

MainWindow::MainWindow(Application& app, QWidget* parent) : QMainWindow(parent), app_(app) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QString::fromLatin1(kMainWindowTitle));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));
    setMinimumSize(660, 460);
    // Wide enough for every column of the task list at its default width.
    resize(1000, 560);

    view_ = new TaskListView(app_, this);
    setCentralWidget(view_);

    createActions();
    createMenus();
    createToolBar();
    setFrameHandler(FrameCommand::MySqlServers, [this] {
        ServerManagerDialog manager(
            app_.servers(), [this] { return app_.saveServers(); }, app_.prompter(), this);
        app_.prompter().runDialog(manager);
    });
    // The wizard, the property sheets, the backups list and the options.
    new SheetCommands(app_, *this);

    clock_ = new QLabel(QStringLiteral(" Sun, Jan 01, 2006 00:00:00 A.M "), this);
    clock_->setFixedWidth(256);
    clock_->setAlignment(Qt::AlignCenter);
    clock_->setFrameShape(QFrame::StyledPanel);
    clock_->setFrameShadow(QFrame::Sunken);
    statusBar()->addPermanentWidget(clock_);
    statusBar()->showMessage(tr("Ready"));
    clock_timer_.setInterval(1000);
    connect(&clock_timer_, &QTimer::timeout, this, &MainWindow::updateClock);
    clock_timer_.start();

    tray_ = new QSystemTrayIcon(uiIcon(QStringLiteral("keelvault")), this);
    tray_->setToolTip(QString::fromLatin1(kMainWindowTitle));
    tray_menu_ = new QMenu(this);
    tray_->setContextMenu(tray_menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && !app_.windowVisible()) showFromOutside();
    });
    connect(tray_menu_, &QMenu::aboutToShow, this, &MainWindow::rebuildTrayMenu);
    connect(tray_, &QSystemTrayIcon::messageClicked, &app_, &Application::showAlertedLog);
    rebuildTrayMenu();

    connect(view_, &TaskListView::refreshed, this, &MainWindow::updateStatusText);
}

void MainWindow::showTrayMessage(const QString& title, const QString& text) {
    if (!tray_->isVisible()) {
        // The icon stands in for the window only while it is hidden; it
        // shows for the message and goes with it.
        tray_->show();
        QTimer::singleShot(15000, this, [this] {
            if (app_.windowVisible()) tray_->hide();
        });
    }
    tray_->showMessage(title, text, QSystemTrayIcon::Warning, 10000);
}

void MainWindow::updateStatusText() {
    const QList<int> rows = view_->selectedRows();
    const QString numbers = rows.size() == 1 ? view_->model().progressText(rows.front()) : QString();
    if (!numbers.isEmpty()) {
        const QString name = view_->model().data(view_->model().index(rows.front(), TaskListModel::NameColumn),
                                                 Qt::DisplayRole).toString();
        statusBar()->showMessage(name + QStringLiteral(": ") + numbers);
        showing_progress_ = true;
    } else if (showing_progress_) {
        statusBar()->showMessage(tr("Ready"));
        showing_progress_ = false;
    }
}

MainWindow::~MainWindow() {
    clock_timer_.stop();
}

void MainWindow::createActions() {
    struct Info {
        const char* text;
        const char* icon;
        QKeySequence shortcut;
    };
    const Info infos[kFrameCommandCount] = {
        {"&Show", nullptr, {}},
        {"&Options...", "options", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"&User Manual", "help", QKeySequence(Qt::Key_F1)},
        {"&Web Site", nullptr, {}},
        {"Support &Page", nullptr, {}},
        {"Support &E-mail", nullptr, {}},
        {"Ti&p of the Day", "tip_bulb", {}},
        {"&MySQL Servers...", nullptr, {}},
        {"&Windows Service...", nullptr, {}},
        {"&About...", nullptr, {}},
        {"E&xit", nullptr, {}},
    };
    for (int i = 0; i < kFrameCommandCount; ++i) {
        auto* act = new QAction(QString::fromLatin1(infos[i].text), this);
        if (infos[i].icon) act->setIcon(uiIcon(QString::fromLatin1(infos[i].icon)));
        if (!infos[i].shortcut.isEmpty()) act->setShortcut(infos[i].shortcut);
        const auto command = static_cast<FrameCommand>(i);
        connect(act, &QAction::triggered, this, [this, command] { runFrameCommand(command); });
        actions_[static_cast<size_t>(i)] = act;
        addAction(act);
    }
    action(FrameCommand::Options)->setEnabled(false);
    action(FrameCommand::MySqlServers)->setEnabled(false);
}

void MainWindow::setFrameHandler(FrameCommand command, std::function<void()> handler) {
    handlers_[static_cast<size_t>(command)] = std::move(handler);
    action(command)->setEnabled(true);
}

void MainWindow::createMenus() {
    QMenu* tasks = menuBar()->addMenu(QStringLiteral("&Tasks"));
    for (TaskCommand c : {TaskCommand::NewTask, TaskCommand::EditTask, TaskCommand::DeleteTasks, TaskCommand::DeleteAll,
                          TaskCommand::CopyTasks, TaskCommand::RenameTask}) {
        tasks->addAction(view_->action(c));
    }
    tasks->addSeparator();
    tasks->addAction(view_->action(TaskCommand::CreateRestore));
    tasks->addAction(view_->action(TaskCommand::BackupsList));
    tasks->addSeparator();
    tasks->addAction(view_->action(TaskCommand::ViewLog));
    tasks->addAction(view_->action(TaskCommand::Properties));
    tasks->addSeparator();
    tasks->addAction(view_->action(TaskCommand::SaveAs));
    tasks->addAction(view_->action(TaskCommand::LoadFrom));
    tasks->addSeparator();
    tasks->addAction(action(FrameCommand::Exit));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(view_->action(TaskCommand::SelectAll));
    view->addSeparator();
    for (int i = 0; i < 4; ++i) view->addAction(view_->viewStyleAction(static_cast<ViewStyle>(i)));

    QMenu* run = menuBar()->addMenu(QStringLiteral("&Run"));
    for (TaskCommand c : {TaskCommand::Start, TaskCommand::Stop, TaskCommand::RunImmediately}) {
        run->addAction(view_->action(c));
    }
    run->addSeparator();
    run->addAction(view_->action(TaskCommand::StartAll));
    run->addAction(view_->action(TaskCommand::StopAll));

    QMenu* tools = menuBar()->addMenu(QStringLiteral("T&ools"));
    tools->addAction(action(FrameCommand::MySqlServers));
    tools->addAction(action(FrameCommand::Options));
    tools->addSeparator();
    tools->addAction(action(FrameCommand::WindowsService));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(action(FrameCommand::UserManual));
    help->addAction(action(FrameCommand::TipOfTheDay));
    help->addSeparator();
    help->addAction(action(FrameCommand::WebSite));
    help->addAction(action(FrameCommand::SupportPage));
    help->addAction(action(FrameCommand::SupportMail));
    help->addSeparator();
    help->addAction(action(FrameCommand::About));
}

void MainWindow::createToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Keelvault"));
    bar->setObjectName(QStringLiteral("MainToolBar"));
    bar->setWindowTitle(QStringLiteral("Keelvault"));
    bar->setIconSize(QSize(32, 32));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setMovable(false);
    for (TaskCommand c :
         {TaskCommand::NewTask, TaskCommand::EditTask, TaskCommand::DeleteTasks, TaskCommand::Properties}) {
        bar->addAction(view_->action(c));
    }
    bar->addSeparator();
    bar->addAction(view_->action(TaskCommand::BackupsList));
    bar->addSeparator();
    for (TaskCommand c : {TaskCommand::Start, TaskCommand::Stop, TaskCommand::RunImmediately}) {
        bar->addAction(view_->action(c));
    }
    bar->addSeparator();
    bar->addAction(view_->action(TaskCommand::ViewLog));
    bar->addSeparator();
    bar->addAction(action(FrameCommand::Options));
    bar->addSeparator();
    // A click steps through the view styles; the arrow pops up the View menu.
    view_button_ = new QToolButton(bar);
    view_button_->setIcon(uiIcon(QStringLiteral("view_style")));
    view_button_->setToolTip(QStringLiteral("View"));
    view_button_->setMenu(view_->viewMenu());
    view_button_->setPopupMode(QToolButton::MenuButtonPopup);
    connect(view_button_, &QToolButton::clicked, view_, &TaskListView::stepViewStyle);
    bar->addWidget(view_button_);
}

void MainWindow::rebuildTrayMenu() {
    tray_menu_->clear();
    tray_menu_->addAction(action(FrameCommand::Show));
    tray_menu_->setDefaultAction(action(FrameCommand::Show));
    if (app_.loginSet()) return;  // only Show behind a login
    tray_menu_->addSeparator();
    tray_menu_->addAction(action(FrameCommand::Options));
    tray_menu_->addAction(action(FrameCommand::UserManual));
    tray_menu_->addSeparator();
    tray_menu_->addAction(action(FrameCommand::Exit));
}

QMenu* MainWindow::trayMenu() {
    rebuildTrayMenu();
    return tray_menu_;
}

QString MainWindow::clockText() const {
    return clock_->text();
}

void MainWindow::updateClock() {
    const CSystemOptions& options = app_.options();
    clock_->setText(QString::fromStdString(
        formatTaskTime(app_.environment().now(), options.date_format, options.time_format, true)));
}

void MainWindow::stopClock() {
    clock_timer_.stop();
}

void MainWindow::runFrameCommand(FrameCommand command) {
    Prompter& prompter = app_.prompter();
    switch (command) {
        case FrameCommand::Show:
            if (!app_.windowVisible()) showFromOutside();
            return;
        case FrameCommand::UserManual:
            prompter.openUrl(helpTopicUrl(QString()));
            return;
        case FrameCommand::WebSite:
            prompter.openUrl(QUrl(QString::fromLatin1(kWebSite)));
            return;
        case FrameCommand::SupportPage:
            prompter.openUrl(QUrl(QString::fromLatin1(kSupportPage)));
            return;
        case FrameCommand::SupportMail:
            prompter.openUrl(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(kSupportMail)));
            return;
        case FrameCommand::TipOfTheDay:
            app_.showTips();
            return;
        case FrameCommand::WindowsService:
            app_.showServiceDialog();
            return;
        case FrameCommand::About:
            app_.showAbout();
            return;
        case FrameCommand::Exit:
            app_.requestQuit();
            return;
        default:
            if (const auto& handler = handlers_[static_cast<size_t>(command)]) handler();
            return;
    }
}

void MainWindow::showFromOutside() {
    if (app_.windowVisible()) {
        showNormal();
        raise();
        activateWindow();
        return;
    }
    app_.setWindowVisible(true);
    if (app_.loginSet() && !app_.askLogin()) {
        app_.setWindowVisible(false);
        return;
    }
    showNormal();
    removeTrayIcon();
    raise();
    activateWindow();
}

void MainWindow::hideToTray() {
    hide();
    rebuildTrayMenu();
    tray_->show();
    app_.setWindowVisible(false);
}

void MainWindow::removeTrayIcon() {
    tray_->hide();
}

bool MainWindow::trayIconVisible() const {
    return tray_->isVisible();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (app_.hasEnded()) {
        event->accept();
        return;
    }
    event->ignore();
    app_.requestQuit();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || !app_.windowVisible()) return;
    // Minimising puts the program in the tray, with no task-bar button.
    if (!app_.hooks().tray_available || !app_.hooks().tray_available()) return;
    QTimer::singleShot(0, this, [this] {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        hideToTray();
    });
}

}  // namespace keelvault::ui
