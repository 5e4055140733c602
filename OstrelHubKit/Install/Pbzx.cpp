#include "Install/Pbzx.h"

#include "Install/InstallError.h"

#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include <lzma.h>

namespace ostrel::Pbzx {
namespace {

// A chunk's compressed size is bounded so a lying header cannot make us allocate without end.
constexpr uint64_t maxChunkBytes = 64ull * 1024 * 1024;
constexpr std::array<uint8_t, 6> xzMagic{0xFD, '7', 'z', 'X', 'Z', 0x00};

[[noreturn]] void malformed(const std::string& what) {
    throw InstallError::unsafeArchive("the package payload is damaged (" + what + ")");
}

bool readBigEndian64(std::istream& in, uint64_t& value) {
    std::array<unsigned char, 8> bytes{};
    if (!in.read(reinterpret_cast<char*>(bytes.data()), bytes.size()))
        return false;
    value = 0;
    for (const auto byte : bytes)
        value = (value << 8) | byte;
    return true;
}

struct LzmaStream {
    lzma_stream stream = LZMA_STREAM_INIT;
    LzmaStream() {
        if (lzma_stream_decoder(&stream, UINT64_MAX, 0) != LZMA_OK)
            malformed("no decoder");
    }
    ~LzmaStream() { lzma_end(&stream); }
    LzmaStream(const LzmaStream&) = delete;
    LzmaStream& operator=(const LzmaStream&) = delete;
};

// Writes bytes while keeping count against the limit.
class LimitedWriter {
public:
    LimitedWriter(const std::filesystem::path& file, int64_t limit) : out_(file, std::ios::binary), limit_(limit) {}
    void write(const uint8_t* data, size_t size) {
        written_ += static_cast<int64_t>(size);
        if (written_ > limit_)
            throw InstallError::tooLarge(written_);
        if (!out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size)))
            malformed("could not write");
    }

private:
    std::ofstream out_;
    int64_t limit_;
    int64_t written_ = 0;
};

void decodeXzChunk(const std::vector<uint8_t>& chunk, LimitedWriter& out) {
    LzmaStream xz;
    xz.stream.next_in = chunk.data();
    xz.stream.avail_in = chunk.size();
    std::array<uint8_t, 1 << 16> buffer{};
    for (;;) {
        xz.stream.next_out = buffer.data();
        xz.stream.avail_out = buffer.size();
        const lzma_ret result = lzma_code(&xz.stream, LZMA_FINISH);
        out.write(buffer.data(), buffer.size() - xz.stream.avail_out);
        if (result == LZMA_STREAM_END)
            return;
        if (result != LZMA_OK)
            malformed("xz error " + std::to_string(static_cast<int>(result)));
    }
}

} // namespace

bool isPbzx(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    char magic[4] = {};
    return in.read(magic, sizeof magic) && std::memcmp(magic, "pbzx", 4) == 0;
}

void decode(const std::filesystem::path& input, const std::filesystem::path& output, int64_t maxOutputBytes) {
    std::ifstream in(input, std::ios::binary);
    char magic[4] = {};
    uint64_t flags = 0;
    if (!in.read(magic, sizeof magic) || std::memcmp(magic, "pbzx", 4) != 0 || !readBigEndian64(in, flags))
        malformed("no pbzx header");
    LimitedWriter out(output, maxOutputBytes);
    uint64_t chunkFlags = 0;
    while (readBigEndian64(in, chunkFlags)) {
        uint64_t size = 0;
        if (!readBigEndian64(in, size) || size > maxChunkBytes)
            malformed("bad chunk size");
        std::vector<uint8_t> chunk(size);
        if (!in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(size)))
            malformed("truncated chunk");
        // A chunk that did not compress is stored as it is.
        if (chunk.size() >= xzMagic.size() && std::equal(xzMagic.begin(), xzMagic.end(), chunk.begin()))
            decodeXzChunk(chunk, out);
        else
            out.write(chunk.data(), chunk.size());
    }
    if (!in.eof())
        malformed("could not read");
}

} // namespace ostrel::Pbzx
