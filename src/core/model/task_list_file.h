#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/model/task.h"

namespace keelvault {

inline constexpr uint32_t kTaskListMagic = 0xDABDFE90;
inline constexpr uint8_t kTaskTextKey = 0x6B;

// One task record framed by the leading and trailing magic.
std::string serializeTask(const CTask& task);

// Writes the list: the file is replaced atomically (owner-only permissions);
// an empty list removes the file. All task-list saves of the process are
// serialised, so a worker's save and the interface's never interleave.
bool saveTasks(const std::filesystem::path& path, const std::vector<const CTask*>& tasks);
bool saveTaskList(const std::filesystem::path& path, const CTaskList& list);

// Reads a list in the current layout. On any failure (missing file, unknown
// magic, a record cut short or missing a magic, trailing bytes) returns false
// and leaves `out` untouched; on success `out` is replaced.
bool loadTaskList(const std::filesystem::path& path, CTaskList& out);
bool parseTaskList(const std::string& bytes, CTaskList& out);

// Appends one framed record to "newtasks.tsk" and bumps its count.
bool appendNewTask(const std::filesystem::path& path, const CTask& task);

}  // namespace keelvault
