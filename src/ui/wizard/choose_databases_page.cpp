#include "ui/wizard/choose_databases_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/editing/database_selection_rules.h"
#include "core/editing/view_texts.h"
#include "ui/dialogs/advanced_settings_dialog.h"
#include "ui/icons.h"
#include "ui/prompter.h"
#include "ui/wizard/server_requests.h"

namespace keelvault::ui {

namespace {

Qt::CheckState checkStateOf(uint8_t selection) {
    return selection == 0 ? Qt::Unchecked : selection == 1 ? Qt::PartiallyChecked : Qt::Checked;
}

uint8_t selectionOf(Qt::CheckState state) {
    return state == Qt::Unchecked ? 0 : state == Qt::PartiallyChecked ? 1 : 2;
}

}  // namespace

ChooseDatabasesContent::ChooseDatabasesContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("ChooseDatabasesPage"));
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    refresh_ = new QPushButton(tr("&Refresh"), this);
    select_all_ = new QPushButton(tr("Select All"), this);
    advanced_ = new QPushButton(tr("Advanced Settings..."), this);
    structure_ = new QCheckBox(tr("Structure"), this);
    records_ = new QCheckBox(tr("Records"), this);
    new_tables_ = new QCheckBox(tr("Backup all newly-created tables in all chosen databases"), this);
    new_databases_ = new QCheckBox(tr("Backup all newly-created databases on the MySQL server"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(structure_);
    buttons->addWidget(records_);
    buttons->addStretch();
    buttons->addWidget(refresh_);
    buttons->addWidget(select_all_);
    buttons->addWidget(advanced_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    layout->addWidget(new_tables_);
    layout->addWidget(new_databases_);

    if (context.task.task_type == kTypeRestoreFromServer) {
        new_tables_->setEnabled(false);
        new_tables_->hide();
        new_databases_->setEnabled(false);
        new_databases_->hide();
    }
    if (!editable()) {
        for (QWidget* w : std::initializer_list<QWidget*>{refresh_, select_all_, structure_, records_, new_tables_,
                                                          new_databases_}) {
            w->setEnabled(false);
        }
    }
    connect(select_all_, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < tree_->topLevelItemCount(); ++i) tree_->topLevelItem(i)->setCheckState(0, Qt::Checked);
    });
    connect(refresh_, &QPushButton::clicked, this, &ChooseDatabasesContent::refresh);
    connect(advanced_, &QPushButton::clicked, this,
            [this] { openAdvancedSettings(task().backup_options, editable(), prompter(), window()); });
}

void ChooseDatabasesContent::showOptions(const CBackupOptions& options) {
    structure_->setChecked(options.flag(kOptStructure));
    records_->setChecked(options.flag(kOptRecords));
    new_tables_->setChecked(options.flag(kOptNewTables));
    new_databases_->setChecked(options.flag(kOptNewDatabases));
}

void ChooseDatabasesContent::showTree(const std::vector<CDatabaseItem>& databases) {
    shown_ = databases;
    tree_->clear();
    const Qt::ItemFlags flags =
        editable() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate
                   : Qt::ItemIsEnabled;
    for (const CDatabaseItem& database : databases) {
        auto* top = new QTreeWidgetItem(tree_, {QString::fromStdString(database.name)});
        top->setIcon(0, uiIcon(QStringLiteral("database")));
        top->setFlags(flags);
        top->setCheckState(0, Qt::Unchecked);
        for (const CTableItem& table : database.tables) {
            auto* child = new QTreeWidgetItem(top, {QString::fromStdString(tableItemText(table.table, table.kind))});
            child->setIcon(0, uiIcon(table.kind == 2 ? QStringLiteral("view") : QStringLiteral("table")));
            child->setFlags(flags);
            child->setCheckState(0, Qt::Unchecked);
        }
        // Children first, so an auto-tristate parent takes what they say; a
        // whole database then checks all of them.
        if (database.selected == 1) {
            for (int i = 0; i < top->childCount(); ++i) {
                top->child(i)->setCheckState(
                    0, database.tables[static_cast<size_t>(i)].selected ? Qt::Checked : Qt::Unchecked);
            }
            if (!editable()) top->setCheckState(0, Qt::PartiallyChecked);
        } else {
            top->setCheckState(0, checkStateOf(database.selected));
            if (!editable()) {
                for (int i = 0; i < top->childCount(); ++i) {
                    top->child(i)->setCheckState(
                        0, database.tables[static_cast<size_t>(i)].selected ? Qt::Checked : Qt::Unchecked);
                }
            }
        }
    }
}

std::vector<CDatabaseItem> ChooseDatabasesContent::readTree() const {
    std::vector<CDatabaseItem> tree = shown_;
    for (int i = 0; i < tree_->topLevelItemCount() && i < static_cast<int>(tree.size()); ++i) {
        QTreeWidgetItem* top = tree_->topLevelItem(i);
        CDatabaseItem& database = tree[static_cast<size_t>(i)];
        database.selected = selectionOf(top->checkState(0));
        for (int j = 0; j < top->childCount() && j < static_cast<int>(database.tables.size()); ++j) {
            database.tables[static_cast<size_t>(j)].selected = selectionOf(top->child(j)->checkState(0));
        }
    }
    return tree;
}

void ChooseDatabasesContent::load() {
    showOptions(task().backup_options);
    if (mode() == PageMode::Wizard) return;  // reenter() builds from the catalogue
    showTree(task().databases);
}

void ChooseDatabasesContent::reenter() {
    if (mode() != PageMode::Wizard || shown_generation_ == context().cache.generation) return;
    shown_generation_ = context().cache.generation;
    showOptions(task().backup_options);
    showTree(context().cache.catalogue.databases);
}

bool ChooseDatabasesContent::accept() {
    ChooseDatabasesTexts texts;
    texts.structure = structure_->isChecked();
    texts.records = records_->isChecked();
    texts.new_databases = new_databases_->isEnabled() && new_databases_->isChecked();
    texts.tree = readTree();
    const auto result = checkChooseDatabases(texts);
    if (!result) {
        QWidget* focus = result.failure().focus == SelectionField::Selection ? static_cast<QWidget*>(tree_)
                                                                             : static_cast<QWidget*>(structure_);
        return refuseWith(result.failure().message, focus);
    }
    if (mode() == PageMode::Wizard && !result.value().question.empty() &&
        !prompter().confirm(QString::fromStdString(result.value().question))) {
        return false;
    }
    CBackupOptions& options = task().backup_options;
    options.flags[kOptStructure] = texts.structure;
    options.flags[kOptRecords] = texts.records;
    options.flags[kOptNewTables] = new_tables_->isEnabled() && new_tables_->isChecked();
    options.flags[kOptNewDatabases] = texts.new_databases;
    task().databases = result.value().databases;
    return true;
}

void ChooseDatabasesContent::leaveBack() {
    if (mode() == PageMode::Wizard) task().backup_options = CBackupOptions{};
}

void ChooseDatabasesContent::refresh() {
    if (!prompter().confirm(tr("Do you want to refresh the databases and tables on the source MySQL server now?"))) {
        return;
    }
    auto catalogue = loadCatalogueOrReport(task().source, CatalogueShape::DatabaseEntries, prompter(), window());
    if (!catalogue) {
        showTree({});
        return;
    }
    context().cache.replace(std::move(*catalogue));
    shown_generation_ = context().cache.generation;
    showTree(context().cache.catalogue.databases);
}

}  // namespace keelvault::ui
