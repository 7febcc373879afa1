#pragma once

#include <mysql.h>

#include <string>

namespace keelvault {

// Appends the SQL text of one column value: NULL, numbers as the server sent
// them, dates and decimals in quotes, BIT and GEOMETRY as hex literals (raw
// bytes cannot stand in SQL text), everything else escaped by the client
// library and quoted. `mysql` gives the escaping its character set.
void appendColumnValue(std::string& out, MYSQL* mysql, const char* value, unsigned long length,
                       const MYSQL_FIELD& field);

// Appends the parenthesised value list of one row: "(v1,v2,...)", no blanks.
void appendRowValues(std::string& out, MYSQL* mysql, MYSQL_ROW row, const unsigned long* lengths,
                     const MYSQL_FIELD* fields, unsigned int count);

std::string formatRowValues(MYSQL* mysql, MYSQL_ROW row, const unsigned long* lengths, const MYSQL_FIELD* fields,
                            unsigned int count);

}  // namespace keelvault
