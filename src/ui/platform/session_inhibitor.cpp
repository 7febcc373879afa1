#include "ui/platform/session_inhibitor.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>

namespace keelvault::ui {

SessionInhibitor::SessionInhibitor(QObject* parent) : QObject(parent) {}

SessionInhibitor::~SessionInhibitor() { release(); }

void SessionInhibitor::setWanted(bool wanted) {
    if (wanted == wanted_) return;
    wanted_ = wanted;
    if (wanted) {
        acquire();
    } else {
        release();
    }
}

void SessionInhibitor::acquire() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("shutdown:sleep") << QStringLiteral("Keelvault") << QStringLiteral("A task is running")
         << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus.call(call, QDBus::Block, 2000);
    if (!reply.isValid() || !reply.value().isValid()) return;
    // The descriptor of the reply is closed with it; keep our own copy.
    fd_ = ::dup(reply.value().fileDescriptor());
}

void SessionInhibitor::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace keelvault::ui
