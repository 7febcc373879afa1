#pragma once

#include <QComboBox>
#include <functional>

namespace keelvault::ui {

// A drop-down list that refills itself from the server each time it opens.
class DatabaseCombo : public QComboBox {
    Q_OBJECT
public:
    explicit DatabaseCombo(QWidget* parent = nullptr) : QComboBox(parent) {}
    void setRefill(std::function<void()> refill) { refill_ = std::move(refill); }
    void refill() {
        if (refill_) refill_();
    }
    void showPopup() override {
        refill();
        QComboBox::showPopup();
    }
    // Replaces the entries, keeping the chosen name when it is still there.
    void setNames(const QStringList& names) {
        const QString chosen = currentText();
        clear();
        addItems(names);
        setCurrentIndex(findText(chosen));
    }

private:
    std::function<void()> refill_;
};

}  // namespace keelvault::ui
