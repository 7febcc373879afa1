#pragma once

#include <zlib.h>

#include <string>
#include <string_view>

namespace keelvault {

// Deflates a byte stream into one gzip member, piece by piece, so a backup
// file is compressed while it is written and never lies on the disk
// uncompressed. The output is what `gzip -LEVEL` gives for the same bytes
// (apart from the header's name and time fields) and is read back by
// gzip_unpack and `gzip -d`.
class GzipDeflater {
public:
    GzipDeflater() = default;
    ~GzipDeflater();
    GzipDeflater(const GzipDeflater&) = delete;
    GzipDeflater& operator=(const GzipDeflater&) = delete;

    // Starts a new member at `level` (1..9); false for a level outside that
    // range or when zlib has no memory.
    bool begin(int level);
    bool active() const { return active_; }
    // Compresses `input` and appends whatever output zlib gives to `out`.
    bool add(std::string_view input, std::string& out);
    // Ends the member: the last compressed data and the trailer go to `out`.
    bool finish(std::string& out);
    // Drops a member that is not to be finished.
    void reset();

private:
    bool run(std::string_view input, int flush, std::string& out);

    z_stream stream_{};
    bool active_ = false;
};

}  // namespace keelvault
