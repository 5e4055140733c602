#include "Verify/Signature/ResourceRules.h"

#include "Verify/Signature/SignatureDefect.h"

#include <algorithm>
#include <iterator>

namespace ostrel {

namespace {

bool hasBackReference(const std::string& pattern) {
    for (size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '\\')
            continue;
        if (pattern[i + 1] >= '1' && pattern[i + 1] <= '9')
            return true;
        ++i; // an escaped backslash before a digit is no back-reference
    }
    return false;
}

} // namespace

void ResourceRules::add(ResourceRule rule) {
    if (rules_.size() >= maxRules)
        throw SignatureDefect("the resource seal has too many rules");
    if (rule.pattern.size() > maxPatternLength || hasBackReference(rule.pattern))
        throw SignatureDefect("the resource rule \"" + rule.pattern.substr(0, 64) + "\" is not allowed");
    auto compiled = std::make_unique<regex_t>();
    if (regcomp(compiled.get(), rule.pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0)
        throw SignatureDefect("the resource rule \"" + rule.pattern + "\" is not a valid pattern");
    rules_.push_back({std::move(rule), std::unique_ptr<regex_t, RegexFree>(compiled.release())});
}

const ResourceRule* ResourceRules::match(std::string_view path) const {
    std::string text(path); // regexec needs a terminated string
    const ResourceRule* best = nullptr;
    for (const auto& c : rules_) {
        if (regexec(c.regex.get(), text.c_str(), 0, nullptr, 0) != 0)
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
