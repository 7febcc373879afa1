#include "core/engine/mysql_session.h"

#include <errmsg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/engine/sql_quote.h"
#include "core/scheduler/run_context.h"

namespace keelvault {

namespace {

constexpr unsigned long kClientCompress = 32;
constexpr unsigned long kClientSsl = 2048;
static_assert(kClientCompress == CLIENT_COMPRESS && kClientSsl == CLIENT_SSL);

std::string trimmed(const std::string& text) {
    constexpr const char* kBlank = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(kBlank);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

// The library initialises itself on the first mysql_init, which is not safe
// when two threads do it at once.
void initLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mysql_library_init(0, nullptr, nullptr); });
}

}  // namespace

unsigned long clientFlagsFor(const CServerSettings& settings) {
    unsigned long flags = 0;
    if (settings.use_compression) flags |= kClientCompress;
    if (settings.use_ssl) flags |= kClientSsl;
    return flags;
}

std::string connectionCharsetFor(const std::string& default_charset, unsigned long version) {
    if (default_charset.empty()) return {};
    return version >= kVersionUtf8mb4 ? "utf8mb4" : default_charset;
}

std::vector<std::string> charsetStatements(const std::string& default_charset, unsigned long version) {
    const std::string charset = escapeStringLiteral(connectionCharsetFor(default_charset, version));
    if (charset.empty()) return {};
    if (version < kVersionSetNames) {
        return {"SET CHARACTER_SET_CLIENT='" + charset + "'", "SET CHARACTER_SET_RESULTS='" + charset + "'",
                "SET CHARACTER_SET_CONNECTION='" + charset + "'"};
    }
    return {"SET NAMES '" + charset + "'"};
}

std::string connectFailedLogText(unsigned int error_number, const std::string& error_text, ServerRole role) {
    const char* which = role == ServerRole::Source ? "source " : role == ServerRole::Destination ? "destination " : "";
    char head[96];
    std::snprintf(head, sizeof head, "Failed to connect to the %sMySQL server!  Error NO. %u  ", which, error_number);
    return head + error_text;
}

std::string serverErrorLogText(unsigned int error_number, const std::string& error_text) {
    return "Error NO. " + std::to_string(error_number) + "  " + error_text;
}

std::string connectSucceededLogText(const std::string& version_text) {
    return "Connect to the MySQL server successfully!  MySQL version: " + version_text;
}

std::string connectFailedDialogText(unsigned int error_number, const std::string& error_text) {
    char head[96];
    std::snprintf(head, sizeof head, "Failed to connect to the MySQL server!\n\nError NO. %u\n", error_number);
    return head + error_text;
}

std::string connectSucceededDialogText(const std::string& version_text) {
    return "Connect to the MySQL server successfully!\n\nMySQL version: " + version_text;
}

MySqlSession::~MySqlSession() {
    close();
}

void MySqlSession::setConnectionHooks(std::function<void(MYSQL*)> on_init, std::function<void(MYSQL*)> before_close) {
    on_init_ = std::move(on_init);
    before_close_ = std::move(before_close);
}

void MySqlSession::registerWith(RunContext& context) {
    setConnectionHooks([&context](MYSQL* m) { context.registerConnection(m); },
                       [&context](MYSQL* m) { context.unregisterConnection(m); });
}

bool MySqlSession::open(const CServerSettings& settings) {
    close();
    error_number_ = 0;
    error_text_.clear();
    initLibraryOnce();
    MYSQL* handle = mysql_init(nullptr);
    if (!handle) {
        error_number_ = CR_OUT_OF_MEMORY;
        error_text_ = "Out of memory";
        return false;
    }
    mysql_ = handle;
    if (on_init_) on_init_(mysql_);
    if (settings.use_compression) mysql_options(mysql_, MYSQL_OPT_COMPRESS, nullptr);
    MYSQL* connected =
        mysql_real_connect(mysql_, settings.host.c_str(), settings.user.c_str(), settings.password.c_str(), nullptr,
                           static_cast<unsigned int>(settings.port), nullptr, clientFlagsFor(settings));
    if (connected != mysql_) {
        keepError();
        close();
        return false;
    }
    return true;
}

void MySqlSession::close() {
    if (!mysql_) return;
    if (before_close_) before_close_(mysql_);
    mysql_close(mysql_);
    mysql_ = nullptr;
}

void MySqlSession::keepError() {
    error_number_ = mysql_errno(mysql_);
    error_text_ = mysql_error(mysql_);
}

unsigned int MySqlSession::errorNumber() const {
    return mysql_ ? mysql_errno(mysql_) : error_number_;
}

