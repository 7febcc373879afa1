#include "ui/dialogs/tip_dialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/icons.h"
#include "ui/platform/help.h"

namespace keelvault::ui {

QStringList TipDialog::tipTexts() {
    return {
        QStringLiteral("\nWelcome to the Keelvault Professional Edition 2.0!\nTo get more information about the "
                       "software, please visit our web site.\n\n%1\n%2")
            .arg(QString::fromLatin1(kWebSite), QString::fromLatin1(kSupportMail)),
        QStringLiteral("\nTo Add/Edit/Delete a MySQL server information you should choose menu \"Tools\"->\"MySQL "
                       "Servers...\"."),
        QStringLiteral("\nTo protect your settings about the tasks you should set username and password at Options "
                       "dialog from menu \"Tools\"->\"Options...\"."),
        QStringLiteral("\nTo get more detailed information about the task click twice on the task list."),
        QStringLiteral("\nTo start all tasks you should choose menu \"Run\"->\"Start All\"."),
        QStringLiteral("\nTo stop all tasks you should choose menu \"Run\"->\"Stop All\"."),
        QStringLiteral("\nYou can set date and time format at Options dialog from menu \"Tools\"->\"Options...\"."),
        QStringLiteral("\nTo rename a task you should press \"F2\" on keyboard."),
        QStringLiteral("\nTo restore MySQL databases you should create a scheduled task of Restore."),
        QStringLiteral("\nYou can set the compression and buffer options in the Task Wizard."),
        QStringLiteral("\nTo create a restore task you can choose the menu \"Tasks\"->\"Create Restore\"."),
        QStringLiteral("\nYou can view backups list and create a restore task at Backups List dialog."),
    };
}

TipDialog::TipDialog(CSystemOptions& options, std::function<void()> save, QWidget* parent)
    : QDialog(parent), options_(options), save_(std::move(save)), tips_(tipTexts()) {
    setObjectName(QStringLiteral("TipDialog"));
    setWindowTitle(QStringLiteral("Tip of the Day"));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));

    const int count = static_cast<int>(tips_.size());
    index_ = (options_.last_tip < 0 || options_.last_tip >= count - 1) ? 0 : options_.last_tip + 1;
    show_flag_ = options_.show_tips != 0;

    auto* layout = new QVBoxLayout(this);
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    frame->setPalette(palette);
    auto* frame_layout = new QHBoxLayout(frame);
    auto* bulb = new QLabel(frame);
    bulb->setPixmap(uiPixmap(QStringLiteral("tip_bulb"), QSize(48, 48)));
    frame_layout->addWidget(bulb, 0, Qt::AlignTop);
    auto* text_column = new QVBoxLayout;
    auto* heading = new QLabel(QStringLiteral("\nDid you know...").trimmed(), frame);
    QFont heading_font = heading->font();
    heading_font.setPointSizeF(heading_font.pointSizeF() * 1.4);
    heading_font.setBold(true);
    heading->setFont(heading_font);
    text_column->addWidget(heading);
    text_ = new QLabel(frame);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text_->setMinimumSize(360, 120);
    text_column->addWidget(text_, 1);
    frame_layout->addLayout(text_column, 1);
    layout->addWidget(frame, 1);

    counter_ = new QLabel(this);
    layout->addWidget(counter_);
    auto* row = new QHBoxLayout;
    show_box_ = new QCheckBox(QStringLiteral("&Show tips on start up"), this);
    show_box_->setChecked(show_flag_);
    row->addWidget(show_box_);
    row->addStretch(1);
    previous_ = new QPushButton(QStringLiteral("&Previous Tip"), this);
    next_ = new QPushButton(QStringLiteral("&Next Tip"), this);
    close_ = new QPushButton(QStringLiteral("&Close"), this);
    previous_->setAutoDefault(false);
    next_->setAutoDefault(false);
    close_->setDefault(true);
    row->addWidget(previous_);
    row->addWidget(next_);
    row->addWidget(close_);
    layout->addLayout(row);

    connect(previous_, &QPushButton::clicked, this, [this] { step(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { step(1); });
    connect(close_, &QPushButton::clicked, this, &TipDialog::closeAndStore);
    showTip();
}

QString TipDialog::currentText() const { return tips_.at(index_); }

QString TipDialog::counterText() const {
    return QStringLiteral("Tip %1 of %2").arg(index_ + 1).arg(tips_.size());
}

void TipDialog::step(int delta) {
    const int count = static_cast<int>(tips_.size());
    index_ += delta;
    if (index_ >= count) index_ = 0;
    if (index_ < 0) index_ = count - 1;
    show_flag_ = show_box_->isChecked();
    showTip();
}

void TipDialog::showTip() {
    text_->setText(currentText().mid(1));  // the leading line break only spaces it from the heading
    counter_->setText(counterText());
}

void TipDialog::closeAndStore() {
    options_.last_tip = index_;
    options_.show_tips = show_box_->isChecked() ? 1 : 0;
    if (save_) save_();
    accept();
}

}  // namespace keelvault::ui
