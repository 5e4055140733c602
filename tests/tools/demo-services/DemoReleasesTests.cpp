// The demo services as the hub meets them: clients built from the written configuration sign
// in, list the store and resolve a download, and the file passes the hub's own checks against
// the demo's code-signing anchor.
#include "DemoServices.h"
#include "Install/BundleInstaller.h"
#include "Install/Extractor.h"
#include "Services/CurlTransport.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/MoonbaseClient.h"
#include "Services/OstrelIDClient.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"
#include "Util/AtomicFile.h"

#include <algorithm>
#include <mutex>
#include <regex>

#include <gtest/gtest.h>

namespace ostrel::demo {
namespace {

using namespace std::chrono_literals;

DemoServicesOptions quietOptions(const std::filesystem::path& state) {
    return {.stateFolder = state, .catalogueFile = OSTREL_DEMO_CATALOGUE, .log = [](const std::string&) {}};
}

// What the hub's extractor and verifier make of a release file, trusting only `root`.
std::vector<std::pair<StagedBundle, VerifiedCode>>
checked(const std::filesystem::path& file, const std::filesystem::path& root, const std::filesystem::path& work) {
    const CodeVerifier verifier(
        SignaturePolicy::ostrel(),
        signature::TrustSettings{.anchors = signature::TrustAnchors::fromPemFile(root).value()});
    const Extractor extractor{.verifier = verifier, .requireSignedContainers = true};
    const auto kind = sniffArtifactKind(file);
    EXPECT_TRUE(kind.has_value()) << file;
    const auto extraction = extractor.extract(file, kind.value_or(ArtifactKind::zip), work);
    return BundleInstaller{.verifier = verifier}.verifyAll(extraction.bundles);
}

struct SignedDemo {
    test::TempDir dir;
    std::mutex lock;
    std::vector<std::string> lines;
    DemoServices services{DemoServicesOptions{.stateFolder = dir / "state",
                                              .catalogueFile = OSTREL_DEMO_CATALOGUE,
                                              .settleDelay = 0s,
                                              .log = [this](const std::string& line) {
                                                  const std::lock_guard guard(lock);
                                                  lines.push_back(line);
                                              }}};
    ServiceConfig config = ServiceConfig::load(services.configFile());
    std::shared_ptr<CurlTransport> transport =
        std::make_shared<CurlTransport>(config.pinnedTrust(), CurlTransport::Options::from(config));

    SignedDemo() { services.start(); }

    std::string mailedCode(const std::string& email) {
        const std::lock_guard guard(lock);
        const std::regex pattern("code for " + std::regex_replace(email, std::regex("\\."), "\\.") + ": (\\d{6})");
        std::smatch match;
        std::string code;
        for (const auto& line : lines)
            if (std::regex_search(line, match, pattern))
                code = match[1];
        return code;
    }

