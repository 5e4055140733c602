#include "BundleBuilder.h"
#include "BundleTampering.h"
#include "CodeResourcesWriter.h"
#include "SignatureDefectText.h"
#include "TempDir.h"
#include "Verify/Signature/CodeResources.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/LinkContainment.h"
#include "Verify/Signature/PropertyList.h"
#include "Verify/Signature/ResourceSealCheck.h"
#include "Verify/Signature/SignatureDefect.h"

#include <filesystem>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace ostrel;
using namespace ostrel::fixtures;
namespace fs = std::filesystem;

namespace {

const std::vector<uint8_t> coreCdhash(20, 0xC0);
const std::string coreRequirement = "identifier \"com.ostrel.core\" and anchor apple generic";
const std::vector<uint8_t> helperCdhash(20, 0x4E);

// A plug-in with resources, an optional localisation, omitted litter, links
// and a nested framework, sealed as codesign would seal it.
fs::path sealedBundle(const fs::path& dir) {
    fs::path bundle = BundleBuilder(dir, "Echo.vst3")
                          .file("Resources/a.txt", "alpha")
                          .file("Resources/img/b.png", "png bytes")
                          .file("Resources/en.lproj/Loc.strings", "\"k\" = \"v\";")
                          .file("Resources/.DS_Store", "litter")
                          .file("PkgInfo", "BNDL????")
                          .symlink("Resources/current.txt", "a.txt")
                          .symlink("Frameworks/Lib", "Core.framework/Core")
                          .file("MacOS/echo-helper", "helper code")
                          .build();
    BundleBuilder::framework(bundle / "Contents/Frameworks", "Core.framework");
    CodeResourcesWriter(bundle)
        .nested("Frameworks/Core.framework", {coreCdhash, coreRequirement})
        .nested("MacOS/echo-helper", {helperCdhash, "identifier \"com.ostrel.echo-helper\""})
        .write();
    return bundle;
}

SealReport check(const fs::path& bundle) {
    BundleLayout layout = BundleLayout::read(bundle);
    auto bytes = layout.readCodeResources();
    return ResourceSealCheck::run(layout, CodeResources::parse(bytes, "Contents/_CodeSignature/CodeResources"));
}

std::string firstDetail(const fs::path& bundle) {
    return check(bundle).firstDetail().value_or("intact");
}

} // namespace

TEST(ResourceSeal, IntactBundlePassesAndListsNestedCode) {
    test::TempDir dir;
    fs::path bundle = sealedBundle(dir.path());
    SealReport report = check(bundle);
    EXPECT_TRUE(report.intact()) << report.firstDetail().value_or("");
    ASSERT_EQ(report.nested.size(), 2u);
    EXPECT_EQ(report.nested[0].path, "Contents/Frameworks/Core.framework");
    EXPECT_EQ(report.nested[0].location, bundle / "Contents/Frameworks/Core.framework");
    EXPECT_EQ(report.nested[0].cdhash, coreCdhash);
    EXPECT_EQ(report.nested[0].requirement, coreRequirement);
    // A helper executable is nested code too; its bytes are checked by its own signature.
    EXPECT_EQ(report.nested[1].path, "Contents/MacOS/echo-helper");
    EXPECT_EQ(report.nested[1].cdhash, helperCdhash);
    // Beside files2 and rules2, codesign writes the version 1 lists (bare SHA-1
    // data, rules without the catch-all); they are present, and not what is read.
    PropertyList written = PropertyList::parse(BundleLayout::read(bundle).readCodeResources(), "CodeResources");
    EXPECT_TRUE(
        PropertyList::data(PropertyList::member(PropertyList::member(written.root(), "files"), "Resources/a.txt")));
    EXPECT_FALSE(PropertyList::member(PropertyList::member(written.root(), "rules"), "^.*"));
    test::writeFile(bundle / "Contents/MacOS/echo-helper", "re-signed helper");

    // Omitted litter and the excluded parts may change freely.
    test::writeFile(bundle / "Contents/Resources/.DS_Store", "other litter");
    test::writeFile(bundle / "Contents/PkgInfo", "APPL????");
    test::writeFile(bundle / "Contents/MacOS/Echo", "re-signed executable");
    test::writeFile(bundle / "Contents/CodeResources", "stapled ticket");
    EXPECT_TRUE(check(bundle).intact());
}

