#pragma once

#include "Install/Checkpoint.h"
#include "Util/FileIdentity.h"

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>

namespace ostrel {

// Replaces the installed hub folder (the install prefix holding bin/ostrel-hub) with a new
// build, keeping the old one beside it until the new one has shown that it starts.
//
// Beside the installed folder "<name>" live the staging folder ".<name>.swap" and the journal
// ".<name>.swap.json". The steps, each durable before the next:
//   1. the new build is unpacked into the staging folder (no journal yet: a leftover staging
//      folder without a journal is only ever removed);
//   2. the journal records the identities (device, inode) of the installed and the staged
//      folder;
//   3. one exchange of the two paths: the new build is installed, the old one is staged;
//   4. the new build's "bin/ostrel-hub --self-test" must exit 0 within the time limit;
//   5. started: the journal is marked confirmed, then the old build and the journal go;
//      not started: a second exchange puts the old build back, then the new one and the
//      journal go.
// The installed path is never missing, and the journal's identities tell which build holds it,
// so recover() puts any interrupted run right: the old build installed means clean up; the new
// one confirmed means finish; the new one unconfirmed means test it again and keep or roll back.
class HubFolderSwap {
public:
    static constexpr const char* executable = "bin/ostrel-hub";
    static constexpr const char* versionFile = "share/ostrel-hub/version";
    static constexpr const char* selfTestArgument = "--self-test";
    // How long a new build may take to confirm that it starts.
    static constexpr double defaultSelfTestSeconds = 60;
    // A version marker longer than this is not one we wrote.
    static constexpr std::size_t maxVersionBytes = 64;

    enum class Outcome { installed, rolledBack };
    enum class Recovery { nothing, cleanedUp, completed, rolledBack };

    explicit HubFolderSwap(std::filesystem::path installed, double selfTestSeconds = defaultSelfTestSeconds);

    const std::filesystem::path& installed() const { return installed_; }
    std::filesystem::path staging() const;
    std::filesystem::path journal() const;

    // An empty staging folder for a new build. Recover first: a journal still there is refused
    // with std::logic_error.
    const std::filesystem::path& beginStaging() const;
    // Steps 2 to 5 for the build unpacked into the staging folder. Throws
    // std::invalid_argument when the staged folder is not a hub build (no executable
    // bin/ostrel-hub or no version marker), before anything is changed.
    Outcome swapIn(std::stop_token stop = {}) const;
    // Puts right whatever an interrupted swap left, as described above.
    Recovery recover(std::stop_token stop = {}) const;

    // Whether the build in `folder` confirms that it starts. Cancellation reads as no.
    bool starts(const std::filesystem::path& folder, std::stop_token stop = {}) const;
    // The version marker of the build in `folder`, or none.
    static std::optional<std::string> versionOf(const std::filesystem::path& folder);
    // Whether `folder` holds a hub build: a regular, executable bin/ostrel-hub and a version marker.
    static bool isHubBuild(const std::filesystem::path& folder);

    // Crash tests end the process here, before each change on disk.
    void setCheckpoint(Checkpoint checkpoint) { checkpoint_ = std::move(checkpoint); }

private:
    struct Journal {
        FileIdentity old;
        FileIdentity incoming;
        bool confirmed = false;
    };
    void write(const Journal& journal) const;
    std::optional<Journal> read() const;
    // The rest of step 5 from a new build that started.
    void finish(const Journal& journal) const;
    Outcome confirmOrRollBack(const Journal& journal, std::stop_token stop) const;
    void cleanUp() const;

    std::filesystem::path installed_;
    std::filesystem::path staging_;
    double selfTestSeconds_;
    Checkpoint checkpoint_;
};

} // namespace ostrel
