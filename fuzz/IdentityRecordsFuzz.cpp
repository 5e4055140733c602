// Feeds arbitrary bytes to the decoders of identity-service answers, and as text to the review
// draft's checks. A DecodingError is the expected answer to bad JSON; anything else escaping,
// or a crash, is a bug.
#include "RecordRoundTrip.h"
#include "Services/OstrelIDRecords.h"
#include "Services/Review.h"
#include "Services/ReviewDraft.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

using ostrel::fuzz::roundTrip;

namespace {

// Normalizing twice changes nothing, and the checks accept any bytes.
void checkDraft(const std::string& text, int64_t rating) {
    const ostrel::ReviewDraft draft{
        .productId = "p", .rating = rating, .title = text, .body = text, .displayName = text};
    const auto normal = draft.normalized();
    if (!(normal.normalized() == normal))
        __builtin_trap();
    (void)draft.problem();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkDraft(text, static_cast<int64_t>(size % 7));
    std::optional<ostrel::JsonTree> document;
    try {
        document.emplace(ostrel::JsonTree::parse(text));
    } catch (const ostrel::DecodingError&) {
        return 0;
    }
    roundTrip<ostrel::OstrelIDProfile>(*document);
    roundTrip<ostrel::OstrelIDSession>(*document);
    roundTrip<ostrel::OstrelIDPurchase>(*document);
    roundTrip<ostrel::ReviewPage>(*document);
    roundTrip<ostrel::MyReview>(*document);
    roundTrip<ostrel::PostedReview>(*document);
    roundTrip<ostrel::ReviewDraft>(*document);
    return 0;
}
