#pragma once

// Shared by the benchmark task writers: puts a task into a task list file,
// replacing the one of the same name.

#include <cstdio>
#include <filesystem>

#include "core/model/task.h"
#include "core/model/task_list_file.h"

namespace keelvault::bench {

inline int putTask(const std::filesystem::path& list_path, const CTask& task) {
    CTaskList list;
    if (std::filesystem::exists(list_path) && !loadTaskList(list_path, list)) {
        std::fprintf(stderr, "cannot read %s\n", list_path.c_str());
        return 1;
    }
    for (int i = 0; i < list.count(); ++i) {
        if (list.at(i).name == task.name) {
            list.removeAt(i);
            break;
        }
    }
    list.append(task);
    if (!saveTaskList(list_path, list)) {
        std::fprintf(stderr, "cannot write %s\n", list_path.c_str());
        return 1;
    }
    return 0;
}

}  // namespace keelvault::bench
