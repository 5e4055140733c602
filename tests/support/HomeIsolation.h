#pragma once

#include "TempDir.h"

#include <memory>

namespace ostrel::test {

// Points TMPDIR, HOME and the XDG folders at a fresh temporary folder, so no test can touch the
// real home, keyring, caches or Trash. The folder goes when the returned value does.
std::unique_ptr<TempDir> isolateHome();

} // namespace ostrel::test