TEST(ResourceSeal, ReportsModifiedAddedAndMissingFiles) {
    test::TempDir dir;
    fs::path bundle = sealedBundle(dir.path());
    Tampering::flipByte(bundle / "Contents/Resources/img/b.png", 3);
    EXPECT_EQ(firstDetail(bundle), "Contents/Resources/img/b.png was modified after signing");
    Tampering::flipByte(bundle / "Contents/Resources/img/b.png", 3);
    EXPECT_EQ(firstDetail(bundle), "intact");

    // Added anywhere: in a sealed folder, beside the sealed folders, in an
    // optional folder, beside Contents.
    for (const char* added :
         {"Contents/Resources/x.png", "Contents/Extra.txt", "Contents/Resources/en.lproj/New.strings", "Stray.txt"}) {
        test::writeFile(bundle / added, "new");
        EXPECT_EQ(firstDetail(bundle), std::string(added) + " was added after signing");
        fs::remove(bundle / added);
    }
    fs::create_symlink("../elsewhere", bundle / "Stray");
    EXPECT_EQ(firstDetail(bundle), "Stray link points outside the bundle");
    Tampering::relink(bundle / "Stray", "Contents");
    EXPECT_EQ(firstDetail(bundle), "Stray was added after signing");
    fs::remove(bundle / "Stray");

    fs::remove(bundle / "Contents/Resources/a.txt");
    EXPECT_EQ(firstDetail(bundle), "a sealed file is missing: Contents/Resources/a.txt");
    test::writeFile(bundle / "Contents/Resources/a.txt", "alpha");

    // A localisation is optional: it may go, and the report says it went.
    fs::remove(bundle / "Contents/Resources/en.lproj/Loc.strings");
    SealReport report = check(bundle);
    EXPECT_TRUE(report.intact());
    EXPECT_EQ(report.optionalMissing, std::vector<std::string>{"Contents/Resources/en.lproj/Loc.strings"});

    fs::remove_all(bundle / "Contents/Frameworks/Core.framework");
    EXPECT_EQ(firstDetail(bundle), "a sealed file is missing: Contents/Frameworks/Core.framework");
}

