// The name a downloaded file gets on disk: the remote file's own name, made
// safe to use as one name inside the downloads directory, and made unique.
//
// Pure functions and a look at the directory; any thread.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace vesk {

// Room is left below the file system's 255 bytes for the "_<n>" of a repeated name.
inline constexpr std::size_t kMaxDownloadNameBytes = 200;

// `remote` as one file name: "/", NUL and control characters become "_";
// leading and trailing dots and spaces go (no hidden files, no "." or "..");
// "download" when nothing is left; at most kMaxDownloadNameBytes, cut on a
// character boundary with the extension kept.
[[nodiscard]] std::string safeDownloadName(std::string_view remote);

// `name` when neither `directory` nor `reserved` holds it; else the first
// free of base_1.ext, base_2.ext, ... (base_1, base_2, ... without an
// extension). Nothing when no free name is found.
[[nodiscard]] std::optional<std::string> freeDownloadName(const std::filesystem::path& directory,
                                                          const std::string& name,
                                                          const std::set<std::string>& reserved);

}  // namespace vesk
