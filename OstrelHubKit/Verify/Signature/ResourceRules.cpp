#include "Verify/Signature/ResourceRules.h"

#include "Verify/Signature/SignatureDefect.h"

#include <algorithm>
#include <iterator>

#include <re2/re2.h>

namespace ostrel {

namespace {

// POSIX extended syntax as codesign's regcomp reads it, over the path's bytes:
// "^" and "$" hold only at the ends of the path, "." matches a newline too.
re2::RE2::Options posixOptions() {
    re2::RE2::Options options;
    options.set_posix_syntax(true);
    options.set_longest_match(true);
    options.set_encoding(re2::RE2::Options::EncodingLatin1);
    options.set_one_line(true);
    options.set_dot_nl(true);
    options.set_never_capture(true);
    options.set_log_errors(false);
    options.set_max_mem(ResourceRules::maxRuleMemory);
    return options;
}

std::string quoted(const std::string& pattern) {
    return "the resource rule \"" + pattern.substr(0, 64) + "\"";
}

bool overBudget(re2::RE2::ErrorCode code) {
    return code == re2::RE2::ErrorPatternTooLarge || code == re2::RE2::ErrorRepeatSize;
}

} // namespace

ResourceRules::ResourceRules() = default;
ResourceRules::~ResourceRules() = default;
ResourceRules::ResourceRules(ResourceRules&&) noexcept = default;
ResourceRules& ResourceRules::operator=(ResourceRules&&) noexcept = default;

void ResourceRules::add(ResourceRule rule) {
    if (rules_.size() >= maxRules)
        throw SignatureDefect("the resource seal has too many rules");
    if (rule.pattern.size() > maxPatternLength)
        throw SignatureDefect(quoted(rule.pattern) + " is not allowed");
    auto regex = std::make_unique<re2::RE2>(rule.pattern, posixOptions());
    if (overBudget(regex->error_code()))
        throw SignatureDefect(quoted(rule.pattern) + " is not allowed");
    if (!regex->ok())
        throw SignatureDefect(quoted(rule.pattern) + " is not a valid pattern");
    rules_.push_back({std::move(rule), std::move(regex)});
}

const ResourceRule* ResourceRules::match(std::string_view path) const {
    const ResourceRule* best = nullptr;
    for (const auto& c : rules_) {
        if (!re2::RE2::PartialMatch(re2::StringPiece(path.data(), path.size()), *c.regex))
            continue;
        if (best == nullptr || c.rule.weight > best->weight)
            best = &c.rule;
    }
    return best;
}

bool ResourceRules::strict() const {
    static const char* const allowedOmissions[] = {
        "^(.*/)?\\.DS_Store$",
        "^Info\\.plist$",
        "^PkgInfo$",
        "^Resources/.*\\.lproj/locversion.plist$",
    };
    bool catchAll = false;
    for (const auto& c : rules_) {
        if (c.rule.pattern == "^.*" && !c.rule.omit)
            catchAll = true;
        if (c.rule.omit && std::find(std::begin(allowedOmissions), std::end(allowedOmissions), c.rule.pattern) ==
                               std::end(allowedOmissions))
            return false;
    }
    return catchAll;
}

std::vector<ResourceRule> ResourceRules::codesignDefaults() {
    return {
        {.pattern = ".*\\.dSYM($|/)", .weight = 11},
        {.pattern = "^(.*/)?\\.DS_Store$", .omit = true, .weight = 2000},
        {.pattern = "^(Frameworks|SharedFrameworks|PlugIns|Plug-ins|XPCServices|Helpers|MacOS|Library/"
                    "(Automator|Spotlight|LoginItems))/",
         .nested = true,
         .weight = 10},
        {.pattern = "^.*"},
        {.pattern = "^Info\\.plist$", .omit = true, .weight = 20},
        {.pattern = "^PkgInfo$", .omit = true, .weight = 20},
        {.pattern = "^Resources/", .weight = 20},
        {.pattern = "^Resources/.*\\.lproj/", .optional = true, .weight = 1000},
        {.pattern = "^Resources/.*\\.lproj/locversion.plist$", .omit = true, .weight = 1100},
        {.pattern = "^Resources/Base\\.lproj/", .weight = 1010},
        {.pattern = "^[^/]+$", .nested = true, .weight = 10},
        {.pattern = "^embedded\\.provisionprofile$", .weight = 20},
        {.pattern = "^version\\.plist$", .weight = 20},
    };
}

} // namespace ostrel
