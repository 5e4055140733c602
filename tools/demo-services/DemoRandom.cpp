#include "DemoRandom.h"

#include "Util/Base64.h"

#include <stdexcept>

#include <openssl/rand.h>

namespace ostrel::demo {

namespace {

std::string randomBytes(size_t count) {
    std::string bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1)
        throw std::runtime_error("no random bytes");
    return bytes;
}

} // namespace

std::string randomToken(size_t bytes) {
    return base64UrlEncode(randomBytes(bytes));
}

std::string randomCode(size_t count, std::string_view alphabet) {
    std::string code;
    for (const char byte : randomBytes(count))
        code += alphabet[static_cast<unsigned char>(byte) % alphabet.size()];
    return code;
}

} // namespace ostrel::demo
