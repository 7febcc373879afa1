#include "ui/dialogs/hot_key_edit.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QStringList>
#include <array>
#include <utility>

#include "ui/platform/global_hot_key.h"

namespace keelvault::ui {

namespace {

// Keys whose virtual-key code is not their character.
constexpr std::array<std::pair<int, uint16_t>, 16> kNamedKeys = {{
    {Qt::Key_Backspace, 0x08},
    {Qt::Key_Tab, 0x09},
    {Qt::Key_Return, 0x0D},
    {Qt::Key_Pause, 0x13},
    {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},
    {Qt::Key_PageUp, 0x21},
    {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},
    {Qt::Key_Home, 0x24},
    {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},
    {Qt::Key_Down, 0x28},
    {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},
}};

constexpr std::array<std::pair<int, uint16_t>, 5> kKeypadKeys = {{
    {Qt::Key_Asterisk, 0x6A},
    {Qt::Key_Plus, 0x6B},
    {Qt::Key_Minus, 0x6D},
    {Qt::Key_Period, 0x6E},
    {Qt::Key_Slash, 0x6F},
}};

}  // namespace

uint16_t virtualKeyForQtKey(int key, bool keypad) {
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<uint16_t>(0x60 + (key - Qt::Key_0));
        for (const auto& [qt, vk] : kKeypadKeys) {
            if (qt == key) return vk;
        }
        if (key == Qt::Key_Enter) return 0x0D;
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return static_cast<uint16_t>(key);  // the same codes in both
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<uint16_t>(0x70 + (key - Qt::Key_F1));
    if (key == Qt::Key_Enter) return 0x0D;
    for (const auto& [qt, vk] : kNamedKeys) {
        if (qt == key) return vk;
    }
    return 0;
}

int qtKeyForVirtualKey(uint16_t vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return vk;
    if (vk >= 0x60 && vk <= 0x69) return Qt::Key_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87) return Qt::Key_F1 + (vk - 0x70);
    for (const auto& [qt, code] : kNamedKeys) {
        if (code == vk) return qt;
    }
    for (const auto& [qt, code] : kKeypadKeys) {
        if (code == vk) return qt;
    }
    return 0;
}

QString hotKeyText(uint16_t virtual_key, uint16_t modifiers) {
    const int key = qtKeyForVirtualKey(virtual_key);
    if (key == 0) return QStringLiteral("None");
    QStringList parts;
    if (modifiers & kHotKeyControl) parts << QStringLiteral("Ctrl");
    if (modifiers & kHotKeyShift) parts << QStringLiteral("Shift");
    if (modifiers & kHotKeyAlt) parts << QStringLiteral("Alt");
    if (modifiers & kHotKeyExtended) parts << QStringLiteral("Win");
    QString name = QKeySequence(key).toString(QKeySequence::NativeText);
    if (virtual_key >= 0x60 && virtual_key <= 0x6F) name = QStringLiteral("Num ") + name;
    parts << name;
    return parts.join(QStringLiteral(" + "));
}

HotKeyEdit::HotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    setObjectName(QStringLiteral("HotKeyEdit"));
    setReadOnly(true);  // typed text never lands here; the key press is the value
    setHotKey(0, 0);
}

void HotKeyEdit::setHotKey(uint16_t virtual_key, uint16_t modifiers) {
    key_ = virtual_key;
    modifiers_ = virtual_key == 0 ? 0 : modifiers;
    setText(hotKeyText(key_, modifiers_));
}

void HotKeyEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        QLineEdit::keyPressEvent(event);  // moving on, not a hot key
        return;
    }
    if (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
        key == Qt::Key_AltGr) {
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) &&
        !(mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        setHotKey(0, 0);
        event->accept();
        return;
    }
    const uint16_t vk = virtualKeyForQtKey(key, mods & Qt::KeypadModifier);
    if (vk == 0) {
        event->accept();
        return;
    }
    uint16_t flags = 0;
    if (mods & Qt::ShiftModifier) flags |= kHotKeyShift;
    if (mods & Qt::ControlModifier) flags |= kHotKeyControl;
    if (mods & Qt::AltModifier) flags |= kHotKeyAlt;
    if (mods & Qt::MetaModifier) flags |= kHotKeyExtended;
    setHotKey(vk, flags);
    event->accept();
}

}  // namespace keelvault::ui
