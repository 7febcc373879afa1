#pragma once

namespace keelvault::ui {

// Whether this user may install and start the companion service as a systemd
// user unit: the user's unit folder can be written and the user's service
// manager answers on the session bus.
bool userMayInstallService();

}  // namespace keelvault::ui
