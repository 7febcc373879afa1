#include "ui/wizard/restore_files_page.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/editing/restore_file_rules.h"
#include "core/editing/view_texts.h"
#include "ui/icons.h"
#include "ui/prompter.h"
#include "ui/wizard/file_chooser.h"

namespace keelvault::ui {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

RestoreFilesContent::RestoreFilesContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("RestoreFilesPage"));
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(editable() ? QAbstractItemView::ExtendedSelection : QAbstractItemView::NoSelection);
    list_->setHeaderLabels({tr("SN"), tr("File Name"), tr("Full Path"), tr("File Size"), tr("Date & Time")});
    const int widths[] = {60, 300, 500, 100, 200};
    for (int i = 0; i < 5; ++i) list_->setColumnWidth(i, widths[i]);
    list_->headerItem()->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    list_->headerItem()->setTextAlignment(4, Qt::AlignCenter);
    add_ = new QPushButton(tr("&Add"), this);
    remove_ = new QPushButton(tr("&Remove"), this);
    remove_all_ = new QPushButton(tr("Re&move All"), this);
    up_ = new QPushButton(tr("Move &Up"), this);
    down_ = new QPushButton(tr("Move &Down"), this);
    sql_error_ = new QCheckBox(tr("Continue even if an SQL error occurs during restoring"), this);
    file_error_ = new QCheckBox(tr("Continue even if an FILE error occurs during restoring"), this);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add_, remove_, remove_all_, up_, down_}) buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    layout->addWidget(sql_error_);
    layout->addWidget(file_error_);

    if (!editable()) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{add_, remove_, remove_all_, up_, down_, sql_error_, file_error_}) {
            w->setEnabled(false);
        }
    }
    connect(add_, &QPushButton::clicked, this, &RestoreFilesContent::add);
    connect(remove_, &QPushButton::clicked, this, [this] { remove(false); });
    connect(remove_all_, &QPushButton::clicked, this, [this] { remove(true); });
    connect(up_, &QPushButton::clicked, this, [this] { move(true); });
    connect(down_, &QPushButton::clicked, this, [this] { move(false); });
}

QString RestoreFilesContent::title() const {
    return mode() == PageMode::Wizard ? tr("Backup Files") : tr("SQL Files");
}

void RestoreFilesContent::load() {
    files_ = task().restore_files;
    sql_error_->setChecked(task().restore_options.continue_on_sql_error);
    file_error_->setChecked(task().restore_options.continue_on_file_error);
    showFiles({});
}

void RestoreFilesContent::showFiles(const std::vector<int>& selected) {
    list_->clear();
    for (size_t i = 0; i < files_.size(); ++i) {
        const CRestoreFile& file = files_[i];
        auto* item = new QTreeWidgetItem(
            list_, {QString::number(i + 1), qs(file.file_name), qs(file.full_path), qs(restoreFileSizeText(file.size)),
                    qs(restoreFileTimeText(file, context().options))});
        item->setIcon(0, uiIcon(file.kind == 1 ? QStringLiteral("gzip_file") : QStringLiteral("sql_file")));
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(4, Qt::AlignCenter);
    }
    for (int row : selected) {
        if (QTreeWidgetItem* item = list_->topLevelItem(row)) item->setSelected(true);
    }
    if (!selected.empty()) list_->scrollToItem(list_->topLevelItem(selected.back()));
}

std::vector<int> RestoreFilesContent::selectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        if (list_->topLevelItem(row)->isSelected()) rows.push_back(row);
    }
    return rows;
}

void RestoreFilesContent::add() {
    const QStringList names =
        context().chooser.openFiles(window(), tr("SQL and GZIP Files (*.sql *.gz);;All Files (*)"));
    if (names.isEmpty()) return;
    std::vector<std::string> paths;
    for (const QString& name : names) paths.push_back(name.toStdString());
    const RestoreFileList added = addRestoreFiles(RestoreFileList{files_, selectedRows()}, paths);
    files_ = added.files;
    showFiles(added.selected);
}

void RestoreFilesContent::remove(bool all) {
    if (all) {
        if (files_.empty() || !prompter().confirm(tr("Do you want to remove all file items in the list?"))) return;
        files_.clear();
        showFiles({});
        return;
    }
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return;
    if (!prompter().confirm(tr("Do you want to remove the file item(s) in the list?"))) return;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) files_.erase(files_.begin() + *it);
    showFiles({});
}

void RestoreFilesContent::move(bool up) {
    const auto moved = moveRestoreFile(RestoreFileList{files_, selectedRows()}, up);
    if (!moved) {
        refuseWith(moved.failure().message, list_);
        return;
    }
    files_ = moved.value().files;
    showFiles(moved.value().selected);
}

bool RestoreFilesContent::accept() {
    const auto result = checkRestoreFilesPage(files_, sql_error_->isChecked(), file_error_->isChecked());
    if (!result) return refuseWith(result.failure().message, add_);
    if (mode() == PageMode::Wizard && !prompter().confirm(QString::fromStdString(result.value().question))) {
        return false;
    }
    task().restore_options = result.value().options;
    task().restore_files = result.value().files;
    return true;
}

}  // namespace keelvault::ui
