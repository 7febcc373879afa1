#include "core/editing/server_block_rules.h"

#include "core/editing/number_text.h"

namespace keelvault {

ServerBlockTexts serverBlockTexts(const CServerSettings& server) {
    ServerBlockTexts texts;
    texts.connection_name = server.connection_name;
    texts.host = server.host;
    texts.port = std::to_string(server.port);
    texts.user = server.user;
    texts.password = server.password;
    texts.use_compression = server.use_compression != 0;
    texts.use_ssl = server.use_ssl != 0;
    return texts;
}

bool portTextIsNumber(const std::string& text) {
    return numberTextValue(text).has_value();
}

bool portTextInRange(const std::string& text, int32_t& port) {
    const std::optional<int64_t> value = numberTextValue(text);
    if (!value || *value < 1 || *value > 65535) return false;
    port = static_cast<int32_t>(*value);
    return true;
}

CheckResult<CServerSettings, ServerBlockField> checkServerBlock(const ServerBlockTexts& texts) {
    CServerSettings server;
    server.host.clear();
    server.port = 0;
    server.user.clear();

    if (texts.host.empty()) return refuse("Please input the Host name or IP address!", ServerBlockField::Host);
    if (!portTextIsNumber(texts.port)) {
        return refuse("The port must be a number between 1 and 65535!", ServerBlockField::Port);
    }
    if (!portTextInRange(texts.port, server.port)) {
        return refuse("Please input a number between 1 and 65535!", ServerBlockField::Port);
    }
    server.connection_name = texts.connection_name;
    server.host = texts.host;
    server.user = texts.user;
    server.password = texts.password;
    server.use_compression = texts.use_compression ? 1 : 0;
    server.use_ssl = texts.use_ssl ? 1 : 0;
    return server;
}

CheckResult<CServerSettings, ServerBlockField> checkDestinationNotSource(const CServerSettings& destination,
                                                                         const CServerSettings& source, int task_type) {
    if (task_type != kTypeRestoreFromFiles && destination.host == source.host && destination.port == source.port) {
        return refuse("The destination server can't same as the source server!", ServerBlockField::Host);
    }
    return destination;
}

ServerBlockField firstFieldNeedingInput(const CServerSettings& server) {
    if (server.host.empty()) return ServerBlockField::Host;
    if (server.port < 1 || server.port > 65535) return ServerBlockField::Port;
    if (server.user.empty()) return ServerBlockField::User;
    if (server.password.empty()) return ServerBlockField::Password;
    return ServerBlockField::None;
}

}  // namespace keelvault
