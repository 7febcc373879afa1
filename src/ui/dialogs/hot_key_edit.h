#pragma once

#include <QLineEdit>
#include <cstdint>

namespace keelvault::ui {

// The stored hot key is a Windows virtual-key code with the modifier flags
// of the options (1 Shift, 2 Ctrl, 4 Alt, 8 the Windows key); these map it to
// and from Qt's keys. 0 where a key has no counterpart.
uint16_t virtualKeyForQtKey(int key, bool keypad);
int qtKeyForVirtualKey(uint16_t virtual_key);
// "Ctrl + Alt + M"; "None" without a key.
QString hotKeyText(uint16_t virtual_key, uint16_t modifiers);

// A hot-key field: the next key pressed with its modifiers becomes the hot
// key; Backspace or Delete alone clears it.
class HotKeyEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit HotKeyEdit(QWidget* parent = nullptr);

    uint16_t virtualKey() const { return key_; }
    uint16_t modifiers() const { return modifiers_; }
    void setHotKey(uint16_t virtual_key, uint16_t modifiers);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    uint16_t key_ = 0;
    uint16_t modifiers_ = 0;
};

}  // namespace keelvault::ui
