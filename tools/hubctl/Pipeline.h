#pragma once

#include "CommandLine.h"
#include "Install/InstallPipeline.h"

#include <filesystem>
#include <ostream>
#include <set>
#include <string>

namespace ostrel::hubctl {

// The Kit's install pipeline set up from the command line: the verifier of
// --team/--anchors, the folders of --home/--applications, the ledger in --data.
InstallPipeline pipelineFor(const CommandLine& line);

// A release file given on the command line, as the pipeline's request. The
// product fields are empty for a plain check; --size is the published size.
InstallRequest requestFor(const std::filesystem::path& file, const CommandLine& line);

// One line per bundle: name, kind, identifier, team, version, notarised; then the notes.
void print(std::ostream& out, const CheckedRelease& checked);

// Options of the commands that check a release.
std::set<std::string> releaseOptions();

} // namespace ostrel::hubctl
