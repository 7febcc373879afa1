#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>

namespace keelvault::ui {

// Hot-key modifier flags as stored in the options.
inline constexpr uint16_t kHotKeyShift = 1;
inline constexpr uint16_t kHotKeyControl = 2;
inline constexpr uint16_t kHotKeyAlt = 4;
inline constexpr uint16_t kHotKeyExtended = 8;  // the Windows key

// The stored key code (a Windows virtual-key code) as an X11 keysym; 0 when
// it has no counterpart.
unsigned long keySymForVirtualKey(uint16_t virtual_key);

// A system-wide hot key grabbed on the X11 root window. Where there is no
// X11 (Wayland, offscreen) registering fails quietly and nothing happens.
class GlobalHotKey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit GlobalHotKey(QObject* parent = nullptr);
    ~GlobalHotKey() override;

    bool registerKey(uint16_t virtual_key, uint16_t modifiers);
    void unregisterKey();
    bool isActive() const { return keycode_ != 0; }

    bool nativeEventFilter(const QByteArray& event_type, void* message, qintptr* result) override;

signals:
    void activated();

private:
    unsigned int keycode_ = 0;
    unsigned int x_modifiers_ = 0;
};

}  // namespace keelvault::ui
