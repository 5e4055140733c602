#pragma once

#include "Catalog/CatalogExtras.h"
#include "Services/HTTPTransport.h"
#include "Services/HostPolicy.h"
#include "Util/Url.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>

namespace ostrel {

struct ServiceConfig;

// Fetches the maker's extras feed. Never fails: every problem (a feed address outside the
// asset hosts, no answer, a status other than 200, an oversized body, a feed that does not
// decode) gives none, which callers take as "keep what you had". Safe from any thread.
struct CatalogExtrasClient {
    // Largest feed body accepted.
    static constexpr std::size_t maxBodyBytes = 1'999'999;
    static constexpr std::chrono::seconds timeout{60};

    Url url;           // the feed
    HostPolicy policy; // the feed's host must be one of its asset hosts
    std::shared_ptr<HTTPTransport> transport;

    // The feed on the configuration's web host, under its host policy.
    static CatalogExtrasClient forConfig(const ServiceConfig& config, std::shared_ptr<HTTPTransport> transport);

    std::optional<CatalogExtras> fetch() const;
};

} // namespace ostrel
