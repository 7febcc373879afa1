#include "ui/wizard/select_tables_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/editing/database_selection_rules.h"
#include "core/editing/view_texts.h"
#include "ui/icons.h"
#include "ui/prompter.h"
#include "ui/wizard/server_requests.h"

namespace keelvault::ui {

namespace {

QIcon kindIcon(uint8_t kind) {
    return uiIcon(kind == 2 ? QStringLiteral("view") : QStringLiteral("table"));
}

QString itemText(const CTableItem& table) {
    return QString::fromStdString(tableItemText(table.table, table.kind));
}

}  // namespace

SelectTablesContent::SelectTablesContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("SelectTablesPage"));
    databases_ = new QComboBox(this);
    source_ = new QListWidget(this);
    source_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    export_ = new QTreeWidget(this);
    export_->setHeaderLabels({tr("Tables")});
    export_->setRootIsDecorated(false);
    export_->setSelectionMode(editable() ? QAbstractItemView::ExtendedSelection : QAbstractItemView::NoSelection);
    export_->setAllColumnsShowFocus(true);
    add_ = new QPushButton(QStringLiteral(">"), this);
    add_all_ = new QPushButton(QStringLiteral(">>"), this);
    remove_ = new QPushButton(QStringLiteral("<"), this);
    remove_all_ = new QPushButton(QStringLiteral("<<"), this);
    refresh_ = new QPushButton(tr("&Refresh"), this);

    auto* moves = new QVBoxLayout;
    moves->addStretch();
    for (QPushButton* b : {add_, add_all_, remove_, remove_all_}) {
        b->setFixedWidth(48);
        moves->addWidget(b);
    }
    moves->addStretch();
    auto* grid = new QGridLayout(this);
    auto* database_row = new QHBoxLayout;
    database_row->addWidget(new QLabel(tr("Source Database:"), this));
    database_row->addWidget(databases_, 1);
    grid->addLayout(database_row, 0, 0);
    grid->addWidget(refresh_, 0, 2, Qt::AlignRight);
    grid->addWidget(new QLabel(tr("Source Tables:"), this), 1, 0);
    grid->addWidget(new QLabel(tr("Export Tables:"), this), 1, 2);
    grid->addWidget(source_, 2, 0);
    grid->addLayout(moves, 2, 1);
    grid->addWidget(export_, 2, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    if (!editable()) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{databases_, source_, add_, add_all_, remove_, remove_all_, refresh_}) {
            w->setEnabled(false);
        }
    }
    connect(databases_, &QComboBox::currentIndexChanged, this, [this] { showSourceTables(); });
    connect(add_, &QPushButton::clicked, this, [this] { moveToExport(false); });
    connect(add_all_, &QPushButton::clicked, this, [this] { moveToExport(true); });
    connect(remove_, &QPushButton::clicked, this, [this] { moveBack(false); });
    connect(remove_all_, &QPushButton::clicked, this, [this] { moveBack(true); });
    connect(source_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        source_->clearSelection();
        item->setSelected(true);
        moveToExport(false);
    });
    connect(export_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        export_->clearSelection();
        item->setSelected(true);
        moveBack(false);
    });
    connect(refresh_, &QPushButton::clicked, this, &SelectTablesContent::refresh);
}

std::vector<size_t> SelectTablesContent::shownSourceIndexes() const {
    std::vector<size_t> shown;
    const std::string database = databases_->currentText().toStdString();
    if (databases_->currentIndex() < 0) return shown;
    const auto& tables = context().cache.catalogue.tables;
    for (size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].database == database) shown.push_back(i);
    }
    return shown;
}

void SelectTablesContent::showSourceTables() {
    source_->clear();
    const auto& tables = context().cache.catalogue.tables;
    for (size_t i : shownSourceIndexes()) new QListWidgetItem(kindIcon(tables[i].kind), itemText(tables[i]), source_);
}

