#pragma once

#include <string>

namespace keelvault {

// A name for SQL text: between backquotes with every inner backquote doubled
// when `quote` is set, else the name as it is, unless it holds characters
// that cannot stand bare (then it is quoted all the same).
std::string quoteName(const std::string& name, bool quote);

// A name to stand inside '...' as a LIKE pattern that matches exactly that
// name: quotes, backslashes, '_' and '%' lose their special meaning.
std::string escapeForLike(const std::string& name);

// A text to stand inside '...' as a plain string literal.
std::string escapeStringLiteral(const std::string& text);

}  // namespace keelvault
