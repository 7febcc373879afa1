#include "ui/dialogs/rename_task_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/prompter.h"

namespace keelvault::ui {

RenameTaskDialog::RenameTaskDialog(Prompter& prompter, const QString& name, Refusal refusal, QWidget* parent)
    : QDialog(parent), prompter_(prompter), refusal_(std::move(refusal)) {
    setObjectName(QStringLiteral("RenameTaskDialog"));
    setWindowTitle(QStringLiteral("Rename Task"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    field_ = new QLineEdit(name, this);
    field_->setMinimumWidth(280);
    form->addRow(tr("Task name:"), field_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &RenameTaskDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString RenameTaskDialog::name() const { return field_->text(); }

void RenameTaskDialog::accept() {
    const QString refusal = refusal_ ? refusal_(field_->text()) : QString();
    if (!refusal.isEmpty()) {
        prompter_.warn(refusal);
        field_->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace keelvault::ui
