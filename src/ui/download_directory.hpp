// The downloads directory: the process-wide choice behind vesk/downloads.hpp,
// and its creation on first use.
#pragma once

#include <filesystem>
#include <system_error>

#include "vesk/downloads.hpp"

namespace vesk {

// Makes `directory` and its missing parents, each new one with mode 0700 (the
// files in it are the user's); true when it exists as a directory afterwards.
// Any thread.
bool createPrivateDirectory(const std::filesystem::path& directory, std::error_code& error);

}  // namespace vesk
