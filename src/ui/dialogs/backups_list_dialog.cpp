#include "ui/dialogs/backups_list_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "core/editing/restore_task.h"
#include "core/engine/backup_verify.h"
#include "core/model/task_log.h"
#include "core/scheduler/schedule.h"
#include "ui/icons.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"

namespace keelvault::ui {

namespace {

QString qtext(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The folder of a stored path: up to and including its last separator,
// either kind, so lists made elsewhere still open.
QString folderOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos) return {};
    return qtext(path.substr(0, cut + 1));
}

}  // namespace

BackupsListDialog::BackupsListDialog(const CTask& task, const CSystemOptions& options, bool service_running,
                                     BackupsSource fresh_backups, Prompter& prompter, QWidget* parent)
    : QDialog(parent), task_(task), options_(options), fresh_backups_(std::move(fresh_backups)), prompter_(prompter) {
    setObjectName(QStringLiteral("BackupsListDialog"));
    setWindowTitle(tr("Backups List - ") + qtext(task_.name));
    setWindowIcon(uiIcon(QStringLiteral("backups_list")));

    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({tr("Date and Time"), tr("Files")});
    list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    list_->header()->setStretchLastSection(false);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        list_->setCurrentItem(item);
        openFolder();
    });

    create_restore_ = new QPushButton(tr("Create &Restore"), this);
    open_folder_ = new QPushButton(tr("&Open Folder"), this);
    refresh_ = new QPushButton(tr("Re&fresh List"), this);
    verify_ = new QPushButton(tr("&Verify..."), this);
    auto* ok = new QPushButton(tr("O&K"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    auto* help = new QPushButton(tr("&Help"), this);
    connect(create_restore_, &QPushButton::clicked, this, &BackupsListDialog::createRestore);
    connect(open_folder_, &QPushButton::clicked, this, &BackupsListDialog::openFolder);
    connect(refresh_, &QPushButton::clicked, this, &BackupsListDialog::refreshList);
    connect(verify_, &QPushButton::clicked, this, &BackupsListDialog::verifyBackup);
    // Only Create Restore closes with a result.
    connect(ok, &QPushButton::clicked, this, &QDialog::reject);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this,
            [this] { prompter_.openUrl(helpTopicUrl(QStringLiteral("introduction/backupslist.html"))); });

    // A PHP backup cannot be replayed by a restore task.
    if (task_.backup_options.flag(kOptFileType) == 2) {
        create_restore_->setEnabled(false);
        create_restore_->hide();
        verify_->setEnabled(false);
        verify_->hide();
    } else if (service_running) {
        create_restore_->setEnabled(false);
    }

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(create_restore_);
    buttons->addWidget(open_folder_);
    buttons->addWidget(refresh_);
    buttons->addWidget(verify_);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(560, 340);
    showRows();
}

void BackupsListDialog::showRows() {
    list_->clear();
    const QIcon icon = uiIcon(QStringLiteral("sql_file"));
    for (const CBackupRecord& record : task_.backups) {
        const std::string when = formatTaskTime(record.year, record.month, record.day, record.hour, record.minute,
                                                record.second, -1, options_.date_format, options_.time_format, true);
        auto* item = new QTreeWidgetItem(list_);
        item->setIcon(0, icon);
        item->setText(0, QStringLiteral(" ") + qtext(when));
        item->setText(1, QString::number(record.files.size()));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        const QString verifiable = hasBackupDigests(record) ? tr("Digests recorded: this backup can be verified.")
                                                            : tr("No digests: this backup cannot be verified.");
        item->setToolTip(0, verifiable);
        item->setToolTip(1, verifiable);
    }
}

void BackupsListDialog::fitColumns() {
    const int width = list_->viewport()->width();
    list_->setColumnWidth(0, width * 65 / 100);
    list_->setColumnWidth(1, width * 25 / 100);
}

void BackupsListDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fitColumns();
}

void BackupsListDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitColumns();  // the list has its final width only now
}

const CBackupRecord* BackupsListDialog::selectedRecord() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    const int row = selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
    if (row < 0 || row >= static_cast<int>(task_.backups.size())) {
        prompter_.warn(tr("Please choose a backup item!"));
        list_->setFocus();
        return nullptr;
    }
    return &task_.backups[static_cast<size_t>(row)];
}