void SelectTablesContent::showExportTables() {
    export_->clear();
    for (const CTableItem& table : context().cache.export_tables) {
        auto* item = new QTreeWidgetItem(export_, {itemText(table)});
        item->setIcon(0, kindIcon(table.kind));
        item->setToolTip(0, QString::fromStdString(table.database + "." + table.table));
    }
}

void SelectTablesContent::showCatalogue() {
    const QSignalBlocker blocker(databases_);
    databases_->clear();
    for (const std::string& name : context().cache.catalogue.database_names) {
        databases_->addItem(uiIcon(QStringLiteral("database")), QString::fromStdString(name));
    }
    databases_->setCurrentIndex(databases_->count() > 0 ? 0 : -1);
    showSourceTables();
    showExportTables();
}

void SelectTablesContent::load() {
    if (mode() == PageMode::Wizard) return;
    // The sheet's cache is empty until Refresh; the export list is the task's.
    context().cache.export_tables = task().export_tables;
    shown_generation_ = context().cache.generation;
    showCatalogue();
}

void SelectTablesContent::reenter() {
    if (mode() != PageMode::Wizard || shown_generation_ == context().cache.generation) return;
    shown_generation_ = context().cache.generation;
    showCatalogue();
}

void SelectTablesContent::moveToExport(bool all) {
    if (all) source_->selectAll();
    const auto selected = source_->selectedItems();
    const auto check = checkMoveToExport(static_cast<size_t>(selected.size()), databases_->currentIndex() >= 0);
    if (!check) {
        refuseWith(check.failure().message, source_);
        return;
    }
    const std::vector<size_t> shown = shownSourceIndexes();
    std::vector<size_t> moved;
    for (int row = 0; row < source_->count(); ++row) {
        if (source_->item(row)->isSelected()) moved.push_back(shown[static_cast<size_t>(row)]);
    }
    auto& tables = context().cache.catalogue.tables;
    for (size_t index : moved) {
        CTableItem table = tables[index];
        table.selected = 2;
        context().cache.export_tables.push_back(table);
    }
    for (auto it = moved.rbegin(); it != moved.rend(); ++it) tables.erase(tables.begin() + static_cast<long>(*it));
    showSourceTables();
    showExportTables();
}

void SelectTablesContent::moveBack(bool all) {
    if (all) export_->selectAll();
    std::vector<size_t> moved;
    for (int row = 0; row < export_->topLevelItemCount(); ++row) {
        if (export_->topLevelItem(row)->isSelected()) moved.push_back(static_cast<size_t>(row));
    }
    const auto check = checkMoveBackFromExport(moved.size());
    if (!check) {
        refuseWith(check.failure().message, export_);
        return;
    }
    auto& exports = context().cache.export_tables;
    for (size_t index : moved) {
        CTableItem table = exports[index];
        table.selected = 0;
        context().cache.catalogue.tables.push_back(table);
    }
    for (auto it = moved.rbegin(); it != moved.rend(); ++it) exports.erase(exports.begin() + static_cast<long>(*it));
    showSourceTables();
    showExportTables();
}

bool SelectTablesContent::accept() {
    const auto result = checkExportTables(context().cache.export_tables);
    if (!result) return refuseWith(result.failure().message, export_);
    task().export_tables = result.value();
    return true;
}

void SelectTablesContent::refresh() {
    if (!prompter().confirm(tr("Do you want to refresh the databases and tables on the source MySQL server now?"))) {
        return;
    }
    auto catalogue = loadCatalogueOrReport(task().source, CatalogueShape::FlatLists, prompter(), window());
    if (!catalogue) return;
    // The edit sheet keeps the task's export list over a refresh.
    std::vector<CTableItem> exports = context().cache.export_tables;
    context().cache.replace(std::move(*catalogue));
    if (mode() == PageMode::Edit) context().cache.export_tables = std::move(exports);
    shown_generation_ = context().cache.generation;
    showCatalogue();
}

}  // namespace keelvault::ui
