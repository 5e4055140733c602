#include "ImageShelf.h"

#include "Util/AtomicFile.h"

namespace ostrel::demo {

ImageShelf::ImageShelf(std::filesystem::path folder)
    : folder_(std::move(folder) / ("drawing-" + std::to_string(drawingVersion))) {}

std::string ImageShelf::get(const std::string& name, const std::function<std::string()>& draw) {
    {
        const std::lock_guard guard(lock_);
        if (const auto found = kept_.find(name); found != kept_.end())
            return found->second;
    }
    const auto file = folder_ / name;
    // A damaged or foreign file is drawn again.
    auto picture = AtomicFile::read(file, 32 * 1024 * 1024);
    if (!picture || picture->empty()) {
        // Drawn outside the lock: two first requests for one picture may both draw it, which is harmless.
        picture = draw();
        std::filesystem::create_directories(folder_);
        AtomicFile::write(file, *picture, std::filesystem::perms(0644));
    }
    const std::lock_guard guard(lock_);
    return kept_.try_emplace(name, std::move(*picture)).first->second;
}

} // namespace ostrel::demo
