#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace keelvault::ui {

// One copy of the program per user: the first copy holds a lock file and
// listens on a local socket; a later copy sends "show" to it and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this copy may start: it is the first, or the lock is held but
    // nobody answers. False when the first copy was told to show itself.
    bool claim();

    // The name every copy of the program uses.
    static QString defaultName();

signals:
    void showRequested();

private:
    void listen();

    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

}  // namespace keelvault::ui