void BackupsListDialog::openFolder() {
    const CBackupRecord* record = selectedRecord();
    if (!record) return;
    if (record->files.empty()) {
        prompter_.warn(tr("There is not any backup files!"));
        return;
    }
    const QString folder = folderOf(record->files.front());
    if (folder.isEmpty() || !QDir(folder).exists()) {
        prompter_.warn(tr("The backup folder is not exists!\n\nThe folder and the backup files may be removed!"));
        return;
    }
    prompter_.openUrl(QUrl::fromLocalFile(folder));
}

void BackupsListDialog::createRestore() {
    if (!create_restore_->isEnabled()) return;
    const CBackupRecord* record = selectedRecord();
    if (!record) return;
    if (!prompter_.confirm(tr("Do you want to create a task to restore databases by the selected backup item?"))) {
        return;
    }
    auto restore = restoreTaskFromBackupRecord(task_, *record);
    if (!restore) {
        prompter_.warn(QString::fromLatin1(kNoBackupFilesMessage));
        return;
    }
    restore_ = std::move(*restore);
    QDialog::accept();
}

void BackupsListDialog::refreshList() {
    if (fresh_backups_) {
        if (auto backups = fresh_backups_()) task_.backups = std::move(*backups);
    }
    showRows();
}

BackupsListDialog::~BackupsListDialog() {
    if (verify_thread_.joinable()) {
        verify_thread_.request_stop();
        verify_connections_.cancelAll();
        verify_thread_.join();
    }
}

void BackupsListDialog::setVerifySetup(std::vector<CServerSettings> servers, std::filesystem::path logs_folder) {
    verify_servers_ = std::move(servers);
    logs_folder_ = std::move(logs_folder);
}

void BackupsListDialog::verifyBackup() {
    if (!verify_->isEnabled() || verifying()) return;
    const CBackupRecord* record = selectedRecord();
    if (!record) return;
    if (!hasBackupDigests(*record)) {
        prompter_.warn(tr("This backup has no digests; it cannot be verified."));
        return;
    }
    if (verify_servers_.empty()) {
        prompter_.warn(tr("There are no saved servers to verify the backup on."));
        return;
    }

    QDialog ask(this);
    ask.setObjectName(QStringLiteral("VerifyServerDialog"));
    ask.setWindowTitle(tr("Verify Backup"));
    auto* servers = new QComboBox(&ask);
    servers->setObjectName(QStringLiteral("servers"));
    for (const CServerSettings& s : verify_servers_) servers->addItem(qtext(s.connection_name));
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &ask);
    connect(box, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
    auto* layout = new QVBoxLayout(&ask);
    layout->addWidget(new QLabel(tr("Restore the backup into scratch databases on the server:"), &ask));
    layout->addWidget(servers);
    layout->addWidget(box);
    if (prompter_.runDialog(ask) != QDialog::Accepted || servers->currentIndex() < 0) return;

    const CServerSettings& target = verify_servers_[static_cast<size_t>(servers->currentIndex())];
    VerifyRequest request = verifyRequestFor(task_, *record, target);
    const std::filesystem::path logs = logs_folder_;
    const std::string log_name = task_.log_name;
    appendLog(logs, log_name, kLogInfo, "Verify the backup on " + target.connection_name, currentLocalTime());

    verify_->setEnabled(false);
    verify_done_ = false;
    if (verify_thread_.joinable()) verify_thread_.join();
    verify_thread_ = std::jthread([this, request = std::move(request), logs, log_name](std::stop_token stop) {
        VerifyHooks hooks;
        hooks.stop = stop;
        hooks.connections = &verify_connections_;
        hooks.line = [&logs, &log_name](uint8_t level, const std::string& text) {
            appendLog(logs, log_name, level, text, currentLocalTime());
        };
        const VerifyReport report = keelvault::verifyBackup(request, hooks);
        const int status = static_cast<int>(report.status);
        const QString summary = qtext(report.summary);
        // Back on the interface thread; dropped if the dialog is gone by then.
        QMetaObject::invokeMethod(
            this, [this, status, summary] { verifyFinished(status, summary); }, Qt::QueuedConnection);
    });
}

void BackupsListDialog::verifyFinished(int status, const QString& summary) {
    verify_done_ = true;
    verify_->setEnabled(true);
    switch (static_cast<VerifyStatus>(status)) {
        case VerifyStatus::Equal:
            prompter_.inform(summary);
            break;
        case VerifyStatus::Canceled:
            break;
        case VerifyStatus::Different:
        case VerifyStatus::Failed:
            prompter_.warn(summary + tr("\n\nThe task log names each table."));
            break;
    }
}

}  // namespace keelvault::ui