namespace {

std::string base64Of(const std::vector<uint8_t>& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::vector<uint8_t> digestOf(const std::string& text, const EVP_MD* md) {
    return FileBytes::digest({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, md);
}

} // namespace

TEST(ResourceSeal, EveryDigestOfASealedFileMustMatch) {
    test::TempDir dir;
    fs::path bundle = BundleBuilder(dir.path(), "Echo.clap").file("Resources/a.txt", "alpha").build();
    const fs::path seal = CodeResourcesWriter(bundle).withSha1().write();
    const std::string original = test::readFile(seal);
    EXPECT_EQ(firstDetail(bundle), "intact");
    // The seal's SHA-1 or its SHA-256 of a.txt swapped for that of other bytes:
    // the digest that still matches must not carry the file.
    for (const EVP_MD* md : {EVP_sha1(), EVP_sha256()}) {
        std::string tampered = original;
        const std::string sealed = base64Of(digestOf("alpha", md));
        const size_t at = tampered.find(sealed, tampered.find("<key>files2</key>"));
        ASSERT_NE(at, std::string::npos) << EVP_MD_get0_name(md);
        tampered.replace(at, sealed.size(), base64Of(digestOf("omega", md)));
        test::writeFile(seal, tampered);
        EXPECT_EQ(firstDetail(bundle), "Contents/Resources/a.txt was modified after signing") << EVP_MD_get0_name(md);
    }
}

TEST(ResourceSeal, ChecksLinkTargetsAndContainment) {
    test::TempDir dir;
    fs::path bundle = sealedBundle(dir.path());
    fs::path lib = bundle / "Contents/Frameworks/Lib";
    Tampering::relink(lib, "./Core.framework/Core"); // same place, different text
    EXPECT_EQ(firstDetail(bundle), "Contents/Frameworks/Lib link target was changed after signing");
    Tampering::relink(lib, "../../../outside");
    EXPECT_EQ(firstDetail(bundle), "Contents/Frameworks/Lib link points outside the bundle");
    Tampering::relink(lib, "/usr/lib");
    EXPECT_EQ(firstDetail(bundle), "Contents/Frameworks/Lib link points to an absolute path");
    // Climbing to the bundle root and back in stays inside.
    Tampering::relink(lib, "../../Contents/Resources/a.txt");
    EXPECT_EQ(firstDetail(bundle), "Contents/Frameworks/Lib link target was changed after signing");

    // A chain of links is followed within the tree: each hop looks harmless alone.
    Tampering::relink(lib, "Core.framework/Core");
    fs::create_symlink("../..", bundle / "Contents/Frameworks/Core.framework/Versions/Up");
    Tampering::relink(bundle / "Contents/Frameworks/Core.framework/Core", "Versions/Up/../../../etc");
    SealReport report = check(bundle);
    ASSERT_FALSE(report.intact());
    EXPECT_EQ(report.issues[0].detail(), "Contents/Frameworks/Lib link points outside the bundle");

    // A loop never hangs the check.
    Tampering::relink(lib, "Loop");
    fs::create_symlink("Lib", bundle / "Contents/Frameworks/Loop");
    EXPECT_EQ(firstDetail(bundle), "Contents/Frameworks/Lib link points outside the bundle");
}

TEST(LinkContainment, FollowsChainsUpToItsHopLimit) {
    test::TempDir dir;
    test::writeFile(dir / "tree/target.txt", "t");
    // link0 -> link1 -> ... -> linkN -> target.txt: N+1 links on the way.
    auto chain = [&](int links) {
        fs::remove_all(dir / "tree/chain");
        fs::create_directories(dir / "tree/chain");
        for (int i = 0; i < links; ++i) {
            std::string next = i + 1 == links ? "../target.txt" : "link" + std::to_string(i + 1);
            fs::create_symlink(next, dir / "tree/chain" / ("link" + std::to_string(i)));
        }
        return resolveLinkInside(dir / "tree", "chain/link0");
    };
    EXPECT_EQ(chain(maxLinkHops), LinkContainment::inside);
    EXPECT_EQ(chain(maxLinkHops + 1), LinkContainment::tooDeep);
}

TEST(ResourceSeal, RefusesCorruptOrOldSeals) {
    test::TempDir dir;
    fs::path bundle = sealedBundle(dir.path());
    fs::path seal = bundle / "Contents/_CodeSignature/CodeResources";
    Tampering::flipByte(seal, 0);
    try {
        check(bundle);
        FAIL() << "a corrupt seal was read";
    } catch (const SignatureDefect& e) {
        EXPECT_EQ(e.detail(), "Contents/_CodeSignature/CodeResources is not a readable property list");
    }
    auto parse = [](const std::string& text) {
        std::vector<uint8_t> bytes(text.begin(), text.end());
        try {
            CodeResources::parse(bytes, "CodeResources");
        } catch (const SignatureDefect& e) {
            return e.detail();
        }
        return std::string("parsed");
    };
    const std::string rules = "<key>rules2</key><dict><key>^.*</key><true/></dict>";
    EXPECT_EQ(parse("<plist><dict>" + rules + "</dict></plist>"), "CodeResources has no sealed file list");
    EXPECT_EQ(parse("<plist><dict><key>files2</key><dict><key>a</key><dict><key>hash2</key><data>AAAA</data>"
                    "</dict></dict>" +
                    rules + "</dict></plist>"),
              "the seal of a is malformed");
    EXPECT_EQ(parse("<plist><dict><key>files2</key><dict><key>a</key><dict><key>optional</key><true/>"
                    "</dict></dict>" +
                    rules + "</dict></plist>"),
              "the seal of a has no hash");
    EXPECT_EQ(parse("<plist><dict><key>files2</key><dict/><key>rules2</key><dict><key>([</key><true/></dict>"
                    "</dict></plist>"),
              "the resource rule \"([\" is not a valid pattern");
    // codesign writes weights as reals; a fraction is not a weight.
    auto withRule = [&](const std::string& rule) {
        return parse("<plist><dict><key>files2</key><dict/><key>rules2</key><dict><key>^x</key>" + rule +
                     "</dict></dict></plist>");
    };
    EXPECT_EQ(withRule("<dict><key>weight</key><real>1000</real></dict>"), "parsed");
    EXPECT_EQ(withRule("<dict><key>weight</key><integer>20</integer><key>nested</key><false/></dict>"), "parsed");
    EXPECT_EQ(withRule("<dict><key>weight</key><real>2.5</real></dict>"), "the resource rule \"^x\" is malformed");
    EXPECT_EQ(withRule("<string>yes</string>"), "the resource rule \"^x\" is malformed");

    // Only the old files/rules pair: read, but refused by the check.
    std::string old = "<plist><dict><key>files</key><dict/><key>rules</key><dict/></dict></plist>";
    CodeResources legacy = CodeResources::parse(std::vector<uint8_t>(old.begin(), old.end()), "CodeResources");
    EXPECT_TRUE(legacy.legacy);
    EXPECT_THROW(ResourceSealCheck::run(BundleLayout::read(bundle), legacy), SignatureDefect);
}

TEST(ResourceSeal, NestedBundleLinksMayReachIntoTheEnclosingBundleOnly) {
    test::TempDir dir;
    fs::path app = BundleBuilder(dir.path(), "Echo Hub.app").file("Resources/shared.txt", "shared").build();
    fs::path plugin = BundleBuilder(app / "Contents/PlugIns", "Echo.vst3")
                          .symlink("Resources/shared.txt", "../../../../Resources/shared.txt")
                          .build();
    CodeResourcesWriter(plugin).write();
    BundleLayout layout = BundleLayout::read(plugin);
    auto bytes = layout.readCodeResources();
    CodeResources seal = CodeResources::parse(bytes, "CodeResources");
    // Alone, the plug-in's link leaves it; inside the app that encloses it, it does not.
    EXPECT_EQ(ResourceSealCheck::run(layout, seal).firstDetail(),
              "Contents/Resources/shared.txt link points outside the bundle");
    EXPECT_TRUE(ResourceSealCheck::run(layout, seal, app).intact());
    Tampering::relink(plugin / "Contents/Resources/shared.txt", "../../../../../../etc/passwd");
    EXPECT_EQ(ResourceSealCheck::run(layout, seal, app).issues.front().kind, SealIssue::Kind::linkOutside);
}

TEST(ResourceSeal, RefusesRulesThatLeaveFilesUnsealed) {
    test::TempDir dir;
    BundleLayout layout = BundleLayout::read(sealedBundle(dir.path()));
    auto run = [&](const std::string& rules) {
        std::string text =
            "<plist><dict><key>files2</key><dict/><key>rules2</key><dict>" + rules + "</dict></dict></plist>";
        try {
            ResourceSealCheck::run(layout, CodeResources::parse(std::vector<uint8_t>(text.begin(), text.end()), "x"));
        } catch (const SignatureDefect& e) {
            return e.detail();
        }
        return std::string("accepted");
    };
    const std::string catchAll = "<key>^.*</key><true/>";
    const std::string plistOmitted = "<key>^Info\\.plist$</key><dict><key>omit</key><true/></dict>";
    EXPECT_EQ(run(catchAll + plistOmitted), "accepted");
    EXPECT_EQ(run(plistOmitted), "the resource seal's rules leave files unsealed");
    EXPECT_EQ(run("<key>^.*</key><false/>"), "the resource seal's rules leave files unsealed");
    EXPECT_EQ(run(catchAll + "<key>^Resources/</key><false/>"), "the resource seal's rules leave files unsealed");
}

TEST(ResourceSeal, FrameworkRootHoldsOnlyVersionsAndItsLinks) {
    test::TempDir dir;
    fs::path framework = BundleBuilder::framework(dir.path(), "Core.framework");
    test::writeFile(framework / "Versions/A/Resources/strings.txt", "text");
    CodeResourcesWriter(framework).write();
    EXPECT_EQ(firstDetail(framework), "intact");
    fs::path info = framework / "Versions/A/Resources/Info.plist";
    std::string original = test::readFile(info);
    test::writeFile(info, BundleBuilder::infoPlist({{"CFBundleExecutable", "Core"}, {"CFBundleVersion", "9"}}, false));
    EXPECT_EQ(firstDetail(framework), "Versions/A/Resources/Info.plist was modified after signing");
    test::writeFile(info, original);
    Tampering::relink(framework / "Resources", "Versions/A/Resources");
    EXPECT_EQ(firstDetail(framework), "Resources was added after signing");
    // A root link that leaves the bundle is named for that, not as an addition.
    Tampering::relink(framework / "Resources", "../elsewhere/Resources");
    EXPECT_EQ(firstDetail(framework), "Resources link points outside the bundle");
    Tampering::relink(framework / "Resources", "/Library/Frameworks/Core.framework/Resources");
    EXPECT_EQ(firstDetail(framework), "Resources link points to an absolute path");
    Tampering::relink(framework / "Resources", "Versions/Current/Resources");
    test::writeFile(framework / "Extra.dylib", "unsealed");
    EXPECT_EQ(firstDetail(framework), "Extra.dylib was added after signing");
}

TEST(ResourceSeal, RuleLimitsHoldAtTheirEdges) {
    ResourceRules rules;
    for (size_t i = 0; i < ResourceRules::maxRules; ++i)
        rules.add({.pattern = "^r" + std::to_string(i) + "$"});
    EXPECT_EQ(test::defectOf([&] { rules.add({.pattern = "^one-more$"}); }), "the resource seal has too many rules");
    ResourceRules patterns;
    EXPECT_NO_THROW(patterns.add({.pattern = std::string(ResourceRules::maxPatternLength, 'a')}));
    EXPECT_EQ(test::defectOf([&] { patterns.add({.pattern = std::string(ResourceRules::maxPatternLength + 1, 'a')}); }),
              "the resource rule \"" + std::string(64, 'a') + "\" is not allowed");
    // Back-references need a backtracking engine, whose time has no bound.
    EXPECT_EQ(test::defectOf([&] { patterns.add({.pattern = "^(a+)+\\1$"}); }),
              "the resource rule \"^(a+)+\\1$\" is not a valid pattern");
    EXPECT_NO_THROW(patterns.add({.pattern = "^a\\\\1$"})); // an escaped backslash, then "1"
    EXPECT_TRUE(patterns.match("a\\1"));
}

TEST(ResourceSeal, SealedRulesCompileWithinAMemoryBudget) {
    // Found by fuzzing: regcomp doubles its tree for every "+", so this short
    // rule took gigabytes. Repeated quantifiers mean one, as in POSIX.
    const std::string repeated = "^ResourcesfU" + std::string(120, '+') + "ources";
    ResourceRules rules;
    ASSERT_EQ(test::defectOf([&] { rules.add({.pattern = repeated}); }), "no defect");
    EXPECT_TRUE(rules.match("ResourcesfUUUources"));
    EXPECT_FALSE(rules.match("Resourcesfources"));

    // Counted repetition is what can still make a program large: a thousand
    // copies of a class fit the budget, twenty thousand do not.
    const std::string thousand = "[^/]{1000}";
    EXPECT_EQ(test::defectOf([&] { rules.add({.pattern = "^Resources/" + thousand + "$"}); }), "no defect");
    std::string twentyThousand = "^";
    for (int i = 0; i < 20; ++i)
        twentyThousand += thousand;
    EXPECT_EQ(test::defectOf([&] { rules.add({.pattern = twentyThousand}); }),
              "the resource rule \"" + twentyThousand.substr(0, 64) + "\" is not allowed");
    // Nested counts multiply.
    EXPECT_EQ(test::defectOf([&] { rules.add({.pattern = "^((a{40}){40})$"}); }),
              "the resource rule \"^((a{40}){40})$\" is not allowed");
}

TEST(ResourceSeal, RulesAsCodesignWritesThemKeepTheirPosixMeaning) {
    const std::string frameworks = "^(Frameworks|SharedFrameworks|PlugIns|Plug-ins|XPCServices|Helpers|MacOS|"
                                   "Library/(Automator|Spotlight|LoginItems))/";
    ResourceRules rules;
    for (const auto& [pattern, weight] :
         std::vector<std::pair<std::string, int64_t>>{{"^.*", 1},
                                                      {"^Resources/.*\\.lproj/", 1000},
                                                      {"(^|/)\\.DS_Store$", 2000},
                                                      {"^Resources/.*\\.lproj/locversion.plist$", 1100},
                                                      {frameworks, 10}})
        rules.add({.pattern = pattern, .weight = weight});
    auto matched = [&](const char* path) {
        const ResourceRule* rule = rules.match(path);
        return rule ? rule->pattern : std::string("none");
    };
    EXPECT_EQ(matched("Resources/fr.lproj/Loc.strings"), "^Resources/.*\\.lproj/");
    EXPECT_EQ(matched("Resources/fr.lproj/locversion.plist"), "^Resources/.*\\.lproj/locversion.plist$");
    EXPECT_EQ(matched(".DS_Store"), "(^|/)\\.DS_Store$");
    EXPECT_EQ(matched("Resources/deep/.DS_Store"), "(^|/)\\.DS_Store$");
    EXPECT_EQ(matched("Resources/x.DS_Store"), "^.*");
    EXPECT_EQ(matched("Library/LoginItems/Helper.app"), frameworks);
    EXPECT_EQ(matched("PlugIns/Echo.vst3"), frameworks);
    EXPECT_EQ(matched("Library/Other/Helper.app"), "^.*");
    // A path is one line: "^" and "$" hold only at its ends, "." matches a
    // newline, and bytes that are not UTF-8 are matched like any other.
    EXPECT_EQ(matched("x\n.DS_Store"), "^.*");
    EXPECT_EQ(matched("Resources/\xff\n.lproj/x"), "^Resources/.*\\.lproj/");
}

TEST(ResourceSeal, DefaultRulesPickTheHeaviestMatch) {
    ResourceRules rules;
    for (auto& rule : ResourceRules::codesignDefaults())
        rules.add(rule);
    auto weightOf = [&](const char* path) { return rules.match(path) ? rules.match(path)->weight : -1; };
    EXPECT_TRUE(rules.match("Info.plist")->omit);
    EXPECT_TRUE(rules.match("PkgInfo")->omit);
    EXPECT_TRUE(rules.match("Resources/deep/.DS_Store")->omit);
    EXPECT_TRUE(rules.match("Resources/fr.lproj/Loc.strings")->optional);
    EXPECT_TRUE(rules.match("Resources/fr.lproj/locversion.plist")->omit);
    EXPECT_FALSE(rules.match("Resources/Base.lproj/Main.nib")->optional);
    EXPECT_EQ(weightOf("Resources/Base.lproj/Main.nib"), 1010);
    EXPECT_TRUE(rules.match("Frameworks/Core.framework")->nested);
    EXPECT_TRUE(rules.match("Library/LoginItems/Helper.app")->nested);
    EXPECT_FALSE(rules.match("Library/Other/Helper.app")->nested);
    EXPECT_EQ(weightOf("Resources/a.txt"), 20);
    EXPECT_EQ(weightOf("Other/a.txt"), 1);
    // Unanchored patterns match anywhere; ties keep the earlier rule.
    ResourceRules custom;
    custom.add({.pattern = "lproj", .optional = true, .weight = 5});
    custom.add({.pattern = "Base", .omit = true, .weight = 5});
    EXPECT_TRUE(custom.match("Resources/Base.lproj/x")->optional);
    EXPECT_EQ(custom.match("Resources/plain"), nullptr);
}

TEST(ResourceSeal, WalkDepthLimitHoldsAtItsEdgeAndOddFilesAreRefused) {
    test::TempDir dir;
    fs::path bundle = sealedBundle(dir.path());
    std::string deep = "Resources";
    for (int i = 1; i < ResourceSealCheck::maxDepth; ++i)
        deep += "/d";
    fs::create_directories(bundle / "Contents" / deep);
    EXPECT_EQ(firstDetail(bundle), "intact");
    fs::create_directories(bundle / "Contents" / deep / "d");
    EXPECT_THROW(check(bundle), SignatureDefect);
    fs::remove_all(bundle / "Contents/Resources/d");

    ASSERT_EQ(::mkfifo((bundle / "Contents/Resources/pipe").c_str(), 0600), 0);
    EXPECT_EQ(firstDetail(bundle), "Contents/Resources/pipe is not a file, folder or link");
}
