#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace ostrel::demo {

// Pictures drawn on first request and kept, in memory and in a folder of the state folder, so
// that start-up draws nothing and a restart does not draw again. A picture's name says all it is
// drawn from (product, kind, colour), so a changed catalogue gets new pictures. Safe to use from
// several threads.
class ImageShelf {
public:
    // Raise it when the drawings change, so that kept pictures of older drawings are not served.
    static constexpr int drawingVersion = 1;

    explicit ImageShelf(std::filesystem::path folder);

    // The picture called `name` (a file name such as "aurora-verb-icon-3b82f6.png"), drawn by
    // `draw` when it is not kept yet.
    std::string get(const std::string& name, const std::function<std::string()>& draw);

private:
    const std::filesystem::path folder_;
    std::mutex lock_;
    std::map<std::string, std::string> kept_; // guarded by lock_
};

} // namespace ostrel::demo
