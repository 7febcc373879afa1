#pragma once

#include <QDialog>

namespace keelvault::ui {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace keelvault::ui