std::string MySqlSession::errorText() const {
    return mysql_ ? std::string(mysql_error(mysql_)) : error_text_;
}

std::string MySqlSession::versionText() const {
    if (!mysql_) return {};
    const char* info = mysql_get_server_info(mysql_);
    return info ? info : "";
}

unsigned long MySqlSession::versionNumber() const {
    if (version_override_) return version_override_;
    return mysql_ ? mysql_get_server_version(mysql_) : 0;
}

CharsetStep MySqlSession::applyCharset(const char* query) {
    CharsetStep step;
    std::string value;
    if (!queryValue(query, value)) return step;
    step.name = trimmed(value);
    const unsigned long version = versionNumber();
    for (const std::string& statement : charsetStatements(step.name, version)) execute(statement);
    step.connection = connectionCharsetFor(step.name, version);
    return step;
}

CharsetStep MySqlSession::applyServerCharset() {
    return applyCharset("SELECT @@CHARACTER_SET_SERVER");
}

CharsetStep MySqlSession::applyDatabaseCharset() {
    return applyCharset("SELECT @@CHARACTER_SET_DATABASE");
}

bool MySqlSession::selectDatabase(const std::string& database) {
    return mysql_ && mysql_select_db(mysql_, database.c_str()) == 0;
}

bool MySqlSession::listDatabases(std::vector<std::string>& names) {
    names.clear();
    if (!mysql_) return false;
    ResultPtr result(mysql_list_dbs(mysql_, nullptr));
    if (!result) return false;
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        if (row[0]) names.emplace_back(row[0], lengths[0]);
    }
    return mysql_errno(mysql_) == 0;
}

bool MySqlSession::listTables(std::vector<TableEntry>& tables) {
    tables.clear();
    if (!mysql_) return false;
    std::vector<std::string> names;
    {
        ResultPtr result(mysql_list_tables(mysql_, nullptr));
        if (!result) return false;
        while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
            const unsigned long* lengths = mysql_fetch_lengths(result.get());
            if (row[0]) names.emplace_back(row[0], lengths[0]);
        }
        if (mysql_errno(mysql_) != 0) return false;
    }
    tables.reserve(names.size());
    for (std::string& name : names) {
        const uint8_t kind = tableKind(name);
        tables.push_back(TableEntry{std::move(name), kind});
    }
    return true;
}

uint8_t MySqlSession::tableKind(const std::string& name) {
    ResultPtr result = storeQuery("SHOW CREATE TABLE " + quoteName(name, quotingAllowed()));
    if (!result || mysql_num_fields(result.get()) == 0) return kKindUnknown;
    const MYSQL_FIELD* field = mysql_fetch_field_direct(result.get(), 0);
    if (!field || !field->name) return kKindUnknown;
    if (std::strcmp(field->name, "Table") == 0) return kKindTable;
    if (std::strcmp(field->name, "View") == 0) return kKindView;
    return kKindUnknown;
}

bool MySqlSession::execute(const std::string& sql) {
    if (!mysql_) return false;
    if (mysql_real_query(mysql_, sql.data(), static_cast<unsigned long>(sql.size())) != 0) return false;
    // Drain every result so the connection is ready for the next statement.
    for (;;) {
        ResultPtr result(mysql_store_result(mysql_));
        if (!result && mysql_field_count(mysql_) != 0) return false;
        const int next = mysql_next_result(mysql_);
        if (next > 0) return false;
        if (next < 0) return true;
    }
}

ResultPtr MySqlSession::storeQuery(const std::string& sql) {
    if (!mysql_) return nullptr;
    if (mysql_real_query(mysql_, sql.data(), static_cast<unsigned long>(sql.size())) != 0) return nullptr;
    return ResultPtr(mysql_store_result(mysql_));
}

ResultPtr MySqlSession::useQuery(const std::string& sql) {
    if (!mysql_) return nullptr;
    if (mysql_real_query(mysql_, sql.data(), static_cast<unsigned long>(sql.size())) != 0) return nullptr;
    return ResultPtr(mysql_use_result(mysql_));
}

bool MySqlSession::queryValue(const std::string& sql, std::string& value) {
    value.clear();
    ResultPtr result = storeQuery(sql);
    if (!result || mysql_num_fields(result.get()) == 0) return false;
    MYSQL_ROW row = mysql_fetch_row(result.get());
    if (!row || !row[0]) return false;
    value.assign(row[0], mysql_fetch_lengths(result.get())[0]);
    return true;
}

unsigned long long MySqlSession::maxAllowedPacket() {
    std::string value;
    if (!queryValue("SELECT @@max_allowed_packet", value)) return 0;
    return std::strtoull(value.c_str(), nullptr, 10);
}

}  // namespace keelvault
