#include "ui/wizard/choose_tables_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/editing/database_selection_rules.h"
#include "core/editing/view_texts.h"
#include "ui/dialogs/advanced_settings_dialog.h"
#include "ui/icons.h"
#include "ui/prompter.h"
#include "ui/wizard/server_requests.h"

namespace keelvault::ui {

ChooseTablesContent::ChooseTablesContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("ChooseTablesPage"));
    list_ = new QListWidget(this);
    list_->setSelectionMode(editable() ? QAbstractItemView::MultiSelection : QAbstractItemView::NoSelection);
    refresh_ = new QPushButton(tr("&Refresh"), this);
    select_all_ = new QPushButton(tr("Select All"), this);
    deselect_all_ = new QPushButton(tr("Deselect All"), this);
    invert_ = new QPushButton(tr("Invert"), this);
    advanced_ = new QPushButton(tr("Advanced Settings..."), this);
    structure_ = new QCheckBox(tr("Structure"), this);
    records_ = new QCheckBox(tr("Records"), this);
    new_tables_ = new QCheckBox(tr("Backup all newly-created tables in the source database"), this);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {refresh_, select_all_, deselect_all_, invert_, advanced_}) buttons->addWidget(b);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(buttons);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(structure_);
    boxes->addWidget(records_);
    boxes->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(boxes);
    layout->addWidget(new_tables_);

    if (!editable()) {
        for (QWidget* w : std::initializer_list<QWidget*>{refresh_, select_all_, deselect_all_, invert_, structure_,
                                                          records_, new_tables_}) {
            w->setEnabled(false);
        }
    }
    connect(select_all_, &QPushButton::clicked, list_, &QListWidget::selectAll);
    connect(deselect_all_, &QPushButton::clicked, list_, &QListWidget::clearSelection);
    connect(invert_, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < list_->count(); ++i) list_->item(i)->setSelected(!list_->item(i)->isSelected());
    });
    connect(refresh_, &QPushButton::clicked, this, &ChooseTablesContent::refresh);
    connect(advanced_, &QPushButton::clicked, this,
            [this] { openAdvancedSettings(task().backup_options, editable(), prompter(), window()); });
}

void ChooseTablesContent::showOptions(const CBackupOptions& options) {
    structure_->setChecked(options.flag(kOptStructure));
    records_->setChecked(options.flag(kOptRecords));
    new_tables_->setChecked(options.flag(kOptNewTables));
}

void ChooseTablesContent::showTables(const std::vector<CTableItem>& tables) {
    shown_ = tables;
    list_->clear();
    for (const CTableItem& table : tables) {
        auto* item = new QListWidgetItem(uiIcon(table.kind == 2 ? QStringLiteral("view") : QStringLiteral("table")),
                                         QString::fromStdString(tableItemText(table.table, table.kind)), list_);
        if (editable()) {
            item->setSelected(table.selected != 0);
        } else if (table.selected) {
            // Read-only: the chosen tables stand out without a selection.
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
        }
    }
}

void ChooseTablesContent::load() {
    showOptions(task().backup_options);
    if (mode() == PageMode::Wizard) return;
    showTables(task().databases.empty() ? std::vector<CTableItem>{} : task().databases.front().tables);
}

void ChooseTablesContent::reenter() {
    if (mode() != PageMode::Wizard || shown_generation_ == context().cache.generation) return;
    shown_generation_ = context().cache.generation;
    showOptions(task().backup_options);
    showTables(context().cache.catalogue.tables);
}

bool ChooseTablesContent::accept() {
    ChooseTablesTexts texts;
    texts.structure = structure_->isChecked();
    texts.records = records_->isChecked();
    texts.new_tables = new_tables_->isChecked();
    texts.source_database = task().source.database;
    texts.tables = shown_;
    for (int i = 0; i < list_->count() && i < static_cast<int>(texts.tables.size()); ++i) {
        texts.tables[static_cast<size_t>(i)].selected = list_->item(i)->isSelected() ? 2 : 0;
    }
    const auto result = checkChooseTables(texts);
    if (!result) {
        QWidget* focus = result.failure().focus == SelectionField::StructureRecords ? static_cast<QWidget*>(structure_)
                                                                                    : static_cast<QWidget*>(list_);
        return refuseWith(result.failure().message, focus);
    }
    if (mode() == PageMode::Wizard && !result.value().question.empty() &&
        !prompter().confirm(QString::fromStdString(result.value().question))) {
        return false;
    }
    CBackupOptions& options = task().backup_options;
    options.flags[kOptStructure] = texts.structure;
    options.flags[kOptRecords] = texts.records;
    options.flags[kOptNewTables] = texts.new_tables;
    task().databases = {result.value().database};
    return true;
}

void ChooseTablesContent::leaveBack() {
    if (mode() == PageMode::Wizard) task().backup_options = CBackupOptions{};
}

void ChooseTablesContent::refresh() {
    if (!prompter().confirm(tr("Do you want to refresh the tables on the source database now?"))) return;
    auto catalogue = loadDatabaseTablesOrReport(task().source, task().source.database, prompter(), window());
    if (!catalogue) {
        showTables({});
        return;
    }
    context().cache.replace(std::move(*catalogue));
    shown_generation_ = context().cache.generation;
    showTables(context().cache.catalogue.tables);
}

}  // namespace keelvault::ui
