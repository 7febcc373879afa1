#include "ui/wizard/server_requests.h"

#include <QObject>

#include "core/engine/mysql_session.h"
#include "ui/dialogs/connection_failed_dialog.h"
#include "ui/prompter.h"
#include "ui/wizard/server_call.h"

namespace keelvault::ui {

namespace {

QString connectingText() {
    return QObject::tr("Connecting to the MySQL server...");
}
QString loadingText() {
    return QObject::tr("Reading the databases and tables of the MySQL server...");
}

// True when the call went through; otherwise the failure has been reported.
bool reported(const ServerCallError& error, Prompter& prompter, QWidget* parent) {
    switch (error.failure) {
        case ServerCallFailure::None:
            return true;
        case ServerCallFailure::Connect:
            showConnectionFailure(prompter, error.number, error.text, parent);
            break;
        case ServerCallFailure::UseDatabase:
            prompter.fail(QString::fromStdString(useDatabaseFailedText(error.number, error.text)));
            break;
        case ServerCallFailure::Cancelled:
            break;
    }
    return false;
}

std::optional<ServerCatalogue> catalogueOf(std::optional<CatalogueLoad> load, Prompter& prompter, QWidget* parent) {
    if (!load || !reported(load->error, prompter, parent)) return std::nullopt;
    return std::move(load->catalogue);
}

}  // namespace

void testConnectionAndReport(const CServerSettings& settings, Prompter& prompter, QWidget* parent) {
    const auto test = ServerCallRunner::run<ConnectionTest>(
        parent, connectingText(),
        [settings](ServerCallControl& control) { return testServerConnection(settings, control); });
    if (!test || !reported(test->error, prompter, parent)) return;
    prompter.inform(QString::fromStdString(connectSucceededDialogText(test->version)));
}

std::optional<ServerCatalogue> loadCatalogueOrReport(const CServerSettings& settings, CatalogueShape shape,
                                                     Prompter& prompter, QWidget* parent) {
    return catalogueOf(ServerCallRunner::run<CatalogueLoad>(parent, loadingText(),
                                                            [settings, shape](ServerCallControl& control) {
                                                                return loadServerCatalogue(settings, shape, control);
                                                            }),
                       prompter, parent);
}

std::optional<ServerCatalogue> loadDatabaseNamesOrReport(const CServerSettings& settings, Prompter& prompter,
                                                         QWidget* parent) {
    return catalogueOf(ServerCallRunner::run<CatalogueLoad>(
                           parent, connectingText(),
                           [settings](ServerCallControl& control) { return loadDatabaseNames(settings, control); }),
                       prompter, parent);
}

std::optional<ServerCatalogue> loadDatabaseTablesOrReport(const CServerSettings& settings, const std::string& database,
                                                          Prompter& prompter, QWidget* parent) {
    return catalogueOf(ServerCallRunner::run<CatalogueLoad>(parent, loadingText(),
                                                            [settings, database](ServerCallControl& control) {
                                                                return loadDatabaseTables(settings, database, control);
                                                            }),
                       prompter, parent);
}

}  // namespace keelvault::ui
