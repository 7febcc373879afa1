#pragma once

#include <QDialog>

class QCheckBox;

namespace keelvault::ui {

// The first-start question whether to run the program at log-in; Yes accepts.
class AutoRunDialog : public QDialog {
    Q_OBJECT
public:
    explicit AutoRunDialog(QWidget* parent = nullptr);

    bool dontAskAgain() const;
    QCheckBox* dontAskBox() const { return dont_ask_; }

private:
    QCheckBox* dont_ask_;
};

}  // namespace keelvault::ui
