#pragma once

#include <string>
#include <vector>

#include "core/editing/check_result.h"
#include "core/model/task.h"

namespace keelvault {

// The "MySQL Server" dialog of the server manager, and the manager's own
// selection rule.
enum class ServerDialogField { ConnectionName, Host, Port, User, Password, List };

enum class ServerDialogMode { Add, Edit };

struct ServerDialogTexts {
    std::string connection_name;
    std::string host;
    std::string port;
    std::string user;
    bool save_password = false;
    std::string password;  // ignored unless save_password
    bool use_compression = false;
    bool use_ssl = false;
    std::string comment;
};

// The dialog on open: a port of 0 or above 65535 shows as 3306; the password
// shows only when it is saved.
ServerDialogTexts serverDialogTexts(const CServerSettings& server);

// O&K. The add mode also refuses a connection name that a saved server has
// (exact, case-sensitive); the edit mode does not compare names. A password
// is kept only when "Save password" is checked.
CheckResult<CServerSettings, ServerDialogField> checkServerDialog(const ServerDialogTexts& texts, ServerDialogMode mode,
                                                                  const std::vector<CServerSettings>& saved_servers);

// "&Test connection": host, then the port with the dialog's wording. The
// accepted server is the dialog's fields as O&K would store them.
CheckResult<CServerSettings, ServerDialogField> checkServerDialogConnection(const ServerDialogTexts& texts);

// Edit, delete, view and the moves of the manager need a selected row
// (`row` < 0 when none).
CheckResult<Accepted, ServerDialogField> checkServerItemChosen(int row);

}  // namespace keelvault
