#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/output_file.h"
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

    // Starts the file: its bytes go to a temporary file beside `path` until
    // close() puts it in place. With a `gzip_level` of 1..9 the file is
    // compressed as it is written. False when it cannot be created.
    bool create(const std::string& path, int gzip_level = 0);
    // Writes out, syncs and closes the file and renames it to its path,
    // replacing any file there; false (and nothing in place) when data could
    // not be written.
    bool close();
    // Gives the file up: with `keep`, what was written stays beside it as
    // path + ".incomplete" (that path is returned), else it is removed. An
    // old file under the path is left as it was.
    std::string abandon(bool keep);
    // Bytes handed to the file so far.
    uint64_t bytesWritten() const { return out_.size(); }
    bool isOpen() const { return out_.isOpen(); }
    bool failed() const { return failed_ || out_.failed(); }
    const std::string& path() const { return path_; }
    DumpForm form() const { return form_; }
    const std::string& eol() const { return eol_; }

    bool write(std::string_view text) {
        if (failed_ || !out_.append(text)) return fail();
        return true;
    }
    // SQL form: the statement, ";" unless it ends with one, and EOL. PHP
    // form: the statement inside a mysql_query call line.
    bool writeStatement(std::string_view statement);
    bool writeStatements(const std::vector<std::string>& statements);
    // A statement written in pieces, as writeStatement(prefix + body) would
    // write it, without putting it together first.
    bool writeStatement(std::string_view prefix, std::string_view body);
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
    bool closeStream();

    DumpForm form_;
    std::string eol_;
    std::string path_;
    std::string temp_path_;  // where the bytes go until close(); empty when written in place
    OutputFile out_;
    bool failed_ = false;
    std::string scratch_;
};

}  // namespace keelvault
