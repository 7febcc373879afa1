#include "ui/dialogs/server_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/editing/server_dialog_rules.h"
#include "ui/icons.h"
#include "ui/prompter.h"
#include "ui/wizard/number_spin.h"
#include "ui/wizard/server_requests.h"

namespace keelvault::ui {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
std::string ss(const QString& text) {
    return text.toStdString();
}

}  // namespace

ServerDialog::ServerDialog(Mode mode, const CServerSettings& server, const std::vector<CServerSettings>& saved_servers,
                           Prompter& prompter, QWidget* parent)
    : QDialog(parent), mode_(mode), server_(server), saved_(saved_servers), prompter_(prompter) {
    setObjectName(QStringLiteral("ServerDialog"));
    setWindowTitle(tr("MySQL Server"));
    setWindowIcon(uiIcon(QStringLiteral("keelvault")));

    const ServerDialogTexts shown = serverDialogTexts(server);
    name_ = new QLineEdit(qs(shown.connection_name), this);
    host_ = new QLineEdit(qs(shown.host), this);
    port_ = new NumberSpin(1, 65535, 5, this);
    portField()->setText(qs(shown.port));
    user_ = new QLineEdit(qs(shown.user), this);
    save_password_ = new QCheckBox(tr("Save password"), this);
    save_password_->setChecked(shown.save_password);
    password_ = new QLineEdit(qs(shown.password), this);
    password_->setEchoMode(QLineEdit::Password);
    password_->setEnabled(shown.save_password);
    compression_ = new QCheckBox(tr("Use compression protocol"), this);
    compression_->setChecked(shown.use_compression);
    ssl_ = new QCheckBox(tr("Use SSL protocol"), this);
    ssl_->setChecked(shown.use_ssl);
    comment_ = new QPlainTextEdit(qs(shown.comment), this);
    comment_->setFixedHeight(64);

    auto* form = new QFormLayout;
    form->addRow(tr("Connection Name:"), name_);
    form->addRow(tr("Host name or IP address:"), host_);
    form->addRow(tr("MySQL Host Port:"), port_);
    form->addRow(tr("Username:"), user_);
    form->addRow(QString(), save_password_);
    form->addRow(tr("Password:"), password_);
    form->addRow(QString(), compression_);
    form->addRow(QString(), ssl_);
    form->addRow(tr("Comment:"), comment_);

    test_ = new QPushButton(tr("&Test connection"), this);
    ok_ = new QPushButton(tr("O&K"), this);
    ok_->setDefault(true);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(test_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(save_password_, &QCheckBox::toggled, this, [this](bool on) {
        password_->clear();
        password_->setEnabled(on);
    });
    connect(test_, &QPushButton::clicked, this, &ServerDialog::onTest);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    if (mode_ == Mode::View) {
        for (QWidget* w : std::initializer_list<QWidget*>{name_, host_, port_, user_, save_password_, password_,
                                                          compression_, ssl_, comment_}) {
            w->setEnabled(false);
        }
        connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    } else {
        connect(ok_, &QPushButton::clicked, this, &ServerDialog::onOk);
    }
}

QLineEdit* ServerDialog::portField() const {
    return port_->edit();
}

ServerDialogTexts ServerDialog::texts() const {
    ServerDialogTexts t;
    t.connection_name = ss(name_->text());
    t.host = ss(host_->text());
    t.port = ss(portField()->text());
    t.user = ss(user_->text());
    t.save_password = save_password_->isChecked();
    t.password = ss(password_->text());
    t.use_compression = compression_->isChecked();
    t.use_ssl = ssl_->isChecked();
    t.comment = ss(comment_->toPlainText());
    return t;
}

QWidget* ServerDialog::fieldWidget(int field) const {
    switch (static_cast<ServerDialogField>(field)) {
        case ServerDialogField::ConnectionName:
            return name_;
        case ServerDialogField::Host:
            return host_;
        case ServerDialogField::Port:
            return portField();
        case ServerDialogField::User:
            return user_;
        case ServerDialogField::Password:
            return password_;
        default:
            return nullptr;
    }
}

void ServerDialog::onOk() {
    const auto result =
        checkServerDialog(texts(), mode_ == Mode::Add ? ServerDialogMode::Add : ServerDialogMode::Edit, saved_);
    if (!result) {
        prompter_.warn(qs(result.failure().message));
        if (QWidget* w = fieldWidget(static_cast<int>(result.failure().focus))) w->setFocus();
        return;
    }
    server_ = result.value();
    accept();
}

void ServerDialog::onTest() {
    const auto result = checkServerDialogConnection(texts());
    if (!result) {
        prompter_.warn(qs(result.failure().message));
        if (QWidget* w = fieldWidget(static_cast<int>(result.failure().focus))) w->setFocus();
        return;
    }
    testConnectionAndReport(result.value(), prompter_, this);
}

}  // namespace keelvault::ui
