#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/editing/server_catalogue.h"
#include "core/model/options_file.h"
#include "core/model/task.h"

namespace keelvault::ui {

class FileChooser;
class Prompter;

// How a content page is shown: as a wizard page, as an editable tab of the
// property sheet, or as a read-only tab.
enum class PageMode { Wizard, Edit, View };

// The catalogue a source server page loaded, for the selection pages. Each
// load raises the generation, so a page can tell a fresh catalogue from the
// one it already shows.
struct CatalogueCache {
    ServerCatalogue catalogue;
    std::vector<CTableItem> export_tables;  // the export list being built
    int generation = 0;

    void replace(ServerCatalogue loaded) {
        catalogue = std::move(loaded);
        export_tables.clear();
        ++generation;
    }
};

// What a page reaches: the working record, the saved servers (and how to
// save them), the options, the names of the listed tasks, the prompter and
// the file chooser. The sheet owns all of it and outlives its pages.
struct PageContext {
    CTask& task;
    std::vector<CServerSettings>& servers;
    std::function<bool()> save_servers;
    const CSystemOptions& options;
    Prompter& prompter;
    FileChooser& chooser;
    CatalogueCache& cache;
    std::vector<std::string> task_names;
    int edit_index = -1;
};

}  // namespace keelvault::ui
