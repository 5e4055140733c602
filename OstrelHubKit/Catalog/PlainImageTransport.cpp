#include "Catalog/PlainImageTransport.h"

namespace ostrel {

namespace {

CurlTransport::Options withoutPins(CurlTransport::Options options) {
    options.requirePins = false;
    return options;
}

} // namespace

PlainImageTransport::PlainImageTransport(Options options)
    : CurlTransport(PinnedTrust{}, withoutPins(std::move(options))) {}

} // namespace ostrel
