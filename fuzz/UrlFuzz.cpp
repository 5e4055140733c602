// Addresses come from the store (next-page links, download locations) and from deep links.
#include "Util/Url.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto& set = ostrel::AllowedCharacters::downloadLocation();
    if (ostrel::percentDecode(ostrel::percentEncode(text, ostrel::AllowedCharacters::queryValue())) != text)
        std::abort();
    if (const auto url = ostrel::Url::parse(ostrel::percentEncode(text, set))) {
        (void)url->host();
        (void)url->port();
        (void)url->user();
        (void)url->password();
        (void)url->queryItems();
        (void)url->pathAndQuery();
        (void)url->withoutCredentials().text();
        (void)url->appendingQueryItem("redirect", "false");
    }
    static const ostrel::Url base("https://store.example/api/customer/inventory/products?page=1");
    if (const auto resolved = base.resolved(text))
        (void)resolved->queryItems();
    return 0;
}
