// Feeds arbitrary bytes to the decoders of store answers and to the store's
// date parser. A DecodingError is the expected answer to bad input; anything
// else escaping, or a crash, is a bug.
#include "RecordRoundTrip.h"
#include "Services/MoonbaseDate.h"
#include "Services/Order.h"
#include "Services/Paged.h"
#include "Services/Problem.h"
#include "Services/ProductSummary.h"
#include "Services/Storefront.h"
#include "Services/User.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

using ostrel::fuzz::roundTrip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)ostrel::MoonbaseDate::parse(text);
    (void)ostrel::Problem::fromBody(text);
    std::optional<ostrel::JsonTree> document;
    try {
        document.emplace(ostrel::JsonTree::parse(text));
    } catch (const ostrel::DecodingError&) {
        return 0;
    }
    roundTrip<ostrel::Storefront>(*document);
    roundTrip<ostrel::ProductSummary>(*document);
    roundTrip<ostrel::Paged<ostrel::ProductSummary>>(*document);
    roundTrip<ostrel::Order>(*document);
    roundTrip<ostrel::IdentityResponse>(*document);
    return 0;
}
