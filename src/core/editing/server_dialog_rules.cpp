#include "core/editing/server_dialog_rules.h"

#include <optional>

#include "core/editing/server_block_rules.h"

namespace keelvault {

namespace {

using Result = CheckResult<CServerSettings, ServerDialogField>;

CServerSettings serverOf(const ServerDialogTexts& texts, int32_t port) {
    CServerSettings server;
    server.connection_name = texts.connection_name;
    server.host = texts.host;
    server.port = port;
    server.user = texts.user;
    server.password = texts.save_password ? texts.password : std::string();
    server.comment = texts.comment;
    server.save_password = texts.save_password ? 1 : 0;
    server.use_compression = texts.use_compression ? 1 : 0;
    server.use_ssl = texts.use_ssl ? 1 : 0;
    return server;
}

std::optional<CheckFailure<ServerDialogField>> portFailure(const std::string& text, int32_t& port) {
    if (!portTextIsNumber(text)) return refuse("Port must be a number between 1 and 65535!", ServerDialogField::Port);
    if (!portTextInRange(text, port))
        return refuse("Please input a number between 1 and 65535!", ServerDialogField::Port);
    return std::nullopt;
}

}  // namespace

ServerDialogTexts serverDialogTexts(const CServerSettings& server) {
    ServerDialogTexts texts;
    texts.connection_name = server.connection_name;
    texts.host = server.host;
    texts.port = std::to_string(server.port < 1 || server.port > 65535 ? 3306 : server.port);
    texts.user = server.user;
    texts.save_password = server.save_password != 0;
    if (texts.save_password) texts.password = server.password;
    texts.use_compression = server.use_compression != 0;
    texts.use_ssl = server.use_ssl != 0;
    texts.comment = server.comment;
    return texts;
}

Result checkServerDialog(const ServerDialogTexts& texts, ServerDialogMode mode,
                         const std::vector<CServerSettings>& saved_servers) {
    if (texts.connection_name.empty()) {
        return refuse("Please input the Connection Name!", ServerDialogField::ConnectionName);
    }
    if (texts.host.empty()) return refuse("Please input the Server name or IP address!", ServerDialogField::Host);
    int32_t port = 0;
    if (auto failure = portFailure(texts.port, port)) return *failure;
    if (texts.save_password) {
        if (texts.user.empty()) return refuse("Please input the username!", ServerDialogField::User);
        if (texts.password.empty()) return refuse("Please input the password!", ServerDialogField::Password);
    }
    if (mode == ServerDialogMode::Add) {
        for (const CServerSettings& saved : saved_servers) {
            if (saved.connection_name == texts.connection_name) {
                return refuse("The connection name is already existed!", ServerDialogField::ConnectionName);
            }
        }
    }
    return serverOf(texts, port);
}

Result checkServerDialogConnection(const ServerDialogTexts& texts) {
    if (texts.host.empty()) return refuse("Please input the Host name or IP address!", ServerDialogField::Host);
    int32_t port = 0;
    if (auto failure = portFailure(texts.port, port)) return *failure;
    return serverOf(texts, port);
}

CheckResult<Accepted, ServerDialogField> checkServerItemChosen(int row) {
    if (row < 0) return refuse("Please choose a server item!", ServerDialogField::List);
    return Accepted{};
}

}  // namespace keelvault
