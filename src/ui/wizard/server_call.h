#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/editing/server_catalogue.h"

class QWidget;

namespace keelvault::ui {

// Runs one blocking server call on a worker thread while the interface keeps
// painting: the wait cursor shows, user input waits, and after a moment a
// small window with "Cancel" appears. Cancel gives up on the call at once
// (its connection is cut; the worker ends by itself). The result, or nullopt
// when cancelled.
class ServerCallRunner {
public:
    // How long before the cancel window shows, in milliseconds.
    static int cancelWindowDelay();
    static void setCancelWindowDelay(int milliseconds);
    // The time-out interactive connections get (tests shorten it).
    static unsigned timeoutSeconds();
    static void setTimeoutSeconds(unsigned seconds);

    template <typename Result>
    static std::optional<Result> run(QWidget* parent, const QString& what,
                                     std::function<Result(ServerCallControl&)> call) {
        auto slot = std::make_shared<std::optional<Result>>();
        const bool finished = runErased(
            parent, what, [call = std::move(call), slot](ServerCallControl& control) { *slot = call(control); });
        if (!finished) return std::nullopt;
        return std::move(*slot);
    }

private:
    static bool runErased(QWidget* parent, const QString& what, std::function<void(ServerCallControl&)> call);
};

}  // namespace keelvault::ui
