#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/schema_objects.h"

namespace keelvault {

// The two forms of a backup file: a plain SQL script, or a PHP page that
// sends each statement with mysql_query.
enum class DumpForm { Sql, Php };

// A statement as a PHP single-quoted string: backslashes doubled, quotes escaped.
std::string phpQuoted(std::string_view text);

// One output file of a backup run. Every write is checked; after the first
// failure the file counts as failed and takes no more writes.
class DumpFile {
public:
    DumpFile(DumpForm form, bool lf_only) : form_(form), eol_(lf_only ? "\n" : "\r\n") {}
    ~DumpFile();
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    // Creates (or empties) the file; false when it cannot be created.
    bool create(const std::string& path);
    // Closes the file; false when buffered data could not be written.
    bool close();
    bool isOpen() const { return file_ != nullptr; }
    bool failed() const { return failed_; }
    const std::string& path() const { return path_; }
    DumpForm form() const { return form_; }
    const std::string& eol() const { return eol_; }

    bool write(std::string_view text);
    // SQL form: the statement, ";" unless it ends with one, and EOL. PHP
    // form: the statement inside a mysql_query call line.
    bool writeStatement(std::string_view statement);
    bool writeStatements(const std::vector<std::string>& statements);
    // Hands the buffered data to the system, so a full disk shows here.
    bool flush();

    // Views whose definitions wait for the footer, with their database.
    struct PendingView {
        std::string database;
        SchemaObject view;
    };
    std::vector<PendingView> pending_views;
    // Database of the last USE in the file (empty when none).
    std::string current_database;

private:
    bool fail();

    DumpForm form_;
    std::string eol_;
    std::string path_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::string scratch_;
};

}  // namespace keelvault
