#include "DownloadMeter.h"

#include <algorithm>

namespace ostrel::demo {

std::string nameOf(DownloadRecord::State state) {
    switch (state) {
    case DownloadRecord::State::sending:
        return "sending";
    case DownloadRecord::State::stalled:
        return "stalled";
    case DownloadRecord::State::complete:
        return "complete";
    case DownloadRecord::State::cut:
        return "cut";
    }
    return "sending";
}

int DownloadMeter::open(DownloadRecord record) {
    const std::lock_guard guard(lock_);
    record.id = nextId_++;
    records_.push_back(std::move(record));
    if (records_.size() > kept)
        records_.pop_front();
    return records_.back().id;
}

DownloadRecord* DownloadMeter::entry(int id) {
    const auto found = std::find_if(records_.begin(), records_.end(), [&](const auto& r) { return r.id == id; });
    return found == records_.end() ? nullptr : &*found;
}

void DownloadMeter::addSent(int id, int64_t bytes) {
    const std::lock_guard guard(lock_);
    if (auto* record = entry(id))
        record->sent += bytes;
}

void DownloadMeter::setState(int id, DownloadRecord::State state) {
    const std::lock_guard guard(lock_);
    if (auto* record = entry(id))
        record->state = state;
}

std::optional<DownloadRecord> DownloadMeter::find(int id) const {
    const std::lock_guard guard(lock_);
    if (const auto* record = const_cast<DownloadMeter*>(this)->entry(id))
        return *record;
    return std::nullopt;
}

std::vector<DownloadRecord> DownloadMeter::list(const std::optional<std::string>& key) const {
    const std::lock_guard guard(lock_);
    std::vector<DownloadRecord> found;
    std::copy_if(records_.begin(), records_.end(), std::back_inserter(found),
                 [&](const auto& record) { return !key || record.key == *key; });
    return found;
}

} // namespace ostrel::demo
