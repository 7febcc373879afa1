#include "ui/platform/global_hot_key.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace keelvault::ui {

namespace {

Display* x11Display() {
    auto* app = qGuiApp;
    if (app == nullptr) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// XGrabKey reports a taken key asynchronously; catch it while grabbing.
bool g_grab_failed = false;
int onGrabError(Display*, XErrorEvent* event) {
    if (event->error_code == BadAccess) g_grab_failed = true;
    return 0;
}

// The grab must also fire with NumLock or CapsLock on.
constexpr unsigned int kLockMasks[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

}  // namespace

unsigned long keySymForVirtualKey(uint16_t vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return XK_0 + (vk - '0');
    if (vk >= 0x60 && vk <= 0x69) return XK_KP_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87) return XK_F1 + (vk - 0x70);
    switch (vk) {
        case 0x08: return XK_BackSpace;
        case 0x09: return XK_Tab;
        case 0x0D: return XK_Return;
        case 0x13: return XK_Pause;
        case 0x1B: return XK_Escape;
        case 0x20: return XK_space;
        case 0x21: return XK_Prior;
        case 0x22: return XK_Next;
        case 0x23: return XK_End;
        case 0x24: return XK_Home;
        case 0x25: return XK_Left;
        case 0x26: return XK_Up;
        case 0x27: return XK_Right;
        case 0x28: return XK_Down;
        case 0x2D: return XK_Insert;
        case 0x2E: return XK_Delete;
        case 0x6A: return XK_KP_Multiply;
        case 0x6B: return XK_KP_Add;
        case 0x6D: return XK_KP_Subtract;
        case 0x6E: return XK_KP_Decimal;
        case 0x6F: return XK_KP_Divide;
        default: return 0;
    }
}

GlobalHotKey::GlobalHotKey(QObject* parent) : QObject(parent) {
    if (QCoreApplication::instance()) QCoreApplication::instance()->installNativeEventFilter(this);
}

GlobalHotKey::~GlobalHotKey() {
    unregisterKey();
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool GlobalHotKey::registerKey(uint16_t virtual_key, uint16_t modifiers) {
    unregisterKey();
    Display* display = x11Display();
    const unsigned long keysym = keySymForVirtualKey(virtual_key);
    if (display == nullptr || keysym == 0) return false;
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (keycode == 0) return false;
    unsigned int mask = 0;
    if (modifiers & kHotKeyShift) mask |= ShiftMask;
    if (modifiers & kHotKeyControl) mask |= ControlMask;
    if (modifiers & kHotKeyAlt) mask |= Mod1Mask;
    if (modifiers & kHotKeyExtended) mask |= Mod4Mask;

    g_grab_failed = false;
    XSync(display, False);
    auto* old_handler = XSetErrorHandler(onGrabError);
    const Window root = DefaultRootWindow(display);
    for (unsigned int lock : kLockMasks) XGrabKey(display, keycode, mask | lock, root, True, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    XSetErrorHandler(old_handler);
    if (g_grab_failed) {
        for (unsigned int lock : kLockMasks) XUngrabKey(display, keycode, mask | lock, root);
        XSync(display, False);
        return false;
    }
    keycode_ = keycode;
    x_modifiers_ = mask;
    return true;
}

void GlobalHotKey::unregisterKey() {
    if (keycode_ == 0) return;
    if (Display* display = x11Display()) {
        const Window root = DefaultRootWindow(display);
        for (unsigned int lock : kLockMasks) XUngrabKey(display, keycode_, x_modifiers_ | lock, root);
        XSync(display, False);
    }
    keycode_ = 0;
    x_modifiers_ = 0;
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& event_type, void* message, qintptr*) {
    if (keycode_ == 0 || event_type != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    const unsigned int relevant = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;
    if (key->detail == keycode_ && (key->state & relevant) == x_modifiers_) {
        emit activated();
        return true;
    }
    return false;
}

}  // namespace keelvault::ui
