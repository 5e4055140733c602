#pragma once

// App models for the screen tests, each in its own temporary folders with sessions in memory:
// one on nothing at all, one that restored a saved catalogue and has not started, and one on
// the demo services.
#include "Catalog/SnapshotCache.h"
#include "EventLoop.h"
#include "Install/AppDirectories.h"
#include "Model/AppModel.h"
#include "RunningDemo.h"
#include "TempDir.h"

#include <chrono>
#include <memory>

namespace ostrel::hub::test_models {

// Folders and settings of a hub under test. Banners stay until dismissed, so a test never
// races their lifetime.
inline ModelEnvironment isolatedEnvironment(const test::TempDir& dir) {
    ModelEnvironment environment;
    environment.ephemeralSessions = true;
    environment.settingsFile = QString::fromStdString((dir / "hub.conf").string());
    environment.supportFolder = dir / "data";
    environment.workFolder = dir / "work";
    environment.snapshotFolder = dir / "snapshots";
    environment.home = dir / "home";
    environment.applications = dir / "home" / "Applications";
    environment.bannerLifetimes = {.failure = std::chrono::hours(1), .other = std::chrono::hours(1)};
    environment.applicationIsActive = [] { return true; };
    return environment;
}

// Nothing cached, nothing loaded, never started.
struct EmptyModel {
    test::TempDir dir;
    std::unique_ptr<AppModel> model = [this] {
        auto environment = isolatedEnvironment(dir);
        environment.cold = true;
        return std::make_unique<AppModel>(std::move(environment));
    }();
};

// The catalogue of the last run restored from the snapshot folder; no service asked yet.
struct CachedModel {
    static inline const std::string productId = "kept-from-last-time";
    static inline const std::string productName = "Kept From Last Time";

    test::TempDir dir;
    std::unique_ptr<AppModel> model = [this] {
        SnapshotCache{AppDirectories::owned(dir / "snapshots")}.save(
            Storefront{.suggestedCurrency = "EUR",
                       .products = {StorefrontProduct{
                           .id = productId, .name = productName, .defaultVariation = PricingVariation{.id = "v"}}}},
            "storefront");
        return std::make_unique<AppModel>(isolatedEnvironment(dir));
    }();
};

// A model on the demo services; `start()` runs the first refresh. Needs the private bus.
struct LiveModel {
    demo::RunningDemo demo;
    test::TempDir dir;
    std::unique_ptr<AppModel> model = [this] {
        auto environment = isolatedEnvironment(dir);
        environment.config = demo.config;
        environment.codeTrust =
            signature::TrustSettings{.anchors = *signature::TrustAnchors::fromPemFile(demo.services.codeSigningRoot())};
        return std::make_unique<AppModel>(std::move(environment));
    }();

    void signIn() { model->services().client.signIn("demo@ostrel.test", "demo"); }
    void start() { test::await(model->start()); }
};

} // namespace ostrel::hub::test_models
