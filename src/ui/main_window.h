#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>

class QAction;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QToolButton;

namespace keelvault::ui {

class Application;
class TaskListView;

enum class FrameCommand {
    Show,
    Options,
    UserManual,
    WebSite,
    SupportPage,
    SupportMail,
    TipOfTheDay,
    MySqlServers,
    WindowsService,
    About,
    Exit,
};
inline constexpr int kFrameCommandCount = static_cast<int>(FrameCommand::Exit) + 1;

inline constexpr const char* kMainWindowTitle = "Keelvault Professional Edition";

// The main window: menus, toolbar, status-bar clock, the tray icon that
// stands in for the window while it is hidden, and the frame commands.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Application& app, QWidget* parent = nullptr);
    ~MainWindow() override;

    TaskListView* taskView() const { return view_; }
    QAction* action(FrameCommand command) const { return actions_[static_cast<size_t>(command)]; }
    // The options sheet and the server manager come from elsewhere; until a
    // handler is given their commands stay disabled.
    void setFrameHandler(FrameCommand command, std::function<void()> handler);

    // Show: from the tray, the Show command, a second copy or the hot key.
    void showFromOutside();
    // Hides the window and puts the icon in the tray.
    void hideToTray();
    void removeTrayIcon();
    bool trayIconVisible() const;
    // The tray's right-click menu as it would pop up now.
    QMenu* trayMenu();
    QString clockText() const;
    void updateClock();
    void stopClock();
    QToolButton* viewStyleButton() const { return view_button_; }
    // A message from the tray icon (which shows for it if hidden);
    // clicking it tells the application.
    void showTrayMessage(const QString& title, const QString& text);
    // The numbers of the selected running task, or "Ready".
    void updateStatusText();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void rebuildTrayMenu();
    void runFrameCommand(FrameCommand command);

    Application& app_;
    TaskListView* view_;
    QLabel* clock_;
    QTimer clock_timer_;
    QSystemTrayIcon* tray_;
    QMenu* tray_menu_;
    QToolButton* view_button_ = nullptr;
    std::array<QAction*, kFrameCommandCount> actions_{};
    std::array<std::function<void()>, kFrameCommandCount> handlers_{};
    bool closing_ = false;
    bool showing_progress_ = false;  // the status bar holds a run's numbers
};

}  // namespace keelvault::ui
