#pragma once

#include <QDialog>
#include <QStringList>

class QLineEdit;

namespace keelvault::ui {

class Prompter;

// "Rename Task": OK refuses an empty name and the name of another task.
class RenameTaskDialog : public QDialog {
    Q_OBJECT
public:
    RenameTaskDialog(Prompter& prompter, const QString& name, QStringList other_names, QWidget* parent = nullptr);

    QString name() const;
    QLineEdit* nameField() const { return field_; }

    void accept() override;

private:
    Prompter& prompter_;
    QStringList other_names_;
    QLineEdit* field_;
};

}  // namespace keelvault::ui
