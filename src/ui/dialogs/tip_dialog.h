#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

#include "core/model/options_file.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace keelvault::ui {

// "Tip of the Day": one tip at a time; Close stores the index and the
// show-at-start-up flag in the options and saves them.
class TipDialog : public QDialog {
    Q_OBJECT
public:
    // `save` is called after Close has stored its state in `options`.
    TipDialog(CSystemOptions& options, std::function<void()> save, QWidget* parent = nullptr);

    static QStringList tipTexts();

    int currentIndex() const { return index_; }
    QString currentText() const;
    QString counterText() const;
    QCheckBox* showOnStartUpBox() const { return show_box_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* previousButton() const { return previous_; }
    QPushButton* closeButton() const { return close_; }

private:
    void step(int delta);
    void showTip();
    void closeAndStore();

    CSystemOptions& options_;
    std::function<void()> save_;
    QStringList tips_;
    int index_ = 0;
    bool show_flag_ = true;
    QLabel* text_;
    QLabel* counter_;
    QCheckBox* show_box_;
    QPushButton* previous_;
    QPushButton* next_;
    QPushButton* close_;
};

}  // namespace keelvault::ui
