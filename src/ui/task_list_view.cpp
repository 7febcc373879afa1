#include "ui/task_list_view.h"

#include <QAction>
#include <QActionGroup>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QMenu>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <set>

#include "core/editing/task_list_service.h"
#include "core/scheduler/task_server.h"
#include "ui/application.h"
#include "ui/dialogs/rename_task_dialog.h"
#include "ui/icons.h"
#include "ui/progress_delegate.h"
#include "ui/prompter.h"
#include "ui/task_list_model.h"
#include "ui/task_log_dialog.h"

namespace keelvault::ui {

namespace {

const char* kTaskFileFilter = "Tasks Files (*.tsk)";

QString qtext(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

struct CommandInfo {
    const char* text;
    const char* icon;
    QKeySequence shortcut;
};

CommandInfo commandInfo(TaskCommand command) {
    switch (command) {
        case TaskCommand::NewTask: return {"&New Task...", "new_task", QKeySequence(Qt::CTRL | Qt::Key_N)};
        case TaskCommand::EditTask: return {"&Edit Task...", "edit_task", {}};
        case TaskCommand::DeleteTasks: return {"&Delete Task(s)", "delete_task", QKeySequence(Qt::Key_Delete)};
        case TaskCommand::DeleteAll: return {"Delete A&ll", nullptr, {}};
        case TaskCommand::CopyTasks: return {"&Copy Task(s)", nullptr, {}};
        case TaskCommand::RenameTask: return {"Re&name Task...", nullptr, QKeySequence(Qt::Key_F2)};
        case TaskCommand::Properties: return {"&Properties", "properties", {}};
        case TaskCommand::CreateRestore: return {"Create &Restore...", nullptr, {}};
        case TaskCommand::BackupsList: return {"&Backups List...", "backups_list", {}};
        case TaskCommand::Start: return {"&Start", "start", {}};
        case TaskCommand::Stop: return {"S&top", "stop", {}};
        case TaskCommand::RunImmediately: return {"&Run Immediately", "run_now", QKeySequence(Qt::Key_F5)};
        case TaskCommand::StartAll: return {"Start &All", nullptr, {}};
        case TaskCommand::StopAll: return {"Stop A&ll", nullptr, {}};
        case TaskCommand::SelectAll: return {"Select &All", nullptr, QKeySequence(Qt::CTRL | Qt::Key_A)};
        case TaskCommand::ViewLog: return {"&View Log...", "view_log", {}};
        case TaskCommand::SaveAs: return {"Save &As...", nullptr, QKeySequence(Qt::CTRL | Qt::Key_S)};
        case TaskCommand::LoadFrom: return {"&Load From...", nullptr, QKeySequence(Qt::CTRL | Qt::Key_L)};
    }
    return {"", nullptr, {}};
}

// Commands whose dialogs come from elsewhere and need a handler.
bool needsHandler(TaskCommand command) {
    switch (command) {
        case TaskCommand::NewTask:
        case TaskCommand::EditTask:
        case TaskCommand::Properties:
        case TaskCommand::CreateRestore:
        case TaskCommand::BackupsList: return true;
        default: return false;
    }
}

}  // namespace

TaskListView::TaskListView(Application& app, QWidget* parent) : QWidget(parent), app_(app) {
    setObjectName(QStringLiteral("TaskListView"));
    model_ = new TaskListModel(app_.taskServer(), this);

    table_ = new QTableView(this);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(false);
    table_->setAlternatingRowColors(true);
    table_->setWordWrap(false);
    table_->setIconSize(QSize(16, 16));
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(22);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < TaskListModel::ColumnCount; ++c) table_->setColumnWidth(c, TaskListModel::columnWidth(c));
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setItemDelegateForColumn(TaskListModel::StatusColumn, new ProgressDelegate(table_));

    icons_ = new QListView(this);
    icons_->setModel(model_);
    icons_->setSelectionModel(table_->selectionModel());
    icons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    icons_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMovement(QListView::Static);
    selection_ = table_->selectionModel();

    stack_ = new QStackedWidget(this);
    stack_->addWidget(table_);
    stack_->addWidget(icons_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);

    createActions();

    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(table_), static_cast<QAbstractItemView*>(icons_)}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { showContextMenu(view->viewport()->mapToGlobal(pos)); });
        connect(view, &QAbstractItemView::doubleClicked, this, [this] {
            if (action(TaskCommand::Properties)->isEnabled()) action(TaskCommand::Properties)->trigger();
        });
    }
    connect(selection_, &QItemSelectionModel::selectionChanged, this, &TaskListView::updateActions);

    refresh_timer_.setInterval(1000);
    connect(&refresh_timer_, &QTimer::timeout, this, &TaskListView::refreshRows);
    setViewStyle(ViewStyle::Details);
    refreshRows();
}

