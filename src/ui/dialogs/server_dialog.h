#pragma once

#include <QDialog>
#include <vector>

#include "core/editing/server_dialog_rules.h"
#include "core/model/task.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace keelvault::ui {

class NumberSpin;
class Prompter;

// "MySQL Server": one saved connection, added, edited or shown.
class ServerDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Add, Edit, View };

    ServerDialog(Mode mode, const CServerSettings& server, const std::vector<CServerSettings>& saved_servers,
                 Prompter& prompter, QWidget* parent = nullptr);

    // The accepted server (valid after O&K in add and edit modes).
    const CServerSettings& server() const { return server_; }

    QLineEdit* connectionNameField() const { return name_; }
    QLineEdit* hostField() const { return host_; }
    QLineEdit* portField() const;
    NumberSpin* portSpin() const { return port_; }
    QLineEdit* userField() const { return user_; }
    QCheckBox* savePasswordBox() const { return save_password_; }
    QLineEdit* passwordField() const { return password_; }
    QCheckBox* compressionBox() const { return compression_; }
    QCheckBox* sslBox() const { return ssl_; }
    QPlainTextEdit* commentField() const { return comment_; }
    QPushButton* testButton() const { return test_; }
    QPushButton* okButton() const { return ok_; }

private:
    void onOk();
    void onTest();
    ServerDialogTexts texts() const;
    QWidget* fieldWidget(int field) const;

    Mode mode_;
    CServerSettings server_;
    const std::vector<CServerSettings>& saved_;
    Prompter& prompter_;
    QLineEdit* name_;
    QLineEdit* host_;
    NumberSpin* port_;
    QLineEdit* user_;
    QCheckBox* save_password_;
    QLineEdit* password_;
    QCheckBox* compression_;
    QCheckBox* ssl_;
    QPlainTextEdit* comment_;
    QPushButton* test_;
    QPushButton* ok_;
};

}  // namespace keelvault::ui
