#include "Services/ReviewDraft.h"

#include "Util/Unicode.h"

namespace ostrel {

namespace {

std::string trimmed(const std::string& text) {
    return std::string(Unicode::trimmingWhitespace(text));
}

bool longerThan(const std::string& text, size_t limit) {
    return Unicode::characterCount(text) > limit;
}

std::string keepUnder(const char* what, size_t limit) {
    return std::string("Keep the ") + what + " under " + std::to_string(limit) + " characters.";
}

} // namespace

ReviewDraft ReviewDraft::normalized() const {
    ReviewDraft draft = *this;
    draft.title = trimmed(title);
    draft.body = trimmed(body);
    if (displayName) {
        draft.displayName = trimmed(*displayName);
        if (draft.displayName->empty())
            draft.displayName.reset();
    }
    return draft;
}

std::optional<std::string> ReviewDraft::problem() const {
    const auto draft = normalized();
    if (draft.rating < 1 || draft.rating > 5)
        return "Choose a rating from one to five stars.";
    if (draft.title.empty())
        return "Add a title.";
    if (longerThan(draft.title, titleLimit))
        return keepUnder("title", titleLimit);
    if (draft.body.empty())
        return "Write a few words about it.";
    if (longerThan(draft.body, bodyLimit))
        return keepUnder("review", bodyLimit);
    if (draft.displayName && longerThan(*draft.displayName, nameLimit))
        return keepUnder("name", nameLimit);
    return std::nullopt;
}

void readJson(const JsonReader& in, ReviewDraft& out) {
    out = {
        .productId = in.required<std::string>("productId"),
        .rating = in.required<int64_t>("rating"),
        .title = in.required<std::string>("title"),
        .body = in.required<std::string>("body"),
        .displayName = in.optional<std::string>("displayName"),
    };
}

void to_json(nlohmann::json& json, const ReviewDraft& draft) {
    json = {{"productId", draft.productId}, {"rating", draft.rating}, {"title", draft.title}, {"body", draft.body}};
    writeOptional(json, "displayName", draft.displayName);
}

} // namespace ostrel
