#pragma once

#include <filesystem>

namespace ostrel::FolderExchange {

// Swaps what two paths name in one step of the file system (Linux's RENAME_EXCHANGE): at no
// instant is either path missing, so a process killed around the call finds each item whole,
// under one name or the other. Both must exist on the same file system. The folder holding
// them is flushed afterwards, so the swap also survives a power cut. Errors are thrown as
// std::filesystem::filesystem_error and leave both paths as they were.
void exchange(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace ostrel::FolderExchange
