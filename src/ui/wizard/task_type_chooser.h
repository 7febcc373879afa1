#pragma once

#include <QDialog>
#include <array>

class QRadioButton;

namespace keelvault::ui {

class Prompter;

// "Create a new task": the eight task types in the groups Backup, Restore
// and Accessories. Type 1 is chosen on open.
class TaskTypeChooser : public QDialog {
    Q_OBJECT
public:
    explicit TaskTypeChooser(Prompter& prompter, QWidget* parent = nullptr);

    QRadioButton* typeButton(int type) const { return buttons_[static_cast<size_t>(type - 1)]; }
    // The first checked type in the order 1..8, or 0.
    int chosenType() const;

    void accept() override;

private:
    Prompter& prompter_;
    std::array<QRadioButton*, 8> buttons_{};
};

}  // namespace keelvault::ui
