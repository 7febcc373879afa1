#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace keelvault::test {

// The folder of the sample database shipped in share/sample (gzipped SQL);
// KEELVAULT_SAKILA_DIR points elsewhere.
inline std::string sakilaDir() {
    const char* dir = std::getenv("KEELVAULT_SAKILA_DIR");
    return dir && *dir ? dir : std::string(KEELVAULT_SOURCE_DIR) + "/share/sample";
}

// A shell command that prints the SQL of one of its files: "schema" or "data".
inline std::string sakilaCatCommand(const std::string& part) {
    return "gzip -dc '" + sakilaDir() + "/sakila-" + part + ".sql.gz'";
}

// The path of one of its files, for stamps of what was loaded.
inline std::string sakilaFile(const std::string& part) { return sakilaDir() + "/sakila-" + part + ".sql.gz"; }

// The SQL text of one of its files.
inline std::string sakilaSql(const std::string& part) {
    std::string text;
    if (FILE* pipe = popen(sakilaCatCommand(part).c_str(), "r")) {
        char buf[65536];
        for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
        pclose(pipe);
    }
    return text;
}

}  // namespace keelvault::test
