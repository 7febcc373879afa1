#pragma once

#include <optional>
#include <string>

#include "core/editing/server_catalogue.h"

class QWidget;

namespace keelvault::ui {

class Prompter;

// The server calls of the pages and dialogs, run off the interface thread,
// with their messages: success and the connection-failure dialog, "Failed to
// use the database!" for a database that cannot be selected. A cancelled call
// shows nothing. Each returns nothing when the call failed or was cancelled.

void testConnectionAndReport(const CServerSettings& settings, Prompter& prompter, QWidget* parent);

std::optional<ServerCatalogue> loadCatalogueOrReport(const CServerSettings& settings, CatalogueShape shape,
                                                     Prompter& prompter, QWidget* parent);
std::optional<ServerCatalogue> loadDatabaseNamesOrReport(const CServerSettings& settings, Prompter& prompter,
                                                         QWidget* parent);
std::optional<ServerCatalogue> loadDatabaseTablesOrReport(const CServerSettings& settings, const std::string& database,
                                                          Prompter& prompter, QWidget* parent);

}  // namespace keelvault::ui
