#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/scheduler/task_environment.h"

namespace keelvault {

// The command to run after a task's run, from "keelvault.conf" in the data
// folder (a file of our own beside the stored files; key = value lines, '#'
// starts a comment):
//   run_hook = mail-on-failure.sh     # run by /bin/sh -c
//   run_hook_when = failure           # failure (the default) or always
//   run_hook_timeout = 60             # seconds before the command is stopped
struct RunHookSettings {
    std::string command;  // empty: no hook
    bool always = false;
    int timeout_seconds = 60;
};

inline constexpr const char* kSettingsFileName = "keelvault.conf";

// The settings of a data folder; defaults (no hook) when the file is missing.
RunHookSettings loadRunHookSettings(const std::filesystem::path& data_folder);

// "success" (finished without an error line), "failed" or "canceled".
const char* runResultName(const RunOutcome& outcome);

// What the command gets in its environment, besides the program's own.
struct RunHookFacts {
    std::string task_name;
    std::string result;  // runResultName()
    int errors = 0;
    std::string first_error;
    std::filesystem::path log_file;
    double seconds = 0;
};

// Runs the command when the settings ask for it after a run with these facts:
// KEELVAULT_TASK, KEELVAULT_RESULT, KEELVAULT_ERRORS, KEELVAULT_FIRST_ERROR,
// KEELVAULT_LOG_FILE and KEELVAULT_SECONDS are set; it is stopped (with its
// children) at the time limit. Nothing when it ran and succeeded or was not
// due; otherwise the warning line for the task's log. A failing hook never
// fails the task.
std::optional<std::string> runRunHook(const RunHookSettings& settings, const RunHookFacts& facts);

}  // namespace keelvault
