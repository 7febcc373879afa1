#include "ui/dialogs/server_manager_dialog.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/editing/server_dialog_rules.h"
#include "ui/dialogs/server_dialog.h"
#include "ui/icons.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"

namespace keelvault::ui {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

ServerManagerDialog::ServerManagerDialog(std::vector<CServerSettings>& servers, std::function<bool()> save,
                                         Prompter& prompter, QWidget* parent)
    : QDialog(parent), servers_(servers), save_(std::move(save)), prompter_(prompter) {
    setObjectName(QStringLiteral("ServerManagerDialog"));
    setWindowTitle(tr("MySQL Servers"));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));

    auto* bar = new QMenuBar(this);
    QMenu* menu = bar->addMenu(tr("&Servers"));
    add_ = menu->addAction(tr("&Add Server..."), this, &ServerManagerDialog::onAdd);
    edit_ = menu->addAction(tr("&Edit Server..."), this, &ServerManagerDialog::onEdit);
    delete_ = menu->addAction(tr("&Delete Server"), this, &ServerManagerDialog::onDelete);
    view_ = menu->addAction(tr("&View Server..."), this, &ServerManagerDialog::onView);
    menu->addSeparator();
    up_ = menu->addAction(tr("Move &Up"), this, [this] { onMove(true); });
    down_ = menu->addAction(tr("Move Dow&n"), this, [this] { onMove(false); });
    menu->addSeparator();
    close_ = menu->addAction(tr("&Close"), this, &QDialog::accept);
    QMenu* help = bar->addMenu(tr("&Help"));
    help_ = help->addAction(tr("&Help"), this, [this] {
        prompter_.openUrl(helpTopicUrl(QStringLiteral("introduction/servermanager.html")));
    });

    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setIconSize(QSize(18, 18));
    list_->setHeaderLabels(
        {tr("Connection Name"), tr("Server"), tr("Port"), tr("Username"), tr("Password"), tr("Comment")});
    const int widths[] = {170, 170, 60, 140, 60, 260};
    for (int i = 0; i < 6; ++i) list_->setColumnWidth(i, widths[i]);
    list_->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    list_->headerItem()->setTextAlignment(4, Qt::AlignCenter);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int) { onEdit(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(bar);
    layout->addWidget(list_);
    resize(880, 360);
    fill();
}

QStringList ServerManagerDialog::rowTexts(const CServerSettings& s) {
    return {qs(s.connection_name),
            qs(s.host),
            QString::number(s.port),
            qs(s.user),
            s.save_password ? QStringLiteral("****") : QStringLiteral("NULL"),
            qs(s.comment)};
}

void ServerManagerDialog::fill() {
    list_->clear();
    for (size_t i = 0; i < servers_.size(); ++i) {
        auto* item = new QTreeWidgetItem(list_);
        item->setIcon(0, uiIcon(QStringLiteral("server")));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(4, Qt::AlignCenter);
        setRow(static_cast<int>(i));
    }
}

void ServerManagerDialog::setRow(int row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    const QStringList texts = rowTexts(servers_[static_cast<size_t>(row)]);
    for (int column = 0; column < texts.size(); ++column) item->setText(column, texts[column]);
}

int ServerManagerDialog::selectedRow() const {
    const auto selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
}

bool ServerManagerDialog::rowChosen(int row) {
    const auto chosen = checkServerItemChosen(row);
    if (!chosen) prompter_.warn(qs(chosen.failure().message));
    return chosen.ok();
}

void ServerManagerDialog::onAdd() {
    CServerSettings empty;
    empty.host.clear();
    empty.user.clear();
    ServerDialog dialog(ServerDialog::Mode::Add, empty, servers_, prompter_, this);
    if (prompter_.runDialog(dialog) != QDialog::Accepted) return;
    servers_.push_back(dialog.server());
    save_();
    auto* item = new QTreeWidgetItem(list_);
    item->setIcon(0, uiIcon(QStringLiteral("server")));
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(4, Qt::AlignCenter);
    setRow(static_cast<int>(servers_.size()) - 1);
    list_->setCurrentItem(item);
}

void ServerManagerDialog::onEdit() {
    const int row = selectedRow();
    if (!rowChosen(row)) return;
    ServerDialog dialog(ServerDialog::Mode::Edit, servers_[static_cast<size_t>(row)], servers_, prompter_, this);
    if (prompter_.runDialog(dialog) != QDialog::Accepted) return;
    servers_[static_cast<size_t>(row)] = dialog.server();
    save_();
    setRow(row);
}

void ServerManagerDialog::onDelete() {
    const int row = selectedRow();
    if (!rowChosen(row)) return;
    if (!prompter_.confirm(tr("Are you sure you wish to DELETE the server information now?"))) return;
    servers_.erase(servers_.begin() + row);
    save_();
    delete list_->takeTopLevelItem(row);
}

void ServerManagerDialog::onView() {
    const int row = selectedRow();
    if (!rowChosen(row)) return;
    ServerDialog dialog(ServerDialog::Mode::View, servers_[static_cast<size_t>(row)], servers_, prompter_, this);
    prompter_.runDialog(dialog);
}

void ServerManagerDialog::onMove(bool up) {
    const int row = selectedRow();
    if (!rowChosen(row)) return;
    const int other = up ? row - 1 : row + 1;
    if (other < 0 || other >= static_cast<int>(servers_.size())) return;
    std::swap(servers_[static_cast<size_t>(row)], servers_[static_cast<size_t>(other)]);
    setRow(row);
    setRow(other);
    list_->setCurrentItem(list_->topLevelItem(other));
}

}  // namespace keelvault::ui
