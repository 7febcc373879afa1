#pragma once

#include <QDialog>
#include <functional>

class QPushButton;

namespace keelvault::ui {

class Prompter;

// "Windows Service...": explains the companion systemd service and tests
// whether this user may install and start it.
class ServiceDialog : public QDialog {
    Q_OBJECT
public:
    ServiceDialog(Prompter& prompter, std::function<bool()> rights_test, QWidget* parent = nullptr);

    QPushButton* testButton() const { return test_; }

private:
    void testRights();

    Prompter& prompter_;
    std::function<bool()> rights_test_;
    QPushButton* test_;
};

}  // namespace keelvault::ui
