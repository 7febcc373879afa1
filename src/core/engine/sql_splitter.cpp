#include "core/engine/sql_splitter.h"

#include <array>
#include <cstring>

namespace keelvault {

namespace {

// How much of an oversized statement is kept to name it in the log.
constexpr size_t kOversizedHead = 512;
constexpr char kDirective[] = "delimiter";
constexpr size_t kDirectiveLength = sizeof kDirective - 1;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void rtrim(std::string& text) {
    while (!text.empty() && isSpace(text.back())) text.pop_back();
}

}  // namespace

SqlStatementSplitter::SqlStatementSplitter() {
    setDelimiter(";");
}

void SqlStatementSplitter::setDelimiter(std::string delimiter) {
    delimiter_ = std::move(delimiter);
    special_.fill(false);
    for (unsigned char c : {'\'', '"', '`', '-', '#', '/'}) special_[c] = true;
    special_[static_cast<unsigned char>(delimiter_[0])] = true;
}

void SqlStatementSplitter::append(const char* data, size_t size) {
    size_ += size;
    if (oversized_) return;
    if (text_.size() + size <= max_statement_) {
        text_.append(data, size);
        return;
    }
    // Too large to send: keep only its beginning to name it.
    oversized_ = true;
    if (text_.size() < kOversizedHead) text_.append(data, std::min(size, kOversizedHead - text_.size()));
}

bool SqlStatementSplitter::classifyComment(const char* p, const char* end, bool at_end, State& next,
                                           bool& executable) const {
    // p points at '/' followed by '*'. "/*!" and "/*M!" run on servers of
    // their version and later; version 999999 is a note for tools only.
    const char* q = p + 2;
    if (q == end) {
        if (!at_end) return false;
        next = State::BlockComment;
        executable = false;
        return true;
    }
    if (*q == 'M') {
        ++q;
        if (q == end && !at_end) return false;
    }
    if (q == end || *q != '!') {
        next = State::BlockComment;
        executable = false;
        return true;
    }
    ++q;
    static constexpr char kNever[] = "999999";
    for (size_t i = 0; i < 6; ++i) {
        if (q + i == end) {
            if (!at_end) return false;
            break;
        }
        if (q[i] != kNever[i]) {
            next = State::Normal;
            executable = true;
            return true;
        }
        if (i == 5) {
            next = State::BlockComment;
            executable = false;
            return true;
        }
    }
    next = State::Normal;
    executable = true;
    return true;
}

size_t SqlStatementSplitter::scan(const char* data, size_t size, bool at_end, std::vector<std::string>& out) {
    completed_ = false;
    const char* p = data;
    const char* const end = data + size;
    // Start of the bytes not yet added to the pending text; used only while
    // the text is significant (before that, white space and comments are dropped).
    const char* span = p;

    auto keepUpTo = [&](const char* upto) {
        if (significant_ && upto > span) append(span, static_cast<size_t>(upto - span));
        span = upto;
    };
    auto becomeSignificant = [&](const char* at) {
        if (!significant_) {
            significant_ = true;
            span = at;
        }
    };
    auto needMore = [&]() {
        keepUpTo(p);
        return static_cast<size_t>(p - data);
    };

    while (p < end) {
        switch (state_) {
            case State::Single:
            case State::Double: {
                const char quote = state_ == State::Single ? '\'' : '"';
                while (p < end) {
                    const char c = *p++;
                    if (escape_) {
                        escape_ = false;
                    } else if (c == '\\') {
                        escape_ = true;
                    } else if (c == quote) {
                        state_ = State::Normal;
                        break;
                    }
                }
                continue;
            }
            case State::Backtick: {
                const void* close = std::memchr(p, '`', static_cast<size_t>(end - p));
                if (!close) {
                    p = end;
                } else {
                    p = static_cast<const char*>(close) + 1;
                    state_ = State::Normal;
                }
                continue;
            }
            case State::LineComment: {
                const void* eol = std::memchr(p, '\n', static_cast<size_t>(end - p));
                if (!eol) {
                    p = end;
                } else {
                    p = static_cast<const char*>(eol);
                    state_ = State::Normal;
                }
                continue;
            }
            case State::BlockComment:
                while (p < end) {
                    if (*p == '*') {
                        if (p + 1 == end) {
                            if (!at_end) return needMore();
                            ++p;
                            break;
                        }
                        if (p[1] == '/') {
                            p += 2;
                            state_ = State::Normal;
                            break;
                        }
                    }
                    ++p;
                }
                continue;
            case State::Normal:
                break;
        }

        if (significant_) {
            while (p < end && !special_[static_cast<unsigned char>(*p)]) ++p;
            if (p == end) break;
        }
        const char c = *p;
        if (!significant_ && isSpace(c)) {
            ++p;
            continue;
        }

        if (c == delimiter_[0]) {
            const size_t length = delimiter_.size();
            if (static_cast<size_t>(end - p) < length && !at_end) return needMore();
            if (static_cast<size_t>(end - p) >= length && std::memcmp(p, delimiter_.data(), length) == 0) {
                keepUpTo(p);
                p += length;
                span = p;
                if (!significant_) continue;  // nothing but a terminator
                complete(out);
                return static_cast<size_t>(p - data);
            }
        }

        switch (c) {
            case '\'':
                becomeSignificant(p);
                state_ = State::Single;
                ++p;
                continue;
            case '"':
                becomeSignificant(p);
                state_ = State::Double;
                ++p;
                continue;
            case '`':
                becomeSignificant(p);
                state_ = State::Backtick;
                ++p;
                continue;
            case '#':
                state_ = State::LineComment;
                ++p;
                continue;
            case '-': {
                if (end - p < 3 && !at_end) return needMore();
                const bool dashes = end - p >= 2 && p[1] == '-';
                if (dashes && (end - p == 2 || isSpace(p[2]) || static_cast<unsigned char>(p[2]) < ' ')) {
                    state_ = State::LineComment;
                    p += 2;
                    continue;
                }
                break;
            }
            case '/': {
                if (end - p < 2 && !at_end) return needMore();
                if (end - p >= 2 && p[1] == '*') {
                    State next = State::BlockComment;
                    bool executable = false;
                    if (!classifyComment(p, end, at_end, next, executable)) return needMore();
                    if (executable) {
                        // Executable text up to its "*/", which is plain text here.
                        becomeSignificant(p);
                        p += 2;
                    } else {
                        state_ = State::BlockComment;
                        p += 2;
                    }
                    continue;
                }
                break;
            }
            default:
                break;
        }

        if (!significant_ && (c == 'd' || c == 'D')) {
            // "DELIMITER x" on its own: the rest of its line names the new terminator.
            const size_t avail = static_cast<size_t>(end - p);
            if (avail < kDirectiveLength + 1 && !at_end) return needMore();
            bool directive = avail >= kDirectiveLength + 1 && (p[kDirectiveLength] == ' ' || p[kDirectiveLength] == '\t');
            for (size_t i = 0; directive && i < kDirectiveLength; ++i) directive = lower(p[i]) == kDirective[i];
            if (directive) {
                const char* arg = p + kDirectiveLength;
                const void* found = std::memchr(arg, '\n', static_cast<size_t>(end - arg));
                if (!found && !at_end) return needMore();
                const char* eol = found ? static_cast<const char*>(found) : end;
                while (arg < eol && isSpace(*arg)) ++arg;
                const char* stop = arg;
                if (arg < eol && (*arg == '\'' || *arg == '"' || *arg == '`')) {
                    const char quote = *arg++;
                    stop = arg;
                    while (stop < eol && *stop != quote) ++stop;
                } else {
                    while (stop < eol && !isSpace(*stop)) ++stop;
                }
                if (stop > arg) setDelimiter(std::string(arg, static_cast<size_t>(stop - arg)));
                p = eol;
                span = p;
                continue;
            }
        }
        becomeSignificant(p);
        ++p;
    }
    keepUpTo(p);
    return static_cast<size_t>(p - data);
}

void SqlStatementSplitter::complete(std::vector<std::string>& out) {
    if (delimiter_ != ";") rtrim(text_);
    if (oversized_) {
        last_oversized_ = Oversized{text_, size_};
    } else {
        text_ += ';';
        out.push_back(text_);
    }
    completed_ = true;
    text_.clear();
    significant_ = false;
    oversized_ = false;
    size_ = 0;
}

void SqlStatementSplitter::finish(std::vector<std::string>& out) {
    if (significant_) {
        rtrim(text_);
        if (oversized_) {
            last_oversized_ = Oversized{text_, size_};
        } else {
            if (text_.empty() || text_.back() != ';') text_ += ';';
            out.push_back(text_);
        }
    }
    dropPending();
}

std::optional<SqlStatementSplitter::Oversized> SqlStatementSplitter::takeOversized() {
    std::optional<Oversized> taken = std::move(last_oversized_);
    last_oversized_.reset();
    return taken;
}

void SqlStatementSplitter::dropPending() {
    text_.clear();
    state_ = State::Normal;
    escape_ = false;
    significant_ = false;
    oversized_ = false;
    size_ = 0;
}

void SqlStatementSplitter::reset() {
    dropPending();
    setDelimiter(";");
    completed_ = false;
    last_oversized_.reset();
}

}  // namespace keelvault
