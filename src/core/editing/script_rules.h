#pragma once

#include <string>
#include <vector>

#include "core/editing/check_result.h"

namespace keelvault {

// The SQL script page: free text cut into statements.
enum class ScriptField { Text };

// The edit's text for stored statements: each followed by "\r\n\r\n".
std::string scriptEditText(const std::vector<std::string>& statements);

// Next: the text cut into statements (the same cutting as the script file
// reader); a text that gives none is refused.
CheckResult<std::vector<std::string>, ScriptField> checkScriptText(const std::string& text);

}  // namespace keelvault
