// The saved servers: list, add, delete and a connection test.
#include <iostream>

#include "cli/cli_common.h"
#include "cli/task_json.h"
#include "core/editing/server_dialog_rules.h"
#include "core/engine/mysql_session.h"
#include "core/model/server_list_file.h"
#include "core/platform/data_folder.h"

namespace keelvault::cli {

namespace {

// The JSON name of a field of the server dialog.
std::string serverFieldName(ServerDialogField field) {
    switch (field) {
        case ServerDialogField::ConnectionName:
            return "connection_name";
        case ServerDialogField::Host:
            return "host";
        case ServerDialogField::Port:
            return "port";
        case ServerDialogField::User:
            return "user";
        case ServerDialogField::Password:
            return "password";
        case ServerDialogField::List:
            break;
    }
    return "connection_name";
}

std::vector<CServerSettings> loadServers(const Paths& paths) {
    std::vector<CServerSettings> servers;
    loadServerList(serverListFilePath(paths.data_folder), servers);  // none saved is an empty list
    return servers;
}

int findServer(const std::vector<CServerSettings>& servers, const std::string& name) {
    for (size_t i = 0; i < servers.size(); ++i) {
        if (servers[i].connection_name == name) return static_cast<int>(i);
    }
    return -1;
}

bool saveServers(const Paths& paths, const std::vector<CServerSettings>& servers) {
    return ensureDataFolders(paths.data_folder) && saveServerList(serverListFilePath(paths.data_folder), servers);
}

}  // namespace

int runServers(const Paths& paths, bool show_passwords) {
    for (const CServerSettings& s : loadServers(paths)) {
        // As the server manager shows it: "****" for a saved password, "NULL" for none.
        const std::string password = s.save_password ? (show_passwords ? s.password : "****") : "NULL";
        std::cout << s.connection_name << '\t' << s.host << '\t' << s.port << '\t' << s.user << '\t' << password
                  << '\t' << s.comment << '\n';
    }
    return 0;
}

int runServersAdd(const Paths& paths, const std::string& input) {
    std::string text, error;
    Json json;
    CServerSettings server;
    if (!readInput("servers add", input, text)) return 1;
    if (!parseJson(text, json, error) || !serverFromJson(json, server, error)) return fail("servers add", error);
    // A saved server is known by its name; the list loader names a nameless one after its host.
    if (server.connection_name.empty()) server.connection_name = server.host;
    // The server dialog's checks, as its O&K runs them.
    std::vector<CServerSettings> servers = loadServers(paths);
    const auto checked = checkServerDialog(serverDialogTexts(server), ServerDialogMode::Add, servers);
    if (!checked) {
        return fail("servers add",
                    "field \"" + serverFieldName(checked.failure().focus) + "\": " + checked.failure().message);
    }
    servers.push_back(checked.value());
    if (!saveServers(paths, servers)) return fail("servers add", "failed to save the server list");
    std::cout << "keelvault-cli servers add: saved server " << server.connection_name << "\n";
    return 0;
}

int runServersDelete(const Paths& paths, const std::string& name) {
    std::vector<CServerSettings> servers = loadServers(paths);
    const int index = findServer(servers, name);
    if (index < 0) return fail("servers delete", "no server named " + name);
    servers.erase(servers.begin() + index);
    if (!saveServers(paths, servers)) return fail("servers delete", "failed to save the server list");
    std::cout << "keelvault-cli servers delete: deleted server " << name << "\n";
    return 0;
}

int runServersTest(const Paths& paths, const std::string& name) {
    const std::vector<CServerSettings> servers = loadServers(paths);
    const int index = findServer(servers, name);
    if (index < 0) return fail("servers test", "no server named " + name);
    MySqlSession session;
    if (!session.open(servers[static_cast<size_t>(index)])) {
        return fail("servers test", "ERROR " + std::to_string(session.errorNumber()) + ": " + session.errorText());
    }
    std::cout << session.versionText() << "\n";
    return 0;
}

}  // namespace keelvault::cli
