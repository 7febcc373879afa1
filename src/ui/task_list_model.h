#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <vector>

#include "core/scheduler/display_text.h"
#include "core/scheduler/run_progress.h"

namespace keelvault {
class TaskServer;
}

namespace keelvault::ui {

// The rows of the task list: row i shows task i of the Task Server. It keeps
// only the texts of the last refresh; refresh() rebuilds them from the task
// records, adding rows that are missing and dropping surplus ones.
class TaskListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // On the status column of a running task: how far its run has come, 0 to
    // 1, or -1 when it cannot be measured; nothing for a task not running.
    static constexpr int ProgressRole = Qt::UserRole + 1;

    enum Column { NameColumn, StatusColumn, LastRunColumn, NextRunColumn, TypeColumn, ScheduleColumn, ColumnCount };

    explicit TaskListModel(const TaskServer& server, QObject* parent = nullptr);

    void refresh(const CSystemOptions& options, bool service_running);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static int columnWidth(int column);
    // The numbers of the row's run while it runs (also its status tooltip);
    // empty otherwise.
    QString progressText(int row) const;

private:
    const TaskServer& server_;
    std::vector<TaskRowText> rows_;
    std::vector<RunProgressSnapshot> progress_;  // the running tasks' only
    QIcon task_icon_;
};

}  // namespace keelvault::ui
