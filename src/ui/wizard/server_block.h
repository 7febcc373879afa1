#pragma once

#include <QGroupBox>
#include <optional>

#include "core/editing/server_block_rules.h"
#include "ui/wizard/page_context.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace keelvault::ui {

class NumberSpin;

// The server connection block of the server and database pages: saved
// connections, "New", host, port, user, password, the protocol boxes and
// "Test connection". In view mode it shows the settings read-only, with the
// "Protocols" text and, where asked, the database name.
class ServerBlock : public QGroupBox {
    Q_OBJECT
public:
    ServerBlock(PageContext& context, const QString& caption, bool view, bool show_database, QWidget* parent = nullptr);

    void showServer(const CServerSettings& server);
    ServerBlockTexts texts() const;
    // The block's check; a refusal is shown and focused.
    std::optional<CServerSettings> validated();
    void focusField(ServerBlockField field);

    // Chooses a saved connection as the user does in the list.
    void chooseConnection(int index);
    void addNewServer();

    QComboBox* connections() const { return connections_; }
    QPushButton* newButton() const { return new_; }
    QLineEdit* hostField() const { return host_; }
    QLineEdit* portField() const;
    NumberSpin* portSpin() const { return port_; }
    QLineEdit* userField() const { return user_; }
    QLineEdit* passwordField() const { return password_; }
    QCheckBox* compressionBox() const { return compression_; }
    QCheckBox* sslBox() const { return ssl_; }
    QPushButton* testButton() const { return test_; }
    QLineEdit* databaseView() const { return database_view_; }
    QPlainTextEdit* protocolsView() const { return protocols_; }

private:
    void fillConnections();
    void testConnection();

    PageContext& context_;
    bool view_;
    std::string connection_name_;
    QComboBox* connections_ = nullptr;
    QPushButton* new_ = nullptr;
    QLineEdit* host_ = nullptr;
    NumberSpin* port_ = nullptr;
    QLineEdit* port_view_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* compression_ = nullptr;
    QCheckBox* ssl_ = nullptr;
    QPushButton* test_ = nullptr;
    QLineEdit* database_view_ = nullptr;
    QPlainTextEdit* protocols_ = nullptr;
};

}  // namespace keelvault::ui
