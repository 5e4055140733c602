#include "Verify/Signature/FileBytes.h"

#include "Util/Hex.h"
#include "Util/OpenSslPtr.h"
#include "Verify/Signature/SignatureDefect.h"

#include <array>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace ostrel::FileBytes {
namespace {

constexpr size_t blockSize = 64 * 1024;

// Reads up to `length` bytes at `offset`, retrying short reads; returns how many arrived.
size_t readSome(int fd, uint64_t offset, uint8_t* into, size_t length) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd, into + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

EvpMdCtxPtr startDigest(const EVP_MD* md) {
    EvpMdCtxPtr ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1)
        throw SignatureDefect("the digest could not be started");
    return ctx;
}

std::vector<uint8_t> finishDigest(EVP_MD_CTX* ctx) {
    std::vector<uint8_t> out(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx, out.data(), &length) != 1)
        throw SignatureDefect("the digest could not be finished");
    out.resize(length);
    return out;
}

// Turns an open attempt into a regular file or a precise refusal.
UniqueFd checkedRegular(UniqueFd fd, std::string_view shownAs) {
    if (!fd) {
        const char* why = errno == ENOENT ? " is missing" : errno == ELOOP ? " is a link" : " cannot be read";
        throw SignatureDefect(std::string(shownAs) + why);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw SignatureDefect(std::string(shownAs) + " is not a regular file");
    return fd;
}

} // namespace

UniqueFd openRegular(const std::filesystem::path& file, std::string_view shownAs) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    return checkedRegular(std::move(fd), shownAs);
}

UniqueFd openBeneath(const std::filesystem::path& root, const std::filesystem::path& relative,
                     std::string_view shownAs) {
    std::vector<std::string> parts;
    for (const auto& part : relative)
        parts.push_back(part.string());
    if (parts.empty())
        throw SignatureDefect(std::string(shownAs) + " cannot be read");
    UniqueFd dir(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t i = 0; dir && i + 1 < parts.size(); ++i) {
        if (parts[i] == ".." || parts[i] == "." || parts[i].empty() || parts[i] == "/")
            throw SignatureDefect(std::string(shownAs) + " cannot be read");
        UniqueFd next(::openat(dir.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) {
            int failure = errno;
            struct stat st {};
            if (::fstatat(dir.get(), parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
                throw SignatureDefect(std::string(shownAs) + " lies behind a link");
            errno = failure;
        }
        dir = std::move(next);
    }
    if (!dir)
        throw SignatureDefect(std::string(shownAs) + (errno == ENOENT ? " is missing" : " cannot be read"));
    UniqueFd fd(::openat(dir.get(), parts.back().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    return checkedRegular(std::move(fd), shownAs);
}

uint64_t sizeOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw SignatureDefect("a file's size cannot be read");
    return static_cast<uint64_t>(st.st_size);
}

std::vector<uint8_t> readCapped(const std::filesystem::path& file, uint64_t maxBytes, std::string_view shownAs) {
    UniqueFd fd = openRegular(file, shownAs);
    return readCapped(fd.get(), maxBytes, shownAs);
}

std::vector<uint8_t> readCapped(int fd, uint64_t maxBytes, std::string_view shownAs) {
    uint64_t size = sizeOf(fd);
    if (size > maxBytes)
        throw SignatureDefect(std::string(shownAs) + " is too large");
    return readAt(fd, 0, size, shownAs);
}

std::vector<uint8_t> readAt(int fd, uint64_t offset, uint64_t length, std::string_view shownAs) {
    std::vector<uint8_t> out(length);
    if (readSome(fd, offset, out.data(), out.size()) != length)
        throw SignatureDefect(std::string(shownAs) + " is cut short");
    return out;
}

std::vector<uint8_t> digestRange(int fd, uint64_t offset, uint64_t length, const EVP_MD* md) {
    EvpMdCtxPtr ctx = startDigest(md);
    std::vector<uint8_t> block(blockSize);
    for (uint64_t done = 0; done < length;) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(blockSize, length - done));
        size_t got = readSome(fd, offset + done, block.data(), want);
        if (got != want)
            throw SignatureDefect("a signed range lies beyond the end of the file");
        EVP_DigestUpdate(ctx.get(), block.data(), got);
        done += got;
    }
    return finishDigest(ctx.get());
}

std::vector<std::vector<uint8_t>> digestAll(int fd, std::span<const EVP_MD* const> mds) {
    std::vector<EvpMdCtxPtr> contexts;
    for (const EVP_MD* md : mds)
        contexts.push_back(startDigest(md));
    std::vector<uint8_t> block(blockSize);
    for (uint64_t offset = 0;;) {
        size_t got = readSome(fd, offset, block.data(), block.size());
        for (auto& ctx : contexts)
            EVP_DigestUpdate(ctx.get(), block.data(), got);
        offset += got;
        if (got < block.size())
            break;
    }
    std::vector<std::vector<uint8_t>> out;
    for (auto& ctx : contexts)
        out.push_back(finishDigest(ctx.get()));
    return out;
}

std::vector<uint8_t> digest(std::span<const uint8_t> bytes, const EVP_MD* md) {
    EvpMdCtxPtr ctx = startDigest(md);
    EVP_DigestUpdate(ctx.get(), bytes.data(), bytes.size());
    return finishDigest(ctx.get());
}

std::string hex(std::span<const uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

bool parseHex(std::string_view text, std::vector<uint8_t>& out) {
    if (text.size() % 2 != 0)
        return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = hexDigitValue(text[i]), lo = hexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return true;
}

} // namespace ostrel::FileBytes
