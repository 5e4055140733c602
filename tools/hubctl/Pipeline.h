#pragma once

#include "Command.h"
#include "CommandLine.h"
#include "Install/InstallLock.h"
#include "Install/InstallPipeline.h"

#include <filesystem>
#include <ostream>
#include <set>
#include <string>

namespace ostrel::hubctl {

struct StoreSession;

// The Kit's install pipeline set up from the command line: the verifier of
// --team/--anchors, the folders of --home/--applications, the ledger in --data;
// with a store session, releases come from the store through the pinned downloader.
InstallPipeline pipelineFor(const CommandLine& line, StoreSession* store = nullptr);

// Takes the install lock and first puts right whatever an interrupted run left, saying what it did.
InstallLock lockAndRecover(InstallPipeline& pipeline, const CommandLine& line, Output io);

// A release file given on the command line, as the pipeline's request. The
// product fields are empty for a plain check; --size is the published size.
InstallRequest requestFor(const std::filesystem::path& file, const CommandLine& line);

// One line per bundle: name, kind, identifier, team, version, notarised; then the notes.
void print(std::ostream& out, const CheckedRelease& checked);

// Options of the commands that check a release.
std::set<std::string> releaseOptions();

} // namespace ostrel::hubctl
