#pragma once

#include "Install/InstallRequest.h"
#include "Services/JsonReader.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::hub {

// A paused job as a later run of the app lists it again: what it installs and whether it was
// a release check. The download itself waits in the pipeline's work folder.
struct PausedJob {
    InstallRequest request;
    bool verifyOnly = false;
    bool operator==(const PausedJob&) const = default;
};

// A paused job as its file keeps it.
void readJson(const JsonReader& in, PausedJob& out);

// The small file of paused jobs beside the pipeline's work folders. Only we write it, but it is
// read like anything from outside: bounded in size and count, and a damaged file counts as empty.
namespace PausedJobs {

constexpr std::size_t maxFileBytes = 64 * 1024;
constexpr std::size_t maxJobs = 64;

// The file's usual place: beside the work folders of the pipeline, in `workRoot`.
std::filesystem::path fileIn(const std::filesystem::path& workRoot);

// The text of the file; jobs that would pass either limit are left out, from the end.
std::string encode(const std::vector<PausedJob>& jobs);
// The jobs in the text, one per product; none when the text is damaged or passes a limit.
std::vector<PausedJob> decode(std::string_view text);

// Reads the file; a missing, oversized or damaged one gives none.
std::vector<PausedJob> read(const std::filesystem::path& file);
// Replaces the file as a whole (owner-only, its folder made when missing), or removes it when
// there is nothing to keep.
void write(const std::filesystem::path& file, const std::vector<PausedJob>& jobs);

} // namespace PausedJobs
} // namespace ostrel::hub
