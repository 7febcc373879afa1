#include "ui/dialogs/login_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/icons.h"

namespace keelvault::ui {

LoginDialog::LoginDialog(std::string user, std::string password, QWidget* parent)
    : QDialog(parent), user_(std::move(user)), password_(std::move(password)) {
    setObjectName(QStringLiteral("LoginDialog"));
    setWindowTitle(tr("Login"));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Please enter the user name and password to open Keelvault."), this));
    auto* form = new QFormLayout;
    user_field_ = new QLineEdit(this);
    password_field_ = new QLineEdit(this);
    password_field_->setEchoMode(QLineEdit::Password);
    form->addRow(tr("Username:"), user_field_);
    form->addRow(tr("Password:"), password_field_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &LoginDialog::check);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void LoginDialog::check() {
    const QByteArray user = user_field_->text().toUtf8();
    const QByteArray password = password_field_->text().toUtf8();
    if (user.toStdString() == user_ && password.toStdString() == password_) {
        accept();
    } else {
        reject();
    }
}

}  // namespace keelvault::ui
