#include "core/engine/gzip_file.h"

namespace keelvault {

namespace {

// Room zlib writes into per call before the output string grows.
constexpr size_t kOutputStep = 64 * 1024;
// windowBits 15 plus 16: a gzip header and trailer around the deflate data.
constexpr int kGzipWindowBits = 15 + 16;
constexpr int kMemLevel = 8;

}  // namespace

GzipDeflater::~GzipDeflater() { reset(); }

void GzipDeflater::reset() {
    if (active_) deflateEnd(&stream_);
    active_ = false;
}

bool GzipDeflater::begin(int level) {
    reset();
    if (level < 1 || level > 9) return false;
    stream_ = z_stream{};
    if (deflateInit2(&stream_, level, Z_DEFLATED, kGzipWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    active_ = true;
    return true;
}

bool GzipDeflater::run(std::string_view input, int flush, std::string& out) {
    if (!active_) return false;
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream_.avail_in = static_cast<uInt>(input.size());
    for (;;) {
        const size_t used = out.size();
        out.resize(used + kOutputStep);
        stream_.next_out = reinterpret_cast<Bytef*>(out.data() + used);
        stream_.avail_out = static_cast<uInt>(kOutputStep);
        const int code = deflate(&stream_, flush);
        out.resize(used + kOutputStep - stream_.avail_out);
        if (code == Z_STREAM_END) return true;
        if (code != Z_OK && code != Z_BUF_ERROR) return false;
        // Without Z_FINISH the input is taken whole once zlib leaves room unused.
        if (flush != Z_FINISH && stream_.avail_in == 0 && stream_.avail_out != 0) return true;
    }
}

bool GzipDeflater::add(std::string_view input, std::string& out) {
    // zlib counts input in 32-bit units; a larger piece goes in parts.
    constexpr size_t kMaxPiece = 1u << 30;
    while (input.size() > kMaxPiece) {
        if (!run(input.substr(0, kMaxPiece), Z_NO_FLUSH, out)) return false;
        input.remove_prefix(kMaxPiece);
    }
    return run(input, Z_NO_FLUSH, out);
}

bool GzipDeflater::finish(std::string& out) {
    const bool ok = run({}, Z_FINISH, out);
    reset();
    return ok;
}

}  // namespace keelvault
