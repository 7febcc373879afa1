#include "ui/task_list_model.h"

#include "core/scheduler/task_server.h"
#include "ui/icons.h"

namespace keelvault::ui {

namespace {

QString text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TaskListModel::TaskListModel(const TaskServer& server, QObject* parent)
    : QAbstractTableModel(parent), server_(server), task_icon_(uiIcon(QStringLiteral("task"))) {}

void TaskListModel::refresh(const CSystemOptions& options, bool service_running) {
    const auto tasks = server_.tasks();
    std::vector<TaskRowText> rows;
    rows.reserve(tasks.size());
    std::vector<RunProgressSnapshot> progress(tasks.size());
    for (size_t i = 0; i < tasks.size(); ++i) {
        rows.push_back(taskRowText(*tasks[i], options, service_running));
        if (tasks[i]->status.load() == kStatusRunning) progress[i] = server_.progressAt(static_cast<int>(i));
    }

    const int old_count = static_cast<int>(rows_.size());
    const int new_count = static_cast<int>(rows.size());
    if (new_count < old_count) {
        beginRemoveRows(QModelIndex(), new_count, old_count - 1);
        rows_.resize(rows.size());
        endRemoveRows();
    }
    if (new_count > old_count) {
        beginInsertRows(QModelIndex(), old_count, new_count - 1);
        rows_.resize(rows.size());
        endInsertRows();
    }
    rows_ = std::move(rows);
    progress_ = std::move(progress);
    if (!rows_.empty()) {
        emit dataChanged(index(0, 0), index(new_count - 1, ColumnCount - 1),
                         {Qt::DisplayRole, Qt::ToolTipRole, ProgressRole});
    }
}

int TaskListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TaskListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const TaskRowText& row = rows_[static_cast<size_t>(index.row())];
    if (index.column() == StatusColumn && (role == Qt::ToolTipRole || role == ProgressRole)) {
        const RunProgressSnapshot& progress = progress_[static_cast<size_t>(index.row())];
        if (progress.running) {
            if (role == ProgressRole) return progressFraction(progress);
            const QString numbers = progressText(index.row());
            if (!numbers.isEmpty()) return numbers;
        } else if (role == ProgressRole) {
            return {};
        }
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
            case NameColumn: return text(row.name);
            case StatusColumn: return text(row.status);
            case LastRunColumn: return text(row.last_run);
            case NextRunColumn: return text(row.next_run);
            case TypeColumn: return text(row.type);
            case ScheduleColumn: return text(row.schedule);
            default: return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == NameColumn) return task_icon_;
    if (role == Qt::TextAlignmentRole) {
        const bool centred = index.column() == TypeColumn || index.column() == ScheduleColumn;
        return QVariant::fromValue(Qt::AlignVCenter | (centred ? Qt::AlignHCenter : Qt::AlignLeft));
    }
    return {};
}

QVariant TaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        static const char* const kTitles[] = {"Task Name", "Status", "Last Run",
                                              "Next Run",  "Task Type", "Schedule"};
        if (section >= 0 && section < ColumnCount) return QString::fromLatin1(kTitles[section]);
    }
    if (role == Qt::TextAlignmentRole) {
        const bool centred = section == TypeColumn || section == ScheduleColumn;
        return QVariant::fromValue(Qt::AlignVCenter | (centred ? Qt::AlignHCenter : Qt::AlignLeft));
    }
    return {};
}

QString TaskListModel::progressText(int row) const {
    if (row < 0 || row >= static_cast<int>(progress_.size())) return {};
    const RunProgressSnapshot& progress = progress_[static_cast<size_t>(row)];
    return progress.running ? text(keelvault::progressText(progress)) : QString();
}

int TaskListModel::columnWidth(int column) {
    static const int kWidths[] = {180, 90, 180, 180, 220, 100};
    return column >= 0 && column < ColumnCount ? kWidths[column] : 100;
}

}  // namespace keelvault::ui
