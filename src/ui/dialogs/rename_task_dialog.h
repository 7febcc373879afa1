#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLineEdit;

namespace keelvault::ui {

class Prompter;

// "Rename Task": OK shows the refusal the task list gives for the typed
// name (empty, another task's) and keeps the dialog open.
class RenameTaskDialog : public QDialog {
    Q_OBJECT
public:
    using Refusal = std::function<QString(const QString& name)>;
    RenameTaskDialog(Prompter& prompter, const QString& name, Refusal refusal, QWidget* parent = nullptr);

    QString name() const;
    QLineEdit* nameField() const { return field_; }

    void accept() override;

private:
    Prompter& prompter_;
    Refusal refusal_;
    QLineEdit* field_;
};

}  // namespace keelvault::ui
