#include "core/engine/statement_sink.h"

#include "core/engine/batch_sender.h"
#include "core/engine/dump_file.h"
#include "core/engine/dump_statements.h"

namespace keelvault {

bool StatementSink::statements(const std::vector<std::string>& list) {
    bool ok = true;
    for (const std::string& sql : list) ok = statement(sql) && ok;
    return ok;
}

bool FileStatementSink::statement(std::string_view sql) {
    return file_.writeStatement(sql);
}

bool FileStatementSink::definition(std::string_view sql) {
    if (file_.form() == DumpForm::Php) return file_.writeStatement(sql);
    return file_.write(delimiterBlock(std::string(sql), file_.eol()));
}

bool ServerStatementSink::statement(std::string_view sql) {
    return sender_.add(std::string(sql)) && sender_.flush();
}

}  // namespace keelvault
