#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "core/model/task.h"

namespace keelvault::cli {

using Json = nlohmann::ordered_json;

// Every stored field of a task, in the task list file's order. Texts are
// the stored bytes: valid UTF-8 passes through, any other byte stands for
// the character of the same number.
Json taskToJson(const CTask& task);
Json serverToJson(const CServerSettings& server);
// Every task of the list as a JSON array of objects, two-space indented.
std::string taskListToJson(const CTaskList& list);
// One value as printed by show and export.
std::string printJson(const Json& value);

// Reads a task object onto `task`: the fields it names replace those of
// `task`, the others stay. An unknown field, a value of the wrong kind or
// out of range fails with a one-line message naming the field; `task` may
// then be half-filled and must be dropped.
bool taskFromJson(const Json& json, CTask& task, std::string& error);
bool serverFromJson(const Json& json, CServerSettings& server, std::string& error);

// Parses JSON text; a syntax error fails with a one-line message.
bool parseJson(const std::string& text, Json& out, std::string& error);

}  // namespace keelvault::cli
