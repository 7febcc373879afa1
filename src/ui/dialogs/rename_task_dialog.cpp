#include "ui/dialogs/rename_task_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/prompter.h"

namespace keelvault::ui {

RenameTaskDialog::RenameTaskDialog(Prompter& prompter, const QString& name, QStringList other_names,
                                   QWidget* parent)
    : QDialog(parent), prompter_(prompter), other_names_(std::move(other_names)) {
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
    const QString name = field_->text();
    QString refusal;
    if (name.isEmpty()) {
        refusal = QStringLiteral("Please input task name!");
    } else if (other_names_.contains(name, Qt::CaseSensitive)) {
        refusal = QStringLiteral("The task name is already existed!\nPlease choose a different task name.");
    }
    if (!refusal.isEmpty()) {
        prompter_.warn(refusal);
        field_->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace keelvault::ui
