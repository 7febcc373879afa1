#include "ui/wizard/server_block.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/editing/view_texts.h"
#include "ui/dialogs/server_dialog.h"
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

QLineEdit* readOnlyLine(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    return edit;
}

}  // namespace

ServerBlock::ServerBlock(PageContext& context, const QString& caption, bool view, bool show_database, QWidget* parent)
    : QGroupBox(caption, parent), context_(context), view_(view) {
    auto* form = new QFormLayout(this);
    if (view_) {
        host_ = readOnlyLine(this);
        port_view_ = readOnlyLine(this);
        user_ = readOnlyLine(this);
        password_ = readOnlyLine(this);
        password_->setEchoMode(QLineEdit::Password);
        form->addRow(tr("Host name or IP address:"), host_);
        form->addRow(tr("MySQL Server Port:"), port_view_);
        form->addRow(tr("Username:"), user_);
        form->addRow(tr("Password:"), password_);
        if (show_database) {
            database_view_ = readOnlyLine(this);
            form->addRow(tr("Database:"), database_view_);
        }
        protocols_ = new QPlainTextEdit(this);
        protocols_->setReadOnly(true);
        protocols_->setFixedHeight(52);
        form->addRow(tr("Protocols:"), protocols_);
        return;
    }

    connections_ = new QComboBox(this);
    connections_->setMinimumWidth(200);
    new_ = new QPushButton(tr("New"), this);
    auto* row = new QHBoxLayout;
    row->addWidget(connections_, 1);
    row->addWidget(new_);
    form->addRow(tr("Connections:"), row);
    host_ = new QLineEdit(this);
    port_ = new NumberSpin(1, 65535, 5, this);
    user_ = new QLineEdit(this);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(tr("Host name or IP address:"), host_);
    form->addRow(tr("MySQL Server Port:"), port_);
    form->addRow(tr("Username:"), user_);
    form->addRow(tr("Password:"), password_);
    compression_ = new QCheckBox(tr("Use compression protocol"), this);
    ssl_ = new QCheckBox(tr("Use SSL protocol"), this);
    test_ = new QPushButton(tr("Test connection"), this);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(compression_);
    boxes->addWidget(ssl_);
    boxes->addStretch();
    boxes->addWidget(test_);
    form->addRow(QString(), boxes);

    fillConnections();
    connect(connections_, &QComboBox::activated, this, &ServerBlock::chooseConnection);
    connect(new_, &QPushButton::clicked, this, &ServerBlock::addNewServer);
    connect(test_, &QPushButton::clicked, this, &ServerBlock::testConnection);
}

QLineEdit* ServerBlock::portField() const {
    return port_ ? port_->edit() : port_view_;
}

void ServerBlock::fillConnections() {
    connections_->clear();
    for (const CServerSettings& server : context_.servers) {
        connections_->addItem(uiIcon(QStringLiteral("server")), qs(server.connection_name));
    }
    connections_->setCurrentIndex(-1);
}

void ServerBlock::showServer(const CServerSettings& server) {
    const ServerBlockTexts texts = serverBlockTexts(server);
    connection_name_ = server.connection_name;
    host_->setText(qs(texts.host));
    portField()->setText(qs(texts.port));
    user_->setText(qs(texts.user));
    password_->setText(qs(texts.password));
    if (view_) {
        if (database_view_) database_view_->setText(qs(server.database));
        protocols_->setPlainText(qs(protocolsViewText(server)));
        return;
    }
    compression_->setChecked(texts.use_compression);
    ssl_->setChecked(texts.use_ssl);
    connections_->setCurrentIndex(connections_->findText(qs(server.connection_name)));
}

ServerBlockTexts ServerBlock::texts() const {
    ServerBlockTexts texts;
    texts.connection_name = connection_name_;
    texts.host = ss(host_->text());
    texts.port = ss(portField()->text());
    texts.user = ss(user_->text());
    texts.password = ss(password_->text());
    texts.use_compression = compression_ && compression_->isChecked();
    texts.use_ssl = ssl_ && ssl_->isChecked();
    return texts;
}

std::optional<CServerSettings> ServerBlock::validated() {
    const auto result = checkServerBlock(texts());
    if (!result) {
        context_.prompter.warn(qs(result.failure().message));
        focusField(result.failure().focus);
        return std::nullopt;
    }
    return result.value();
}

void ServerBlock::focusField(ServerBlockField field) {
    switch (field) {
        case ServerBlockField::Host:
            host_->setFocus();
            return;
        case ServerBlockField::Port:
            portField()->setFocus();
            return;
        case ServerBlockField::User:
            user_->setFocus();
            return;
        case ServerBlockField::Password:
            password_->setFocus();
            return;
        case ServerBlockField::None:
            if (test_) test_->setFocus();
            return;
    }
}

void ServerBlock::chooseConnection(int index) {
    if (index < 0 || index >= static_cast<int>(context_.servers.size())) return;
    const CServerSettings saved = context_.servers[static_cast<size_t>(index)];
    CServerSettings shown = saved;
    shown.database.clear();
    showServer(shown);
    focusField(firstFieldNeedingInput(saved));
}

void ServerBlock::addNewServer() {
    CServerSettings empty;
    empty.host.clear();
    empty.user.clear();
    ServerDialog dialog(ServerDialog::Mode::Add, empty, context_.servers, context_.prompter, this);
    if (context_.prompter.runDialog(dialog) != QDialog::Accepted) return;
    context_.servers.push_back(dialog.server());
    if (context_.save_servers) context_.save_servers();
    connections_->addItem(uiIcon(QStringLiteral("server")), qs(dialog.server().connection_name));
    const int index = connections_->count() - 1;
    connections_->setCurrentIndex(index);
    chooseConnection(index);
}

void ServerBlock::testConnection() {
    const auto server = validated();
    if (!server) return;
    testConnectionAndReport(*server, context_.prompter, window());
}

}  // namespace keelvault::ui
