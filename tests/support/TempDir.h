#pragma once

#include <filesystem>
#include <string>

namespace ostrel::test {

// A fresh folder under the test's temporary root, removed with everything in
// it when the object goes away.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "t");
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& child) const { return path_ / child; }

private:
    std::filesystem::path path_;
};

// Writes `content` to `file`, creating parent folders.
void writeFile(const std::filesystem::path& file, const std::string& content);
// A folder that looks like a bundle: Contents/Info.plist holding `content`.
void makeBundleFolder(const std::filesystem::path& bundle, const std::string& content = "plist");
// The whole content of `file`.
std::string readFile(const std::filesystem::path& file);

} // namespace ostrel::test
