#pragma once

#include <string>

#include "core/editing/check_result.h"
#include "core/model/task.h"

namespace keelvault {

// The server connection block of the server and database pages.
enum class ServerBlockField { Host, Port, User, Password, None };

struct ServerBlockTexts {
    std::string connection_name;  // the saved connection it was filled from, if any
    std::string host;
    std::string port;
    std::string user;
    std::string password;
    bool use_compression = false;
    bool use_ssl = false;
};

// The fields as the block shows a server: the port as "%d".
ServerBlockTexts serverBlockTexts(const CServerSettings& server);

// Validates the block (Next, leaving a tab, Test connection). The accepted
// server starts from cleared settings, so it carries only what the block
// holds: database, comment and save-password are empty/off.
CheckResult<CServerSettings, ServerBlockField> checkServerBlock(const ServerBlockTexts& texts);

// The port rule shared with the server dialog, which words the digit message
// differently: every character a digit, then 1..65535 (empty counts as 0).
// On success `port` holds the value.
bool portTextIsNumber(const std::string& text);
bool portTextInRange(const std::string& text, int32_t& port);

// A destination server page refuses the source server itself: equal host
// names (exact, case-sensitive) and equal ports. Types with no source server
// (restore from files) never compare.
CheckResult<CServerSettings, ServerBlockField> checkDestinationNotSource(const CServerSettings& destination,
                                                                         const CServerSettings& source, int task_type);

// Where the focus goes after a saved connection filled the block: the first
// of host, port, user and password that still needs input, else None.
ServerBlockField firstFieldNeedingInput(const CServerSettings& server);

}  // namespace keelvault
