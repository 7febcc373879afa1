#include "ui/wizard/buffer_page.h"
#include "ui/prompter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <QLineEdit>
#include "core/editing/buffer_rules.h"
#include "core/editing/view_texts.h"
#include "ui/wizard/number_spin.h"

namespace keelvault::ui {

BufferContent::BufferContent(PageContext& context, PageMode mode, QWidget* parent)
    : PageContent(context, mode, parent) {
    setObjectName(QStringLiteral("BufferPage"));
    enable_ = new QCheckBox(tr("Use buffer mode to speed the task (Require enough memory space)"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(enable_);
    if (mode == PageMode::View) {
        enable_->setEnabled(false);
        view_ = new QLabel(this);
        view_->setIndent(24);
        view_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(view_);
        layout->addStretch();
        return;
    }
    store_ = new QRadioButton(tr("Store"), this);
    count_ = new NumberSpin(1, 10000, 5, this);
    count_text_ = new QLabel(tr("records in the buffer (Be applicable to the large database)"), this);
    store_all_ = new QRadioButton(tr("Store all records in the buffer (Be applicable to the small database)"), this);
    auto* grid = new QGridLayout;
    grid->setContentsMargins(24, 0, 0, 0);
    grid->addWidget(store_, 0, 0);
    grid->addWidget(count_, 0, 1);
    grid->addWidget(count_text_, 0, 2);
    grid->addWidget(store_all_, 1, 0, 1, 3);
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);
    layout->addStretch();
    connect(enable_, &QCheckBox::clicked, this, &BufferContent::enableChanged);
    connect(store_, &QRadioButton::toggled, this, &BufferContent::choiceChanged);
}

void BufferContent::load() {
    const CBufferOptions& options = task().buffer_options;
    if (mode() == PageMode::View) {
        enable_->setChecked(options.mode != 0);
        view_->setText(QString::fromStdString(bufferViewText(options)));
        return;
    }
    const BufferTexts texts = bufferTexts(options);
    enable_->setChecked(texts.enabled);
    store_->setChecked(texts.choice == BufferChoice::Store);
    store_all_->setChecked(texts.choice == BufferChoice::StoreAll);
    count_->setText(QString::fromStdString(texts.count));
    store_->setEnabled(texts.enabled);
    store_all_->setEnabled(texts.enabled);
    choiceChanged();
}

void BufferContent::enableChanged(bool on) {
    store_->setEnabled(on);
    store_all_->setEnabled(on);
    if (on && !store_all_->isChecked()) {
        store_->setChecked(true);
        if (count_->text().isEmpty() || count_->text() == QLatin1String("0")) count_->setText(QStringLiteral("200"));
    }
    choiceChanged();
}

void BufferContent::choiceChanged() {
    const bool count_on = enable_->isChecked() && store_->isChecked();
    count_->setEnabled(count_on);
    count_text_->setEnabled(count_on);
}

bool BufferContent::accept() {
    BufferTexts texts;
    texts.enabled = enable_->isChecked();
    texts.choice = store_->isChecked()       ? BufferChoice::Store
                   : store_all_->isChecked() ? BufferChoice::StoreAll
                                             : BufferChoice::None;
    texts.count = count_->text().toStdString();
    const auto result = checkBufferPage(texts);
    if (!result) return refuseWith(result.failure().message, count_->edit());
    task().buffer_options = result.value();
    return true;
}

}  // namespace keelvault::ui
