#include "DownloadFaults.h"

#include <array>
#include <utility>

namespace ostrel::demo {

namespace {

constexpr std::array<std::pair<DownloadFault, std::string_view>, 9> names{{
    {DownloadFault::none, "none"},
    {DownloadFault::wrongSize, "wrong-size"},
    {DownloadFault::slow, "slow"},
    {DownloadFault::httpRedirect, "http-redirect"},
    {DownloadFault::notFound, "not-found"},
    {DownloadFault::drop, "drop"},
    {DownloadFault::ignoreRange, "ignore-range"},
    {DownloadFault::changeFile, "change-file"},
    {DownloadFault::stall, "stall"},
}};

} // namespace

std::optional<DownloadFault> downloadFaultFromName(std::string_view name) {
    for (const auto& [fault, text] : names)
        if (text == name)
            return fault;
    return std::nullopt;
}

std::string_view nameOf(DownloadFault fault) {
    for (const auto& [known, text] : names)
        if (known == fault)
            return text;
    return "none";
}

std::string downloadFaultNames() {
    std::string text;
    for (const auto& [fault, name] : names)
        text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

void DownloadFaults::set(DownloadFault fault, std::optional<int> count) {
    const std::lock_guard guard(lock_);
    fault_ = fault;
    remaining_ = count;
}

DownloadFault DownloadFaults::take() {
    const std::lock_guard guard(lock_);
    const DownloadFault fault = fault_;
    if (remaining_ && --*remaining_ <= 0) {
        fault_ = DownloadFault::none;
        remaining_.reset();
    }
    return fault;
}

std::string DownloadFaults::describe() const {
    const std::lock_guard guard(lock_);
    return std::string(nameOf(fault_)) +
           (remaining_ ? " for the next " + std::to_string(*remaining_) + " downloads" : "");
}

} // namespace ostrel::demo
