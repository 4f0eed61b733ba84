// The attachment files a user downloads from the chat: one service per
// library instance, holding one state per remote file that the screens
// follow, the files in one directory, and, in the standard store, which local
// file each finished download is, so it is still known after a restart.
//
// A remote file is known by its download key: its URL as `downloadURL`
// rebuilds it (the text itself when it is no usable URL). The key is also the
// store key of the finished download's local path.
//
// Threading: every member is called on the main executor, and every state is
// emitted there. The HTTP client's network thread only posts progress and
// outcomes to it. Requires: the executor and the HTTP client outlive the
// service, which is destroyed on the executor's thread; the client calls back
// on the same executor.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "core/rx/rx.hpp"
#include "net/http_client.hpp"
#include "vesk/executor.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {

struct DownloadState {
    enum class Kind { progress, done, error, none };

    Kind kind = Kind::none;
    int percent = 0;             // progress: 0 to 100
    std::filesystem::path file;  // done: the local file
    std::string error;           // error: what to tell the user

    [[nodiscard]] static DownloadState at(int percent);
    [[nodiscard]] static DownloadState finished(std::filesystem::path file);
    [[nodiscard]] static DownloadState failed(std::string error);

    friend bool operator==(const DownloadState&, const DownloadState&) = default;
};

// "progress", "done", "error" or "none": the state as pages and tools name it.
[[nodiscard]] const char* downloadStateName(DownloadState::Kind kind);

class DownloadService {
  public:
    // No byte for this long fails a download; a slow one goes on as long as it moves.
    static constexpr std::chrono::seconds kDefaultStallTimeout{30};

    DownloadService(Executor& executor, std::shared_ptr<net::HttpClient> client,
                    std::shared_ptr<KeyValueStore> store, std::filesystem::path directory,
                    std::chrono::seconds stallTimeout = kDefaultStallTimeout);
    // Cancels the downloads still running; their partial files go with them.
    ~DownloadService();

    DownloadService(const DownloadService&) = delete;
    DownloadService& operator=(const DownloadService&) = delete;

    [[nodiscard]] static std::string downloadKey(const std::string& url);

    // The state of the remote file, replaying its current value; made with
    // `initial` on first use. A running download reports its progress; else a
    // remembered file that still exists is `done`, and a `done` whose file has
    // gone is `none`.
    [[nodiscard]] rx::Observable<DownloadState> getFileState(const std::string& url,
                                                             DownloadState initial = {});

    // Downloads the remote file into the directory under its own name (made
    // safe and unique): `progress` as it arrives, then `done` (remembered) or
    // `error`. Nothing when it is already running.
    void startDownload(const std::string& url);

    // Stops the running download; its state goes back to `none` at once, and
    // no partial file stays.
    void cancel(const std::string& url);

    // The user's own file `local` is what `remote` names: remembered as
    // downloaded, and `done` for a state that exists.
    void addExistingFile(const std::filesystem::path& local, const std::string& remote);

    // Forgets the remote file's local copy, deletes it when it lies inside the
    // directory, and sets its state to `none`.
    void removeFile(const std::string& url);

  private:
    struct Core;
    std::shared_ptr<Core> core_;
};

}  // namespace vesk
