#pragma once

#include <QObject>

namespace keelvault::ui {

// Holds a systemd-logind "block" inhibitor lock on shutdown and sleep while
// wanted. Without logind (no system bus) it quietly holds nothing.
class SessionInhibitor : public QObject {
    Q_OBJECT
public:
    explicit SessionInhibitor(QObject* parent = nullptr);
    ~SessionInhibitor() override;

    // Takes the lock when `wanted` and not held, releases it when not wanted.
    void setWanted(bool wanted);
    bool wanted() const { return wanted_; }
    bool held() const { return fd_ >= 0; }

private:
    void acquire();
    void release();

    bool wanted_ = false;
    int fd_ = -1;
};

}  // namespace keelvault::ui
