#pragma once

#include <signal.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/model/options_file.h"
#include "core/model/task.h"

namespace keelvault {
class TaskEnvironment;
}  // namespace keelvault

namespace keelvault::cli {

// SIGINT and SIGTERM held back from the moment this is made until it goes, so
// that only the thread that made it takes them, through wait(). Make it
// before any worker thread starts.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    // Waits up to `ms` for SIGINT or SIGTERM; true when one came.
    bool wait(long ms) const;

private:
    sigset_t signals_;
    sigset_t old_mask_;
};

// Registers the engines a run may use; the program registers the built-in
// ones, tests their own.
using EngineSetup = std::function<void(TaskEnvironment&)>;

// The whole program: dispatches to the subcommands. Returns the exit status.
int cliMain(int argc, char** argv, const EngineSetup& setup);

// Where a subcommand finds its files.
struct Paths {
    std::filesystem::path data_folder;
    std::filesystem::path tasks_file;  // --tasks FILE, default "tasks_pro.tsk" in the data folder
};
Paths makePaths(const std::string& tasks_option);

// Loads the task list; prints a clear error on failure.
bool loadTasksOrReport(const std::filesystem::path& tasks_file, CTaskList& list);

// The options of the data folder (defaults when there is no options file).
CSystemOptions loadOptionsOrDefaults(const std::filesystem::path& data_folder);

// Index of the task with this name, or -1.
int findTaskByName(const CTaskList& list, const std::string& name);

// The text of FILE, or of standard input for "-"; prints the error on failure.
bool readInput(const std::string& command, const std::string& file, std::string& out);

// Prints "keelvault-cli COMMAND: TEXT" on standard error; returns 1.
int fail(const std::string& command, const std::string& text);

int runShow(const Paths& paths);
int runList(const Paths& paths);
int runLog(const Paths& paths, const std::string& name, bool all);
// Runs one task now; the exit status tells how the run ended (see help).
int runRun(const Paths& paths, const std::string& name, const EngineSetup& setup);
int runService(const Paths& paths, const EngineSetup& setup);

int runAdd(const Paths& paths, const std::string& input, bool run, const EngineSetup& setup);
int runExport(const Paths& paths, const std::string& name);
int runEdit(const Paths& paths, const std::string& name, const std::string& input);
int runDelete(const Paths& paths, const std::string& name);
int runCopy(const Paths& paths, const std::string& name);
int runRename(const Paths& paths, const std::string& name, const std::string& new_name);
int runStart(const Paths& paths, const std::string& name);
int runStop(const Paths& paths, const std::string& name);

int runServers(const Paths& paths, bool show_passwords);
int runServersAdd(const Paths& paths, const std::string& input);
int runServersDelete(const Paths& paths, const std::string& name);
int runServersTest(const Paths& paths, const std::string& name);
// Restores a backup record (1 = the oldest, 0 = the newest) into scratch
// databases on a saved server and compares it with its digests; with
// `list`, prints the records and whether each can be verified.
int runVerify(const Paths& paths, const std::string& name, int record_number, const std::string& into, bool list);

// Exit statuses of run (and add --run).
inline constexpr int kRunClean = 0;
inline constexpr int kRunNotStarted = 1;
inline constexpr int kRunErrorsLogged = 2;
inline constexpr int kRunCanceled = 3;

}  // namespace keelvault::cli
