#include "ui/platform/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace keelvault::ui {

namespace {

QString runtimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder;
}

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show")) emit showRequested();
            });
            if (socket->bytesAvailable() > 0 && socket->readAll().contains("show")) emit showRequested();
        }
    });
}

SingleInstance::~SingleInstance() { server_.close(); }

QString SingleInstance::defaultName() { return QStringLiteral("keelvault-desktop-%1").arg(::getuid()); }

bool SingleInstance::claim() {
    lock_ = std::make_unique<QLockFile>(runtimeFolder() + QLatin1Char('/') + name_ + QStringLiteral(".lock"));
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        listen();
        return true;
    }
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(1000)) return true;  // held, but no window answers: start normally
    socket.write("show\n");
    socket.flush();
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return false;
}

void SingleInstance::listen() {
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(name_);
}

}  // namespace keelvault::ui
