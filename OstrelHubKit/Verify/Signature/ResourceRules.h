#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

namespace ostrel {

// One rule of a resource seal: a POSIX extended regular expression matched
// anywhere in a path relative to the bundle's contents folder.
struct ResourceRule {
    std::string pattern;
    bool omit = false;     // matching paths are not sealed at all
    bool optional = false; // a sealed path may be missing
    bool nested = false;   // matching folders with a "." in their name are nested code
    int64_t weight = 1;

    bool operator==(const ResourceRule&) const = default;
};

// The compiled rules of a seal. The rule that matches with the highest weight
// decides; on a tie the earlier rule stays. A path no rule matches is not sealed.
class ResourceRules {
public:
    // Limits on what a seal may ask of the regular-expression engine. codesign
    // writes about a dozen short rules. The rules come from the file being
    // checked, so they are compiled with RE2, whose matching time is linear in
    // the path and whose memory (program and match cache) stays within a
    // budget per rule, whatever the pattern: the system's regcomp can take
    // gigabytes for a pattern as short as "a" followed by a hundred "+".
    // Back-references, which only a backtracking engine can match, are refused.
    // A whole seal thus takes at most maxRules * maxRuleMemory (64 MiB).
    static constexpr size_t maxRules = 256;
    static constexpr size_t maxPatternLength = 1024;
    static constexpr int64_t maxRuleMemory = 256 * 1024;

    ResourceRules();
    ~ResourceRules();
    ResourceRules(ResourceRules&&) noexcept;
    ResourceRules& operator=(ResourceRules&&) noexcept;

    // Throws SignatureDefect when a pattern does not compile or passes a limit.
    void add(ResourceRule rule);
    const ResourceRule* match(std::string_view path) const;
    size_t size() const { return rules_.size(); }
    const ResourceRule& operator[](size_t i) const { return rules_[i].rule; }

    // The rules codesign writes by default into rules2, in its order.
    static std::vector<ResourceRule> codesignDefaults();

    // Strict sealing: a catch-all "^.*" rule that seals, and no omission but
    // the few codesign itself makes (Finder litter, Info.plist, PkgInfo,
    // localisation version files). Anything weaker could leave files unsealed.
    bool strict() const;

private:
    struct Compiled {
        ResourceRule rule;
        std::unique_ptr<re2::RE2> regex;
    };
    std::vector<Compiled> rules_;
};

} // namespace ostrel
