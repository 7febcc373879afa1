#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/model/options_file.h"
#include "core/model/task.h"

namespace keelvault {
class TaskEnvironment;
class TaskServer;
}  // namespace keelvault

namespace keelvault::cli {

// Registers the engines a run may use; the program registers the built-in
// ones, tests their own.
using EngineSetup = std::function<void(TaskEnvironment&)>;

// The whole program: dispatches to the subcommands. Returns the exit status.
int cliMain(int argc, char** argv, const EngineSetup& setup);

// The parsed command line of one subcommand.
struct Args {
    std::filesystem::path data_folder;
    std::filesystem::path tasks_file;  // --tasks FILE, default "tasks_pro.tsk" in the data folder
    std::vector<std::string> positional;
    bool all = false;  // --all
};

// Parses the words after the subcommand. Accepts --tasks FILE and, when
// allow_all is set, --all. On failure prints the reason and returns false.
bool parseArgs(const std::vector<std::string>& words, bool allow_all, Args& out);

// Loads the task list of args.tasks_file; prints a clear error on failure.
bool loadTasksOrReport(const Args& args, CTaskList& list);

// The options of the data folder (defaults when there is no options file).
CSystemOptions loadOptionsOrDefaults(const std::filesystem::path& data_folder);

// Index of the task with this name, or -1.
int findTaskByName(const CTaskList& list, const std::string& name);

int runShow(const std::vector<std::string>& words);
int runList(const std::vector<std::string>& words);
int runLog(const std::vector<std::string>& words);
int runRun(const std::vector<std::string>& words, const EngineSetup& setup);
int runService(const std::vector<std::string>& words, const EngineSetup& setup);

// Puts the loaded tasks into the server, keeping their stored ref_text and
// run_now (the server's addTask would renew them).
void addLoadedTasks(const CTaskList& list, TaskServer& server);

// The message shown while the companion service runs the task list.
extern const char* const kServiceRunningMessage;

}  // namespace keelvault::cli
