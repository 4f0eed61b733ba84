#include "ui/download_service.hpp"

#include <cassert>
#include <cstdint>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "ui/download_directory.hpp"
#include "ui/download_file_name.hpp"
#include "ui/encoding_url.hpp"

namespace vesk {

namespace fs = std::filesystem;

const char* downloadStateName(DownloadState::Kind kind) {
    switch (kind) {
        case DownloadState::Kind::progress:
            return "progress";
        case DownloadState::Kind::done:
            return "done";
        case DownloadState::Kind::error:
            return "error";
        case DownloadState::Kind::none:
            break;
    }
    return "none";
}

DownloadState DownloadState::at(int percent) {
    DownloadState s;
    s.kind = Kind::progress;
    s.percent = percent;
    return s;
}

DownloadState DownloadState::finished(std::filesystem::path file) {
    DownloadState s;
    s.kind = Kind::done;
    s.file = std::move(file);
    return s;
}

DownloadState DownloadState::failed(std::string error) {
    DownloadState s;
    s.kind = Kind::error;
    s.error = std::move(error);
    return s;
}

namespace {

bool isFile(const fs::path& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

// Symbolic links are followed first, so a link inside that points outside is outside.
bool isInside(const fs::path& directory, const fs::path& file) {
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(directory, ec);
    if (ec) {
        return false;
    }
    const fs::path target = fs::weakly_canonical(file, ec);
    if (ec) {
        return false;
    }
    const fs::path relative = target.lexically_relative(base);
    return !relative.empty() && *relative.begin() != ".." && relative != ".";
}

}  // namespace

// Everything the service holds; callbacks of the HTTP client see it weakly,
// so those that arrive after the service has gone do nothing.
struct DownloadService::Core {
    struct Running {
        net::RequestId request;
        std::string name;  // reserved in the directory while it runs
        std::uint64_t serial = 0;
    };

    Executor& executor;
    std::shared_ptr<net::HttpClient> client;
    std::shared_ptr<KeyValueStore> store;
    fs::path directory;
    std::chrono::seconds stallTimeout;
    std::unordered_map<std::string, rx::BehaviorRelay<DownloadState>> states;
    std::unordered_map<std::string, Running> running;
    std::uint64_t nextSerial = 1;

    rx::BehaviorRelay<DownloadState>& holder(const std::string& key, DownloadState initial) {
        return states.try_emplace(key, std::move(initial)).first->second;
    }

    void publish(const std::string& key, DownloadState state) {
        auto& relay = holder(key, {});
        if (relay.value() != state) {
            relay.accept(std::move(state));
        }
    }

    // Only to a state that exists.
    void update(const std::string& key, DownloadState state) {
        if (states.contains(key)) {
            publish(key, std::move(state));
        }
    }

    std::optional<fs::path> remembered(const std::string& key) const {
        const auto path = store->string(key);
        if (!path || !isFile(*path)) {
            return std::nullopt;
        }
        return fs::path(*path);
    }

    std::set<std::string> reservedNames() const {
        std::set<std::string> names;
        for (const auto& [key, download] : running) {
            names.insert(download.name);
        }
        return names;
    }

    bool stop(const std::string& key) {
        const auto it = running.find(key);
        if (it == running.end()) {
            return false;
        }
        client->cancel(it->second.request);
        running.erase(it);
        return true;
    }

    // Whether `serial` is still the running download of `key`.
    Running* current(const std::string& key, std::uint64_t serial) {
        const auto it = running.find(key);
        return it != running.end() && it->second.serial == serial ? &it->second : nullptr;
    }

    void progressed(const std::string& key, std::uint64_t serial, int percent) {
        if (current(key, serial) != nullptr) {
            publish(key, DownloadState::at(percent));
        }
    }

