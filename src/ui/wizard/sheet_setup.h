#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/model/options_file.h"
#include "core/model/task.h"

namespace keelvault::ui {

class FileChooser;
class Prompter;

// What the command that opens a wizard or property sheet hands it; the sheet
// keeps the working record and the catalogue caches itself.
struct SheetSetup {
    std::vector<CServerSettings>& servers;
    std::function<bool()> save_servers;
    const CSystemOptions& options;
    Prompter& prompter;
    FileChooser& chooser;
    std::vector<std::string> task_names;  // the listed tasks, in order
    int edit_index = -1;                  // the task shown, skipped by the name check
};

}  // namespace keelvault::ui
