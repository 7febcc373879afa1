#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace keelvault::ui {

// Asks for the login of the options; OK confirms only when both fields equal
// the stored values byte for byte, otherwise it closes as not confirmed.
class LoginDialog : public QDialog {
    Q_OBJECT
public:
    LoginDialog(std::string user, std::string password, QWidget* parent = nullptr);

    QLineEdit* userField() const { return user_field_; }
    QLineEdit* passwordField() const { return password_field_; }

private:
    void check();

    std::string user_;
    std::string password_;
    QLineEdit* user_field_;
    QLineEdit* password_field_;
};

}  // namespace keelvault::ui
