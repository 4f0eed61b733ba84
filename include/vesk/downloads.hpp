// Where the library keeps the attachment files a user downloads from the chat.
//
// The files are a cache the library can fetch again: by default under
// `$XDG_CACHE_HOME/vesk/Downloads`, else `~/.cache/vesk/Downloads`. The
// directory is created (mode 0700) when the first download starts. Which
// remote file each local file is, is remembered in the standard store, so a
// finished download is still known after a restart while its file exists.
//
// Threading: both functions may be called from any thread.
#pragma once

#include <filesystem>

namespace vesk {

// Sets the host's own directory for downloads; an empty path goes back to the
// default. Call before the library's first use: an instance keeps the
// directory it was built with.
void setDownloadDirectory(std::filesystem::path directory);

// The directory downloads go to; empty when it is the default and there is no
// usable home directory.
std::filesystem::path downloadDirectory();

}  // namespace vesk
