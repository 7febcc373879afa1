#include "cli/cli_common.h"

#include <iostream>
#include <iterator>
#include <sstream>

#include "core/model/task_list_file.h"
#include "core/platform/data_folder.h"

namespace keelvault::cli {

Paths makePaths(const std::string& tasks_option) {
    Paths paths;
    paths.data_folder = dataFolder();
    paths.tasks_file = tasks_option.empty() ? tasksFilePath(paths.data_folder) : std::filesystem::path(tasks_option);
    return paths;
}

int fail(const std::string& command, const std::string& text) {
    std::cerr << "keelvault-cli " << command << ": " << text << "\n";
    return 1;
}

bool loadTasksOrReport(const std::filesystem::path& tasks_file, CTaskList& list) {
    std::error_code ec;
    if (!std::filesystem::exists(tasks_file, ec)) {
        std::cerr << "keelvault-cli: task list file " << tasks_file.string() << " does not exist\n";
        return false;
    }
    if (!loadTaskList(tasks_file, list)) {
        std::cerr << "keelvault-cli: failed to load the task list from " << tasks_file.string()
                  << " (unreadable, damaged or not a task list file)\n";
        return false;
    }
    return true;
}

CSystemOptions loadOptionsOrDefaults(const std::filesystem::path& data_folder) {
    CSystemOptions options;
    loadOptions(optionsFilePath(data_folder), options);
    return options;
}

int findTaskByName(const CTaskList& list, const std::string& name) {
    for (int i = 0; i < list.count(); ++i) {
        if (list.at(i).name == name) return i;
    }
    return -1;
}

bool readInput(const std::string& command, const std::string& file, std::string& out) {
    if (file == "-") {
        std::ostringstream text;
        text << std::cin.rdbuf();
        out = text.str();
        return true;
    }
    if (!readWholeFile(file, out)) {
        fail(command, "cannot read " + file);
        return false;
    }
    return true;
}

StopSignals::StopSignals() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &old_mask_);
}

StopSignals::~StopSignals() { pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr); }

bool StopSignals::wait(long ms) const {
    timespec timeout{ms / 1000, (ms % 1000) * 1000000L};
    const int sig = sigtimedwait(&signals_, nullptr, &timeout);
    return sig == SIGINT || sig == SIGTERM;
}

}  // namespace keelvault::cli
