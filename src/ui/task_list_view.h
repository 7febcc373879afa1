#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "core/editing/command_rules.h"
#include "core/model/task.h"

class QAction;
class QActionGroup;
class QItemSelectionModel;
class QListView;
class QMenu;
class QStackedWidget;
class QTableView;

namespace keelvault {
class TaskListService;
}

namespace keelvault::ui {

class Application;
class TaskListModel;

using keelvault::kTaskCommandCount;
using keelvault::TaskCommand;

enum class ViewStyle { LargeIcons, SmallIcons, List, Details };

// The task list: one row per task of the Task Server, refreshed every second,
// and every task command of the Tasks and Run menus.
class TaskListView : public QWidget {
    Q_OBJECT
public:
    explicit TaskListView(Application& app, QWidget* parent = nullptr);
    ~TaskListView() override;

    QAction* action(TaskCommand command) const { return actions_[static_cast<size_t>(command)]; }
    // The enabling rule of a command for the current selection and tasks.
    bool ruleAllows(TaskCommand command) const;
    // Commands whose dialogs live elsewhere (wizard, property sheets) stay
    // disabled until a handler is given.
    void setCommandHandler(TaskCommand command, std::function<void()> handler);
    bool hasHandler(TaskCommand command) const;
    void updateActions();

    void refreshRows();
    void startRefreshTimer();
    void stopRefreshTimer();
    bool refreshTimerActive() const { return refresh_timer_.isActive(); }

    QList<int> selectedRows() const;
    void selectRows(const QList<int>& rows);
    TaskListModel& model() const { return *model_; }
    QTableView* detailsView() const { return table_; }
    QListView* iconView() const { return icons_; }
    QMenu* contextMenu() const { return context_menu_; }
    QMenu* viewMenu() const { return view_menu_; }

    ViewStyle viewStyle() const { return style_; }
    void setViewStyle(ViewStyle style);
    void stepViewStyle();
    QAction* viewStyleAction(ViewStyle style) const { return style_actions_[static_cast<size_t>(style)]; }

    // A new task from the wizard: the service adds, saves, logs and starts
    // it; the view selects it and offers a Manual task a run.
    int addNewTask(const CTask& task, const QString& log_line, bool append_to_new_tasks);
    // How often New Task was asked for (start-up opens it on an empty list).
    int newTaskRequests() const { return new_task_requests_; }

    void newTask();
    void deleteTasks();
    void deleteAll();
    void copyTasks();
    void renameTask();
    void start();
    void stop();
    void runImmediately();
    void startAll();
    void stopAll();
    void selectAll();
    void viewLog();
    // The log viewer of one task, whatever the selection.
    void viewLogOf(int index);
    void saveAs();
    void loadFrom();

signals:
    void refreshed();

private:
    void createActions();
    void runCommand(TaskCommand command);
    CommandState commandState() const;
    TaskListService& tasks();
    void scrollToEnd();
    void showContextMenu(const QPoint& pos);

    Application& app_;
    TaskListModel* model_;
    QStackedWidget* stack_;
    QTableView* table_;
    QListView* icons_;
    QItemSelectionModel* selection_;
    QMenu* context_menu_;
    QMenu* view_menu_;
    QTimer refresh_timer_;
    std::array<QAction*, kTaskCommandCount> actions_{};
    std::array<std::function<void()>, kTaskCommandCount> handlers_{};
    std::array<QAction*, 4> style_actions_{};
    QActionGroup* style_group_;
    ViewStyle style_ = ViewStyle::Details;
    int new_task_requests_ = 0;
};

}  // namespace keelvault::ui
