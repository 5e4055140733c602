#pragma once

#include <QImage>
#include <QString>
#include <cstddef>
#include <list>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace ostrel::hub {

// Decoded images by address and thumbnail size, so an image seen once shows at once the next
// time. Holds at most `limit` images; storing one more drops the one used least recently.
// Safe from any thread: the screens' image threads store into it while the GUI thread reads.
class ImageMemory {
public:
    static constexpr std::size_t standardLimit = 200;

    explicit ImageMemory(std::size_t limit = standardLimit) : limit_(limit) {}
    ImageMemory(const ImageMemory&) = delete;
    ImageMemory& operator=(const ImageMemory&) = delete;

    // The table the app's screens share.
    static ImageMemory& shared();

    // The image stored for `address` at `maxPixels`, or a null image; a hit counts as a use.
    QImage find(const QString& address, int maxPixels);
    bool contains(const QString& address, int maxPixels) const;
    void store(const QString& address, int maxPixels, QImage image);
    std::size_t size() const;

private:
    using Key = std::pair<QString, int>;
    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept { return qHash(key.first, std::size_t(key.second)); }
    };
    using Entry = std::pair<Key, QImage>;

    const std::size_t limit_;
    mutable std::mutex lock_;
    std::list<Entry> recent_; // most recently used first; guarded by lock_
    std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> index_;
};

} // namespace ostrel::hub
