#include "ui/wizard/task_property_sheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/icons.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"
#include "ui/wizard/page_hosts.h"
#include "ui/wizard/task_pages.h"

namespace keelvault::ui {

CTaskPropertySheet::CTaskPropertySheet(const SheetSetup& setup, const CTask& task, bool edit_mode, QWidget* parent)
    : QDialog(parent),
      task_(task),
      context_{task_,         setup.servers, setup.save_servers, setup.options,   setup.prompter,
               setup.chooser, cache_,        setup.task_names,   setup.edit_index},
      edit_mode_(edit_mode) {
    setObjectName(edit_mode ? QStringLiteral("EditTaskSheet") : QStringLiteral("TaskPropertiesSheet"));
    setWindowTitle(QString::fromStdString(propertySheetTitle(task_, edit_mode)));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));
    setMinimumSize(680, 540);

    tabs_ = new QTabWidget(this);
    const PageMode mode = edit_mode ? PageMode::Edit : PageMode::View;
    for (TaskPage kind : propertyTabs(task_.task_type)) {
        auto* host = new TabPageHost(createTaskPage(kind, context_, mode));
        hosts_.push_back(host);
        tabs_->addTab(host, host->title());
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &CTaskPropertySheet::tabChanged);
    // Every tab in sight: the sheet is as wide as its tab row.
    setMinimumWidth(std::max(680, tabs_->tabBar()->sizeHint().width() + 48));

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    buttons->button(QDialogButtonBox::Help)->setText(tr("&Help"));
    // Plain buttons, as every other dialog of the program has.
    for (QAbstractButton* button : buttons->buttons()) button->setIcon(QIcon());
    connect(buttons, &QDialogButtonBox::accepted, this, &CTaskPropertySheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        context_.prompter.openUrl(helpTopicUrl(QString::fromStdString(taskTypeHelpTopic(task_.task_type))));
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(buttons);
}

PageContent* CTaskPropertySheet::content(int index) const {
    if (index < 0 || index >= tabCount()) return nullptr;
    return &hosts_[static_cast<size_t>(index)]->content();
}

bool CTaskPropertySheet::showTab(int index) {
    tabs_->setCurrentIndex(index);
    return tabs_->currentIndex() == index;
}

void CTaskPropertySheet::tabChanged(int index) {
    if (index == current_ || current_ < 0 || current_ >= tabCount()) {
        current_ = index;
        return;
    }
    // The tab being left checks itself while it is still in view, so its
    // message and focus land where the user sees them.
    const int wanted = index;
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(current_);
    }
    if (!hosts_[static_cast<size_t>(current_)]->leave()) return;
    current_ = wanted;
    const QSignalBlocker blocker(tabs_);
    tabs_->setCurrentIndex(wanted);
}

void CTaskPropertySheet::accept() {
    if (current_ >= 0 && current_ < tabCount() && !hosts_[static_cast<size_t>(current_)]->leave()) return;
    QDialog::accept();
}

}  // namespace keelvault::ui
