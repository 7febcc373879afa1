#include "ui/dialogs/autorun_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace keelvault::ui {

AutoRunDialog::AutoRunDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AutoRunDialog"));
    setWindowTitle(QStringLiteral("Keelvault"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(new QLabel(QStringLiteral("Do you want to auto run the program when the current Windows user log in?"),
                              this),
                   1);
    layout->addLayout(row);
    dont_ask_ = new QCheckBox(QStringLiteral("Don't ask me again"), this);
    layout->addWidget(dont_ask_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No, this);
    layout->addWidget(buttons);
    connect(buttons->button(QDialogButtonBox::Yes), &QPushButton::clicked, this, &QDialog::accept);
    connect(buttons->button(QDialogButtonBox::No), &QPushButton::clicked, this, &QDialog::reject);
}

bool AutoRunDialog::dontAskAgain() const { return dont_ask_->isChecked(); }

}  // namespace keelvault::ui
