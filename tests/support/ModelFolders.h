#pragma once

#include "Model/ModelEnvironment.h"
#include "TempDir.h"

namespace ostrel::test {

// An app model environment whose settings, data, work, snapshot and home folders all lie in
// `dir`, with sessions kept in memory.
inline hub::ModelEnvironment modelEnvironmentIn(const TempDir& dir) {
    hub::ModelEnvironment environment;
    environment.ephemeralSessions = true;
    environment.settingsFile = QString::fromStdString((dir / "hub.conf").string());
    environment.supportFolder = dir / "data";
    environment.workFolder = dir / "work";
    environment.snapshotFolder = dir / "snapshots";
    environment.home = dir / "home";
    return environment;
}

} // namespace ostrel::test
