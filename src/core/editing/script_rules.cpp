#include "core/editing/script_rules.h"

#include "core/engine/script_reader.h"

namespace keelvault {

std::string scriptEditText(const std::vector<std::string>& statements) {
    std::string text;
    for (const std::string& statement : statements) text += statement + "\r\n\r\n";
    return text;
}

CheckResult<std::vector<std::string>, ScriptField> checkScriptText(const std::string& text) {
    std::vector<std::string> statements = cutScriptText(text);
    if (statements.empty()) return refuse("Please input the SQL script!", ScriptField::Text);
    return statements;
}

}  // namespace keelvault
