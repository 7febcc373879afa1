#include "ui/task_log_dialog.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QMenuBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <fstream>

#include "core/scheduler/display_text.h"
#include "core/scheduler/schedule.h"
#include "ui/icons.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"

namespace keelvault::ui {

namespace {

const char* kNoLogs = "There are not any task logs!";

QIcon kindIcon(uint8_t level) {
    if (level == kLogInfo) return uiIcon(QStringLiteral("log_info"));
    if (level == kLogWarning) return uiIcon(QStringLiteral("log_warning"));
    return uiIcon(QStringLiteral("log_error"));  // any other kind counts as an error
}

// Shows the wait cursor for the life of the object.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

TaskLogDialog::TaskLogDialog(Prompter& prompter, std::filesystem::path logs_folder, const std::string& task_name,
                             std::string log_name, CSystemOptions options, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      logs_folder_(std::move(logs_folder)),
      log_name_(std::move(log_name)),
      options_(std::move(options)) {
    setObjectName(QStringLiteral("TaskLogDialog"));
    setWindowTitle(QStringLiteral("Task Log - ") + QString::fromStdString(task_name));
    setWindowIcon(uiIcon(QStringLiteral("view_log")));
    setSizeGripEnabled(true);
    resize(900, 480);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menu_bar = new QMenuBar(this);
    layout->setMenuBar(menu_bar);
    QMenu* log_menu = menu_bar->addMenu(QStringLiteral("&Log"));
    refresh_ = log_menu->addAction(QStringLiteral("&Refresh"), this, &TaskLogDialog::refresh);
    refresh_->setShortcut(QKeySequence(Qt::Key_F5));
    display_all_ = log_menu->addAction(QStringLiteral("Display &All"), this, &TaskLogDialog::displayAll);
    log_menu->addAction(QStringLiteral("&Empty logs"), this, &TaskLogDialog::emptyLogs);
    log_menu->addSeparator();
    log_menu->addAction(QStringLiteral("&Close"), this, &QDialog::accept);
    QMenu* export_menu = menu_bar->addMenu(QStringLiteral("&Export"));
    export_menu->addAction(QStringLiteral("Export to &CSV file..."), this, &TaskLogDialog::exportCsv);
    export_menu->addAction(QStringLiteral("Export to &LOG file..."), this, &TaskLogDialog::exportLog);
    export_menu->addAction(QStringLiteral("Export to &TXT file..."), this, &TaskLogDialog::exportTxt);
    QMenu* help_menu = menu_bar->addMenu(QStringLiteral("&Help"));
    help_menu->addAction(QStringLiteral("&Help"), this, &TaskLogDialog::openHelp);

    list_ = new QTableWidget(0, 3, this);
    list_->setHorizontalHeaderLabels({QStringLiteral("SN"), QStringLiteral("Date & Time"), QStringLiteral("Information")});
    list_->setColumnWidth(0, 70);
    list_->setColumnWidth(1, 200);
    list_->setColumnWidth(2, 720);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(22);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->setIconSize(QSize(18, 18));
    list_->setWordWrap(false);
    list_->setStyleSheet(QStringLiteral("QTableWidget { color: #0000c0; background: white; }"));
    layout->addWidget(list_);

    refresh();
}

std::filesystem::path TaskLogDialog::logPath() const { return logFilePath(logs_folder_, log_name_); }

void TaskLogDialog::refresh() {
    WaitCursor wait;
    showEntries(readLastLog(logs_folder_, log_name_, kShownByDefault));
}

void TaskLogDialog::displayAll() {
    WaitCursor wait;
    showEntries(readAllLog(logs_folder_, log_name_));
}

void TaskLogDialog::showEntries(std::vector<LogRecord> entries) {
    list_->clearContents();
    list_->setRowCount(0);
    entries_ = std::move(entries);
    list_->setRowCount(static_cast<int>(entries_.size()));
    for (size_t i = 0; i < entries_.size(); ++i) {
        const LogRecord& entry = entries_[i];
        const int row = static_cast<int>(i);
        auto* number = new QTableWidgetItem(kindIcon(entry.level), QString::number(row + 1));
        list_->setItem(row, 0, number);
        list_->setItem(row, 1,
                       new QTableWidgetItem(QString::fromStdString(
                           formatTaskTime(entry.time, options_.date_format, options_.time_format, true))));
        list_->setItem(row, 2, new QTableWidgetItem(QString::fromUtf8(entry.text.data(),
                                                                      static_cast<qsizetype>(entry.text.size()))));
    }
    if (!entries_.empty()) {
        list_->clearSelection();
        const int last = static_cast<int>(entries_.size()) - 1;
        list_->setCurrentCell(last, 0);
        list_->selectRow(last);
        list_->scrollToBottom();
    }
}

void TaskLogDialog::emptyLogs() {
    if (entries_.empty()) {
        prompter_.warn(QString::fromLatin1(kNoLogs));
        return;
    }
    const std::filesystem::path path = logPath();
    if (!std::ifstream(path, std::ios::binary).is_open()) {
        prompter_.warn(QString::fromLatin1(kNoLogs));
        return;
    }
    if (!prompter_.confirm(QStringLiteral("Do you want to EMPTY ALL logs of the task?"))) return;
    WaitCursor wait;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    showEntries({});
}

void TaskLogDialog::exportLines(const QString& filter, const QString& suffix, bool csv) {
    if (entries_.empty()) {
        prompter_.warn(QString::fromLatin1(kNoLogs));
        return;
    }
    const QString file = prompter_.saveFileName(this, filter, suffix);
    if (file.isEmpty()) return;
    std::ofstream out(std::filesystem::path(file.toStdString()), std::ios::binary | std::ios::app);
    if (!out) return;
    for (const LogRecord& entry : entries_) {
        out << (csv ? logRecordCsvLine(entry, options_) : logRecordTxtLine(entry, options_));
    }
}

void TaskLogDialog::exportCsv() { exportLines(QStringLiteral("Task Log Files (*.csv)"), QStringLiteral("csv"), true); }

void TaskLogDialog::exportTxt() { exportLines(QStringLiteral("Task Log Files (*.txt)"), QStringLiteral("txt"), false); }

void TaskLogDialog::exportLog() {
    if (entries_.empty()) {
        prompter_.warn(QString::fromLatin1(kNoLogs));
        return;
    }
    const QString file = prompter_.saveFileName(this, QStringLiteral("Task Log Files (*.log)"), QStringLiteral("log"));
    if (file.isEmpty()) return;
    std::error_code ec;
    std::filesystem::copy_file(logPath(), std::filesystem::path(file.toStdString()),
                               std::filesystem::copy_options::overwrite_existing, ec);
}

void TaskLogDialog::openHelp() { prompter_.openUrl(helpTopicUrl(QStringLiteral("introduction/tasklog.html"))); }

}  // namespace keelvault::ui