TaskListView::~TaskListView() { refresh_timer_.stop(); }

void TaskListView::createActions() {
    for (int i = 0; i < kTaskCommandCount; ++i) {
        const auto command = static_cast<TaskCommand>(i);
        const CommandInfo info = commandInfo(command);
        auto* act = new QAction(QString::fromLatin1(info.text), this);
        if (info.icon) act->setIcon(uiIcon(QString::fromLatin1(info.icon)));
        if (!info.shortcut.isEmpty()) {
            act->setShortcut(info.shortcut);
            act->setShortcutContext(Qt::WindowShortcut);
        }
        connect(act, &QAction::triggered, this, [this, command] { runCommand(command); });
        actions_[static_cast<size_t>(i)] = act;
    }

    style_group_ = new QActionGroup(this);
    const char* const style_names[] = {"Lar&ge Icons", "S&mall Icons", "&List", "&Details"};
    for (int i = 0; i < 4; ++i) {
        auto* act = new QAction(QString::fromLatin1(style_names[i]), style_group_);
        act->setCheckable(true);
        const auto style = static_cast<ViewStyle>(i);
        connect(act, &QAction::triggered, this, [this, style] { setViewStyle(style); });
        style_actions_[static_cast<size_t>(i)] = act;
    }
    view_menu_ = new QMenu(QStringLiteral("&View"), this);
    view_menu_->addActions(style_group_->actions());

    context_menu_ = new QMenu(this);
    for (TaskCommand c : {TaskCommand::NewTask, TaskCommand::EditTask, TaskCommand::DeleteTasks,
                          TaskCommand::CopyTasks, TaskCommand::RenameTask}) {
        context_menu_->addAction(action(c));
    }
    context_menu_->addSeparator();
    for (TaskCommand c : {TaskCommand::Start, TaskCommand::Stop, TaskCommand::RunImmediately}) {
        context_menu_->addAction(action(c));
    }
    context_menu_->addSeparator();
    for (TaskCommand c : {TaskCommand::CreateRestore, TaskCommand::BackupsList, TaskCommand::ViewLog}) {
        context_menu_->addAction(action(c));
    }
    context_menu_->addSeparator();
    context_menu_->addAction(action(TaskCommand::SelectAll));
    context_menu_->addMenu(view_menu_);
    context_menu_->addSeparator();
    context_menu_->addAction(action(TaskCommand::Properties));
}

void TaskListView::showContextMenu(const QPoint& global_pos) {
    updateActions();
    context_menu_->popup(global_pos);
}

CommandState TaskListView::commandState() const {
    CommandState state;
    state.service_running = app_.serviceRunning();
    for (const auto& task : app_.taskServer().tasks()) state.tasks.push_back(factsOf(*task));
    for (int row : selectedRows()) state.selected.push_back(row);
    state.shown_rows = model_->rowCount();
    return state;
}

bool TaskListView::ruleAllows(TaskCommand command) const { return commandEnabled(command, commandState()); }

TaskListService& TaskListView::tasks() { return app_.taskList(); }

void TaskListView::setCommandHandler(TaskCommand command, std::function<void()> handler) {
    handlers_[static_cast<size_t>(command)] = std::move(handler);
    updateActions();
}

bool TaskListView::hasHandler(TaskCommand command) const {
    return static_cast<bool>(handlers_[static_cast<size_t>(command)]);
}

void TaskListView::updateActions() {
    for (int i = 0; i < kTaskCommandCount; ++i) {
        const auto command = static_cast<TaskCommand>(i);
        const bool available = !needsHandler(command) || hasHandler(command);
        actions_[static_cast<size_t>(i)]->setEnabled(available && ruleAllows(command));
    }
}

void TaskListView::refreshRows() {
    model_->refresh(app_.options(), app_.serviceRunning());
    updateActions();
    emit refreshed();
}

void TaskListView::startRefreshTimer() { refresh_timer_.start(); }

void TaskListView::stopRefreshTimer() { refresh_timer_.stop(); }

QList<int> TaskListView::selectedRows() const {
    std::set<int> rows;
    const int count = app_.taskServer().taskCount();
    for (const QModelIndex& index : selection_->selectedIndexes()) {
        if (index.row() < count) rows.insert(index.row());
    }
    return QList<int>(rows.begin(), rows.end());
}

