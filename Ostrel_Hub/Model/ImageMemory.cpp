#include "Model/ImageMemory.h"

namespace ostrel::hub {

ImageMemory& ImageMemory::shared() {
    static ImageMemory memory;
    return memory;
}

QImage ImageMemory::find(const QString& address, int maxPixels) {
    const std::lock_guard guard(lock_);
    const auto hit = index_.find(Key{address, maxPixels});
    if (hit == index_.end())
        return {};
    recent_.splice(recent_.begin(), recent_, hit->second);
    return hit->second->second;
}

bool ImageMemory::contains(const QString& address, int maxPixels) const {
    const std::lock_guard guard(lock_);
    return index_.contains(Key{address, maxPixels});
}

void ImageMemory::store(const QString& address, int maxPixels, QImage image) {
    const std::lock_guard guard(lock_);
    Key key{address, maxPixels};
    if (const auto old = index_.find(key); old != index_.end()) {
        recent_.erase(old->second);
        index_.erase(old);
    }
    recent_.emplace_front(key, std::move(image));
    index_.emplace(std::move(key), recent_.begin());
    while (recent_.size() > limit_) {
        index_.erase(recent_.back().first);
        recent_.pop_back();
    }
}

std::size_t ImageMemory::size() const {
    const std::lock_guard guard(lock_);
    return recent_.size();
}

} // namespace ostrel::hub
