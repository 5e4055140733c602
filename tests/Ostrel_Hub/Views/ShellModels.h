#pragma once

// App models for the screen tests, each in its own temporary folders with sessions in memory:
// one on nothing at all, one that restored a saved catalogue and has not started, and one on
// the demo services. Banners stay until dismissed, so a test never races their lifetime.
#include "../Model/DemoHub.h"
#include "EventLoop.h"
#include "RunningDemo.h"

#include <chrono>
#include <memory>

namespace ostrel::hub::test_models {

inline std::unique_ptr<AppModel> modelIn(ModelEnvironment environment) {
    environment.bannerLifetimes = {.failure = std::chrono::hours(1), .other = std::chrono::hours(1)};
    return std::make_unique<AppModel>(std::move(environment));
}

// Nothing cached, nothing loaded, never started.
struct EmptyModel {
    test_support::HubFolders folders;
    std::unique_ptr<AppModel> model = [this] {
        folders.active = true;
        auto environment = folders.isolated();
        environment.cold = true;
        return modelIn(std::move(environment));
    }();
};

// The catalogue of the last run restored from the snapshot folder; no service asked yet.
struct CachedModel {
    static inline const std::string productId = "kept-from-last-time";
    static inline const std::string productName = "Kept From Last Time";

    test_support::HubFolders folders;
    std::unique_ptr<AppModel> model = [this] {
        folders.active = true;
        folders.snapshots().save(
            Storefront{.suggestedCurrency = "EUR",
                       .products = {StorefrontProduct{
                           .id = productId, .name = productName, .defaultVariation = PricingVariation{.id = "v"}}}},
            "storefront");
        return modelIn(folders.isolated());
    }();
};

// A model on the demo services; `start()` runs the first refresh. Needs the private bus.
struct LiveModel {
    demo::RunningDemo demo;
    test_support::HubFolders folders;
    std::unique_ptr<AppModel> model = [this] {
        folders.active = true;
        return modelIn(folders.environmentFor(demo.config, demo.services.codeSigningRoot()));
    }();

    void signIn() { model->services().client.signIn("demo@ostrel.test", "demo"); }
    void start() { test::await(model->start()); }
};

} // namespace ostrel::hub::test_models
