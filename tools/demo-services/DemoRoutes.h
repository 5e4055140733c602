#pragma once

#include "DemoCatalogue.h"
#include "DemoHosts.h"
#include "DemoIdentity.h"
#include "DemoLog.h"
#include "DemoStore.h"
#include "DownloadFaults.h"
#include "DownloadMeter.h"
#include "HostRouter.h"
#include "HubUpdateShelf.h"
#include "ImageShelf.h"
#include "ReleaseShelf.h"
#include "ReviewBook.h"
#include "StallGate.h"

#include <chrono>
#include <cstddef>

namespace ostrel::demo {

// Everything the routes of one server share. Owned by DemoServices.
struct DemoContext {
    const DemoHosts& hosts;
    const DemoCatalogue& catalogue;
    ReleaseShelf& releases;
    DemoStore& store;
    DemoIdentity& identity;
    ReviewBook& reviews;
    DownloadFaults& faults;
    DownloadMeter& meter;
    StallGate& stalls;
    ImageShelf& images;
    const DemoLog& log;
    size_t pageSize;                 // owned products per inventory page
    std::chrono::seconds stallLimit; // the longest a stalled download holds its connection
    const HubUpdateShelf& hubUpdates;
};

// The store's customer API on the store host.
void addStoreRoutes(HostRouter& router, DemoContext& context);
// The payment page of an order on the store host.
void addCheckoutRoutes(HostRouter& router, DemoContext& context);
// Ostrel ID and reviews on the identity host.
void addIdentityRoutes(HostRouter& router, DemoContext& context);
// The extras feed and images on the web host, icons on the asset host.
void addWebRoutes(HostRouter& router, DemoContext& context);
// Release files on the download host, with their misbehaviour switches.
void addDownloadRoutes(HostRouter& router, DemoContext& context);
// The hub's own update feed on the web host and its build on the download host.
void addHubUpdateRoutes(HostRouter& router, DemoContext& context);

} // namespace ostrel::demo
