#pragma once

#include <QString>

namespace keelvault::ui {

// The XDG autostart entry stands for "run at log-in": present = on.
QString autostartEntryPath();
bool writeAutostartEntry(const QString& program_path);
bool removeAutostartEntry();
// Writes the entry when `on`, else removes it.
bool applyAutostart(bool on, const QString& program_path);

}  // namespace keelvault::ui