void TaskListView::selectRows(const QList<int>& rows) {
    QItemSelection selection;
    for (int row : rows) {
        if (row < 0 || row >= model_->rowCount()) continue;
        selection.select(model_->index(row, 0), model_->index(row, TaskListModel::ColumnCount - 1));
    }
    selection_->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty() && rows.front() < model_->rowCount()) {
        selection_->setCurrentIndex(model_->index(rows.front(), 0), QItemSelectionModel::NoUpdate);
    }
    updateActions();
}

void TaskListView::setViewStyle(ViewStyle style) {
    style_ = style;
    style_actions_[static_cast<size_t>(style)]->setChecked(true);
    if (style == ViewStyle::Details) {
        stack_->setCurrentWidget(table_);
        return;
    }
    switch (style) {
        case ViewStyle::LargeIcons:
            icons_->setViewMode(QListView::IconMode);
            icons_->setIconSize(QSize(32, 32));
            icons_->setGridSize(QSize(110, 72));
            icons_->setWordWrap(true);
            break;
        case ViewStyle::SmallIcons:
            icons_->setViewMode(QListView::ListMode);
            icons_->setFlow(QListView::LeftToRight);
            icons_->setIconSize(QSize(16, 16));
            icons_->setGridSize(QSize(180, 22));
            icons_->setWordWrap(false);
            break;
        default:
            icons_->setViewMode(QListView::ListMode);
            icons_->setFlow(QListView::TopToBottom);
            icons_->setIconSize(QSize(16, 16));
            icons_->setGridSize(QSize(180, 22));
            icons_->setWordWrap(false);
            break;
    }
    icons_->setWrapping(true);
    icons_->setMovement(QListView::Static);
    icons_->setResizeMode(QListView::Adjust);
    stack_->setCurrentWidget(icons_);
}

void TaskListView::stepViewStyle() { setViewStyle(static_cast<ViewStyle>((static_cast<int>(style_) + 1) % 4)); }

void TaskListView::runCommand(TaskCommand command) {
    if (!ruleAllows(command)) return;  // a shortcut may fire between two refreshes
    switch (command) {
        case TaskCommand::NewTask: newTask(); return;
        case TaskCommand::DeleteTasks: deleteTasks(); return;
        case TaskCommand::DeleteAll: deleteAll(); return;
        case TaskCommand::CopyTasks: copyTasks(); return;
        case TaskCommand::RenameTask: renameTask(); return;
        case TaskCommand::Start: start(); return;
        case TaskCommand::Stop: stop(); return;
        case TaskCommand::RunImmediately: runImmediately(); return;
        case TaskCommand::StartAll: startAll(); return;
        case TaskCommand::StopAll: stopAll(); return;
        case TaskCommand::SelectAll: selectAll(); return;
        case TaskCommand::ViewLog: viewLog(); return;
        case TaskCommand::SaveAs: saveAs(); return;
        case TaskCommand::LoadFrom: loadFrom(); return;
        default:
            if (const auto& handler = handlers_[static_cast<size_t>(command)]) handler();
            return;
    }
}

void TaskListView::scrollToEnd() {
    table_->scrollToBottom();
    icons_->scrollToBottom();
}

int TaskListView::addNewTask(const CTask& task, const QString& log_line, bool append_to_new_tasks) {
    const EditOutcome outcome = tasks().addNewTask(task, log_line.toStdString(), append_to_new_tasks);
    if (!outcome.ok()) {
        app_.prompter().warn(qtext(outcome.refusal));
        return -1;
    }
    const int index = outcome.index;
    refreshRows();
    selectRows({index});
    scrollToEnd();
    CTask& added = app_.taskServer().taskAt(index);
    if (added.schedule.kind == kScheduleManual &&
        app_.prompter().confirm(QStringLiteral("Do you want to RUN the task (") + qtext(added.name) +
                                QStringLiteral(") immediatelly?"))) {
        tasks().startTask(index, true);
    }
    refreshRows();
    return index;
}

void TaskListView::newTask() {
    ++new_task_requests_;
    if (const auto& handler = handlers_[static_cast<size_t>(TaskCommand::NewTask)]) handler();
}

namespace {

std::vector<int> toIndexes(const QList<int>& rows) { return std::vector<int>(rows.begin(), rows.end()); }

}  // namespace

void TaskListView::deleteTasks() {
    if (!app_.prompter().confirm(QStringLiteral("Do you want to DELETE the task(s) now?\n\nThe task(s) will be stopped."),
                                 true)) {
        return;
    }
    tasks().deleteTasks(toIndexes(selectedRows()));
    selection_->clearSelection();
    refreshRows();
}

void TaskListView::deleteAll() {
    if (!app_.prompter().confirm(QStringLiteral("Do you want to DELETE ALL tasks now?"), true)) return;
    tasks().deleteAll();
    selection_->clearSelection();
    refreshRows();
}