    // Downloads what `link` names through the pinned transport and unpacks it as the hub does.
    std::vector<std::pair<StagedBundle, VerifiedCode>> fetchAndCheck(const Url& link, const std::string& name,
                                                                     const std::string& mediaType) {
        const auto answer = transport->send(HTTPRequest{.url = link});
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.header("Content-Type"), mediaType) << name;
        const auto file = dir / "downloads" / name;
        std::filesystem::create_directories(file.parent_path());
        AtomicFile::write(file, answer.body);
        return checked(file, services.codeSigningRoot(), dir / "work" / name);
    }
};

TEST(DemoReleases, ClientsFromTheConfigSignInListTheStoreAndGetSignedReleases) {
    SignedDemo demo;
    InMemoryTokenPersistence tokens;
    MoonbaseClient store(demo.config.hostPolicy(), *demo.transport, tokens);
    EXPECT_EQ(store.signIn("demo@ostrel.test", "demo").email, "demo@ostrel.test");
    EXPECT_GE(store.storefront().products.size(), 19u);
    const auto owned = store.ownedProducts();
    const auto find = [&](const std::string& id) {
        const auto found = std::find_if(owned.begin(), owned.end(), [&](const auto& p) { return p.id == id; });
        return found == owned.end() ? nullptr : &*found;
    };
    // Each shape of release: a package of three formats, a zip of one, a disk image of an app.
    const struct {
        std::string product, file, mediaType;
        size_t bundles;
        bool notarised;
    } releases[] = {{"aurora-verb", "plugin.pkg", "application/vnd.apple.installer+xml", 3, false},
                    {"pulse-gate", "plugin.zip", "application/zip", 1, false},
                    {"sketchpad", "app.dmg", "application/x-apple-diskimage", 1, true}};
    for (const auto& release : releases) {
        const auto* product = find(release.product);
        ASSERT_TRUE(product) << release.product;
        ASSERT_EQ(product->macDownloads().size(), 1u);
        const auto verified =
            demo.fetchAndCheck(store.resolveDownload(product->macDownloads()[0]), release.file, release.mediaType);
        EXPECT_EQ(verified.size(), release.bundles) << release.product;
        for (const auto& [bundle, code] : verified) {
            EXPECT_EQ(code.teamID, "K7QZ2M4XNB");
            EXPECT_EQ(code.version, product->version);
            EXPECT_TRUE(code.identifier.starts_with("com.ostrel." + release.product + ".")) << code.identifier;
            EXPECT_EQ(code.notarized, release.notarised) << bundle.name();
        }
    }

    // Ostrel ID by the e-mailed code.
    OstrelIDClient identity(OstrelIDClient::apiBase(demo.config.identityApiHost),
                            OstrelIDClient::signInBase(demo.config.identityApiHost), demo.transport,
                            std::make_shared<InMemoryTokenPersistence>());
    identity.requestCode("demo@ostrel.test");
    EXPECT_EQ(identity.completeCode("demo@ostrel.test", demo.mailedCode("demo@ostrel.test")).user.email,
              "demo@ostrel.test");
    EXPECT_EQ(identity.profile().user.email, "demo@ostrel.test");
}

TEST(DemoReleases, AChangedFileIsANewSignedReleaseWithNewValidators) {
    SignedDemo demo;
    InMemoryTokenPersistence tokens;
    MoonbaseClient store(demo.config.hostPolicy(), *demo.transport, tokens);
    store.signIn("demo@ostrel.test", "demo");
    const auto link = store.resolveDownload(store.product("aurora-verb").macDownloads().at(0));
    const auto get = [&](std::vector<HTTPHeader> headers) {
        return demo.transport->send(HTTPRequest{.url = link, .headers = std::move(headers)});
    };
    const auto first = get({});
    const auto etag = first.header("ETag").value_or("");
    const Url control("https://" + link.host().value_or("") + "/_demo/fault?mode=change-file&count=1");
    ASSERT_EQ(demo.transport->send(HTTPRequest{.url = control, .method = "POST"}).status, 200);

    // Resuming the old file gets the whole new one, which the store now publishes.
    const auto changed = get({{"Range", "bytes=100-"}, {"If-Range", etag}});
    EXPECT_EQ(changed.status, 200);
    EXPECT_NE(changed.header("ETag").value_or(etag), etag);
    EXPECT_NE(changed.body, first.body);
    EXPECT_EQ(store.product("aurora-verb").macDownloads().at(0).size, static_cast<int64_t>(changed.body.size()));
    const auto file = demo.dir / "downloads" / "changed.pkg";
    std::filesystem::create_directories(file.parent_path());
    AtomicFile::write(file, changed.body);
    const auto verified = checked(file, demo.services.codeSigningRoot(), demo.dir / "work" / "changed");
    ASSERT_EQ(verified.size(), 3u);
    EXPECT_EQ(verified[0].second.teamID, "K7QZ2M4XNB");

    // The new validator names the new file; the change was for one download only.
    const auto rest = get({{"Range", "bytes=100-"}, {"If-Range", changed.header("ETag").value_or("")}});
    EXPECT_EQ(rest.status, 206);
    EXPECT_TRUE(rest.body == changed.body.substr(100));
}

TEST(DemoReleases, KeepTheirSigningAuthorityAndFilesAcrossRestarts) {
    SignedDemo demo;
    const auto state = demo.dir / "state";
    const auto release = state / "releases" / "aurora-verb-mac.pkg";
    const auto pemOf = [](const std::filesystem::path& file) { return AtomicFile::read(file, 64 * 1024); };
    const auto root = pemOf(demo.services.codeSigningRoot());
    ASSERT_TRUE(root.has_value());
    const auto madeAt = std::filesystem::last_write_time(release);
    EXPECT_EQ(std::filesystem::status(state / "code-signing").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    // A release that went missing is made again by the PKI read back from the state folder.
    const auto app = state / "releases" / "sketchpad-mac.dmg";
    std::filesystem::remove(app);
    const DemoServices again(quietOptions(state));
    EXPECT_EQ(pemOf(again.codeSigningRoot()), root);
    EXPECT_EQ(std::filesystem::last_write_time(release), madeAt);
    const auto remade = checked(app, again.codeSigningRoot(), demo.dir / "work");
    ASSERT_EQ(remade.size(), 1u);
    EXPECT_TRUE(remade[0].second.notarized);

    // A lost key makes a new authority, and every release is signed again by it.
    std::filesystem::remove(state / "code-signing" / "installer.key");
    const DemoServices renewed(quietOptions(state));
    EXPECT_NE(pemOf(renewed.codeSigningRoot()), root);
    EXPECT_NE(std::filesystem::last_write_time(release), madeAt);
}

} // namespace
} // namespace ostrel::demo