    void finished(const std::string& key, std::uint64_t serial, Expected<net::HttpReply> outcome) {
        Running* download = current(key, serial);
        if (download == nullptr) {
            return;
        }
        const fs::path file = directory / download->name;
        running.erase(key);
        if (outcome) {
            store->setString(key, file.string());
            publish(key, DownloadState::finished(file));
        } else if (outcome.error().kind == Error::Kind::cancelled) {
            publish(key, {});  // the client went away
        } else {
            const std::string& text = outcome.error().description;
            publish(key,
                    DownloadState::failed(text.empty() ? "unknown file downloading error" : text));
        }
    }
};

DownloadService::DownloadService(Executor& executor, std::shared_ptr<net::HttpClient> client,
                                 std::shared_ptr<KeyValueStore> store, fs::path directory,
                                 std::chrono::seconds stallTimeout)
    : core_(std::make_shared<Core>(Core{executor,
                                        std::move(client),
                                        std::move(store),
                                        std::move(directory),
                                        stallTimeout,
                                        {},
                                        {},
                                        1})) {}

DownloadService::~DownloadService() {
    for (const auto& [key, download] : core_->running) {
        core_->client->cancel(download.request);
    }
}

std::string DownloadService::downloadKey(const std::string& url) {
    auto target = downloadURL(url);
    return target ? std::move(target->url) : url;
}

rx::Observable<DownloadState> DownloadService::getFileState(const std::string& url,
                                                            DownloadState initial) {
    assert(core_->executor.isCurrent());
    const std::string key = downloadKey(url);
    auto& relay = core_->holder(key, std::move(initial));
    if (!core_->running.contains(key)) {
        if (auto file = core_->remembered(key)) {
            core_->publish(key, DownloadState::finished(std::move(*file)));
        } else if (relay.value().kind == DownloadState::Kind::done && !isFile(relay.value().file)) {
            core_->publish(key, {});
        }
    }
    return relay.asObservable();
}

void DownloadService::startDownload(const std::string& url) {
    assert(core_->executor.isCurrent());
    Core& core = *core_;
    auto target = downloadURL(url);
    if (!target) {
        core.publish(url, DownloadState::failed("Invalid file url: " + url));
        return;
    }
    const std::string key = target->url;
    if (core.running.contains(key)) {
        return;
    }
    std::error_code ec;
    if (core.directory.empty() || !createPrivateDirectory(core.directory, ec)) {
        core.publish(
            key, DownloadState::failed("The folder for downloads could not be created: " +
                                       (core.directory.empty() ? "no home folder" : ec.message())));
        return;
    }
    const auto name =
        freeDownloadName(core.directory, safeDownloadName(target->filename), core.reservedNames());
    if (!name) {
        core.publish(key, DownloadState::failed("No free file name for " + target->filename));
        return;
    }
    net::HttpRequest request = net::HttpRequest::get(key);
    request.saveTo = core.directory / *name;
    request.totalTimeout = std::chrono::milliseconds(0);  // a large file may take long
    request.stallTimeout = core.stallTimeout;
    const std::uint64_t serial = core.nextSerial++;
    core.running[key] = Core::Running{{}, *name, serial};
    core.publish(key, DownloadState::at(0));
    const std::weak_ptr<Core> weak = core_;
    core.running[key].request = core.client->send(
        std::move(request),
        [weak, key, serial](Expected<net::HttpReply> outcome) {
            if (auto live = weak.lock()) {
                live->finished(key, serial, std::move(outcome));
            }
        },
        [weak, key, serial](int percent) {
            if (auto live = weak.lock()) {
                live->progressed(key, serial, percent);
            }
        });
}

void DownloadService::cancel(const std::string& url) {
    assert(core_->executor.isCurrent());
    const std::string key = downloadKey(url);
    if (core_->stop(key)) {
        core_->publish(key, {});
    }
}

void DownloadService::addExistingFile(const fs::path& local, const std::string& remote) {
    assert(core_->executor.isCurrent());
    const std::string key = downloadKey(remote);
    core_->stop(key);  // the file is here already
    core_->store->setString(key, local.string());
    core_->update(key, DownloadState::finished(local));
}

void DownloadService::removeFile(const std::string& url) {
    assert(core_->executor.isCurrent());
    const std::string key = downloadKey(url);
    core_->stop(key);
    if (const auto path = core_->store->string(key)) {
        core_->store->remove(key);
        if (isInside(core_->directory, *path)) {
            std::error_code ignored;
            fs::remove(*path, ignored);
        }
    }
    core_->update(key, {});
}

}  // namespace vesk
