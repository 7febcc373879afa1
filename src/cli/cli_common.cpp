#include "cli/cli_common.h"

#include <iostream>

#include "core/model/task_list_file.h"
#include "core/platform/data_folder.h"

namespace keelvault::cli {

bool parseArgs(const std::vector<std::string>& words, bool allow_all, Args& out) {
    out.data_folder = dataFolder();
    out.tasks_file = tasksFilePath(out.data_folder);
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--tasks") {
            if (i + 1 >= words.size() || words[i + 1].empty()) {
                std::cerr << "keelvault-cli: --tasks needs a file name\n";
                return false;
            }
            out.tasks_file = words[++i];
        } else if (allow_all && w == "--all") {
            out.all = true;
        } else if (w.size() > 1 && w[0] == '-' && w != "-") {
            std::cerr << "keelvault-cli: unknown option " << w << "\n";
            return false;
        } else {
            out.positional.push_back(w);
        }
    }
    return true;
}

bool loadTasksOrReport(const Args& args, CTaskList& list) {
    std::error_code ec;
    if (!std::filesystem::exists(args.tasks_file, ec)) {
        std::cerr << "keelvault-cli: task list file " << args.tasks_file.string() << " does not exist\n";
        return false;
    }
    if (!loadTaskList(args.tasks_file, list)) {
        std::cerr << "keelvault-cli: failed to load the task list from " << args.tasks_file.string()
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

}  // namespace keelvault::cli

#include "core/scheduler/task_server.h"

namespace keelvault::cli {

const char* const kServiceRunningMessage =
    "Keelvault Service is running now.\n\nThe program can't create, edit, delete, start, stop, run and rename any "
    "task when the service is running.\n\nIf you want to change any settings of the task list, please stop the "
    "service at the menu Tools->Windows Service.";

void addLoadedTasks(const CTaskList& list, TaskServer& server) {
    for (int i = 0; i < list.count(); ++i) {
        const int index = server.addTask(list.at(i));
        CTask& task = server.taskAt(index);
        task.ref_text = list.at(i).ref_text;
        task.run_now = list.at(i).run_now.load();
    }
}

}  // namespace keelvault::cli
