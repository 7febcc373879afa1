#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace keelvault::ui {

class Prompter;

// Reports a failed connection: the message, "O&K" and a button that opens
// the help topic on connecting to a server.
class ConnectionFailedDialog : public QDialog {
    Q_OBJECT
public:
    ConnectionFailedDialog(const QString& text, Prompter& prompter, QWidget* parent = nullptr);

    QString text() const;
    QPushButton* howToConnectButton() const { return how_to_; }

private:
    QLabel* text_;
    QPushButton* how_to_;
};

// "Failed to connect to the MySQL server!\n\nError NO. %d\n%s" in the dialog,
// run through the prompter.
void showConnectionFailure(Prompter& prompter, unsigned int error_number, const std::string& error_text,
                           QWidget* parent = nullptr);

}  // namespace keelvault::ui
