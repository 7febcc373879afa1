#include "ui/wizard/server_call.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>

namespace keelvault::ui {

namespace {

int g_cancel_delay_ms = 400;
unsigned g_timeout_seconds = kInteractiveTimeoutSeconds;

// What the worker and the interface share; the worker may outlive the wait
// when the user cancels.
struct CallState {
    explicit CallState(unsigned timeout) : control(timeout) {}
    ServerCallControl control;
    std::atomic<bool> done{false};
};

}  // namespace

int ServerCallRunner::cancelWindowDelay() {
    return g_cancel_delay_ms;
}
void ServerCallRunner::setCancelWindowDelay(int milliseconds) {
    g_cancel_delay_ms = milliseconds;
}
unsigned ServerCallRunner::timeoutSeconds() {
    return g_timeout_seconds;
}
void ServerCallRunner::setTimeoutSeconds(unsigned seconds) {
    g_timeout_seconds = seconds;
}

bool ServerCallRunner::runErased(QWidget* parent, const QString& what, std::function<void(ServerCallControl&)> call) {
    auto state = std::make_shared<CallState>(g_timeout_seconds);
    std::thread worker([state, call = std::move(call)] {
        call(state->control);
        state->done.store(true);
    });

    QApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> window;
    bool cancelled = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (state->done.load()) {
            loop.quit();
        } else if (window && window->wasCanceled()) {
            cancelled = true;
            loop.quit();
        } else if (!window && clock.elapsed() >= g_cancel_delay_ms) {
            loop.quit();  // leave the input-blocked phase
        }
    });
    poll.start();

    // While the call is short, user input waits; then the modal cancel window
    // takes it.
    if (g_cancel_delay_ms > 0) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!state->done.load()) {
        window = std::make_unique<QProgressDialog>(what, QObject::tr("Cancel"), 0, 0, parent);
        window->setObjectName(QStringLiteral("ServerCallWindow"));
        window->setWindowTitle(QStringLiteral("Keelvault"));
        window->setWindowModality(Qt::ApplicationModal);
        window->setMinimumDuration(0);
        window->setAutoClose(false);
        window->setAutoReset(false);
        QObject::connect(window.get(), &QProgressDialog::canceled, &loop, [&] {
            cancelled = true;
            loop.quit();
        });
        window->show();
        // The wait cursor stays over the window but not over its button.
        QApplication::changeOverrideCursor(Qt::BusyCursor);
        while (!state->done.load() && !cancelled) loop.exec();
    }
    poll.stop();
    window.reset();
    QApplication::restoreOverrideCursor();

    if (cancelled && !state->done.load()) {
        state->control.cancel();
        worker.detach();  // it ends on its own; `state` keeps what it touches alive
        return false;
    }
    worker.join();
    return !cancelled;
}

}  // namespace keelvault::ui