void TaskListView::copyTasks() {
    const QList<int> rows = selectedRows();
    if (!app_.prompter().confirm(QStringLiteral("Do you want to create %1 task(s) by copies?").arg(rows.size()), true)) {
        return;
    }
    const std::vector<int> copies = tasks().copyTasks(toIndexes(rows));
    refreshRows();
    selectRows(QList<int>(copies.begin(), copies.end()));
    scrollToEnd();
}

void TaskListView::renameTask() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        app_.prompter().warn(QStringLiteral("Please choose a task!"));
        return;
    }
    const int index = rows.front();
    TaskListService& list = tasks();
    const auto refusal = [&list, index](const QString& name) {
        return qtext(list.renameRefusal(index, name.toStdString()));
    };
    RenameTaskDialog dialog(app_.prompter(), qtext(app_.taskServer().copyTask(index).name), refusal, window());
    if (app_.prompter().runDialog(dialog) != QDialog::Accepted) return;
    list.renameTask(index, dialog.name().toStdString());
    refreshRows();
}

void TaskListView::start() {
    for (int row : selectedRows()) tasks().start(row);
    refreshRows();
}

void TaskListView::stop() {
    TaskServer& server = app_.taskServer();
    for (int row : selectedRows()) {
        const CTask& task = server.taskAt(row);
        if (task.status.load() == kStatusRunning &&
            !app_.prompter().confirm(QStringLiteral("Do you want to STOP the task (") + qtext(task.name) +
                                     QStringLiteral(" -- Running) now?"))) {
            continue;
        }
        tasks().stop(row);
    }
    refreshRows();
}

void TaskListView::runImmediately() {
    TaskServer& server = app_.taskServer();
    for (int row : selectedRows()) {
        CTask& task = server.taskAt(row);
        if (task.status.load() == kStatusRunning) continue;
        if (app_.prompter().confirm(QStringLiteral("Do you want to RUN the task (") + qtext(task.name) +
                                    QStringLiteral(") immediately?"))) {
            tasks().runImmediately(row);
        } else {
            task.run_now = 0;
        }
    }
    refreshRows();
}

void TaskListView::startAll() {
    if (!app_.prompter().confirm(QStringLiteral("Do you want to START ALL automatization tasks now?"), true)) return;
    tasks().startAll();
    refreshRows();
}

void TaskListView::stopAll() {
    if (!app_.prompter().confirm(QStringLiteral("Do you want to STOP ALL tasks now?"), true)) return;
    tasks().stopAll();
    refreshRows();
}

void TaskListView::selectAll() {
    QList<int> rows;
    for (int i = 0; i < model_->rowCount(); ++i) rows.append(i);
    selectRows(rows);
}

void TaskListView::viewLog() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        app_.prompter().warn(QStringLiteral("Please choose a task!"));
        return;
    }
    viewLogOf(rows.front());
}

void TaskListView::viewLogOf(int index) {
    const CTask task = app_.taskServer().copyTask(index);
    TaskLogDialog dialog(app_.prompter(), app_.environment().logsFolder(), task.name, task.log_name, app_.options(),
                         window());
    app_.prompter().runDialog(dialog);
}

void TaskListView::saveAs() {
    const QString file =
        app_.prompter().saveFileName(window(), QString::fromLatin1(kTaskFileFilter), QStringLiteral("tsk"));
    if (file.isEmpty()) return;
    if (tasks().saveAs(std::filesystem::path(file.toStdString()))) {
        app_.prompter().inform(QStringLiteral("Save the task list to a task file successfully!"));
    } else {
        app_.prompter().fail(QStringLiteral("Failed to save the task list to a task file!"));
    }
}

void TaskListView::loadFrom() {
    const QString file = app_.prompter().openFileName(window(), QString::fromLatin1(kTaskFileFilter));
    if (file.isEmpty()) return;
    if (!app_.prompter().confirm(
            QStringLiteral("Do you want to LOAD a new task list from the task file?\n\nThe current task list will be "
                           "overwrote."),
            true)) {
        return;
    }
    const bool timer_was_active = refresh_timer_.isActive();
    stopRefreshTimer();
    const EditOutcome outcome = tasks().loadFrom(std::filesystem::path(file.toStdString()));
    selection_->clearSelection();
    refreshRows();
    if (timer_was_active) startRefreshTimer();
    if (outcome.ok()) {
        app_.prompter().inform(QStringLiteral("Load the task list from the file successfully!"));
    } else {
        app_.prompter().fail(qtext(outcome.refusal));
    }
}

}  // namespace keelvault::ui
