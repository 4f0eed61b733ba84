#include "net/http_client.hpp"

#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <filesystem>
#include <limits>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "net/curl_handles.hpp"
#include "net/curl_transfer.hpp"
#include "vesk/version.hpp"

namespace vesk::net {
namespace {

using detail::EasyHandle;
using detail::MultiHandle;
using detail::Transfer;

// Idle easy handles kept for reuse; each still shares the multi's connections.
constexpr std::size_t kMaxIdleHandles = 8;
constexpr long kMaxIdleConnections = 16;

// The network thread never preempts the thread that wakes it. Its work waits
// on the network anyway, while a preempted main thread stays runnable on its
// core and so pushes the peer's side of the exchange, and the reply, onto
// another core; on virtual machines an idle core takes tens of microseconds
// to wake.
void neverPreemptWakers() {
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);  // best effort
}

Error cancelledError() {
    return Error::make(Error::Kind::cancelled, "cancelled");
}

// One request's callback and how it must end. `fired`, `callback` and
// `progress` are touched only by tasks on the executor, so the first of them
// wins.
struct Completion {
    Completion(HttpClient::Callback cb, HttpClient::Progress pr,
               std::optional<std::filesystem::path> saveTo)
        : callback(std::move(cb)), progress(std::move(pr)), file(std::move(saveTo)) {}
    HttpClient::Callback callback;
    HttpClient::Progress progress;
    // A download's file. Its `cancelled` delivery is posted by the network
    // thread once the partial file is gone, never straight from `cancel`.
    const std::optional<std::filesystem::path> file;
    std::atomic<bool> cancelled{false};
    bool fired = false;
};

// Requests whose callback has not run yet, so `cancel` can still reach them.
// Outlives the client while delivery tasks are queued (they hold it weakly).
struct Registry {
    std::mutex mutex;
    std::unordered_map<std::uint64_t, std::shared_ptr<Completion>> open;
};

void deliver(const std::weak_ptr<Registry>& registry, std::uint64_t id,
             const std::shared_ptr<Completion>& completion, Expected<HttpReply> outcome) {
    if (completion->fired) {
        return;
    }
    completion->fired = true;
    if (auto live = registry.lock()) {
        std::lock_guard lock(live->mutex);
        live->open.erase(id);
    }
    HttpClient::Callback callback = std::move(completion->callback);
    completion->progress = nullptr;
    const bool cancelled = completion->cancelled.load();
    if (cancelled && outcome && completion->file) {
        // The cancel came after the file was in place; a cancelled download leaves none.
        std::error_code ignored;
        std::filesystem::remove(*completion->file, ignored);
    }
    if (!callback) {
        return;
    }
    if (cancelled) {
        callback(unexpected(cancelledError()));
    } else {
        callback(std::move(outcome));
    }
}

void report(const std::shared_ptr<Completion>& completion, int percent) {
    if (completion->fired || completion->cancelled.load() || !completion->progress) {
        return;
    }
    const HttpClient::Progress progress = completion->progress;  // it may cancel or finish
    progress(percent);
}

}  // namespace

class HttpClient::Impl {
  public:
    Impl(Executor& executor, HttpClientOptions options);
    ~Impl();

    RequestId send(HttpRequest request, Callback callback, Progress progress);
    void cancel(RequestId id);
    [[nodiscard]] std::uint64_t connectionsOpened() const noexcept { return connections_.load(); }

  private:
    struct Outgoing {
        std::uint64_t id;
        HttpRequest request;
        std::shared_ptr<Completion> completion;
    };
    struct Active {
        std::unique_ptr<Transfer> transfer;
        std::shared_ptr<Completion> completion;
    };

    void post(std::uint64_t id, const std::shared_ptr<Completion>& completion,
              Expected<HttpReply> outcome);
    void postCancelled(std::uint64_t id, const std::shared_ptr<Completion>& completion);

    // Rouses the network thread out of its poll.
    void wake();

    // Network thread only.
    void run();
    void start(Outgoing outgoing);
    void abort(std::uint64_t id);
    void collectFinished();
    // A recycled handle (`recycled` set) keeps the options all requests share.
    EasyHandle takeEasy(bool& recycled);

    Executor& executor_;
    detail::TransferSettings settings_;
    // Upper bound on one poll; curl shortens it when its own timers are due.
    int idleWaitMs_;
    std::shared_ptr<Registry> registry_ = std::make_shared<Registry>();
    MultiHandle multi_;
    // Our own wake-up: an eventfd write costs a fraction of curl's socket-pair
    // send, and sending is on every request's path. -1: curl's is used.
    int wakeFd_ = -1;
    std::atomic<std::uint64_t> nextId_{1};
    std::atomic<std::uint64_t> connections_{0};

    std::mutex inboxMutex_;
    std::vector<Outgoing> outgoing_;
    std::vector<std::uint64_t> cancels_;
    bool stopping_ = false;

    std::unordered_map<std::uint64_t, Active> active_;
    std::vector<EasyHandle> idle_;  // each recycled by its last transfer

    std::thread thread_;
};

HttpClient::Impl::Impl(Executor& executor, HttpClientOptions options)
    : executor_(executor),
      idleWaitMs_(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(
          options.idleWait.count(), 1, std::numeric_limits<int>::max()))) {
    settings_.caFile = std::move(options.caFile);
    settings_.userAgent = options.userAgent.empty() ? "VeskSDK/" + std::string(libraryVersion())
                                                    : std::move(options.userAgent);
    if (detail::ensureCurlInitialised()) {
        multi_.reset(curl_multi_init());
    }
    if (multi_) {
        // A burst opens a connection per request; keep only a few of them for reuse,
        // or every burst leaves its connections, and their buffers, for good.
        curl_multi_setopt(multi_.get(), CURLMOPT_MAXCONNECTS, kMaxIdleConnections);
        wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    } else {
        stopping_ = true;
    }
}

HttpClient::Impl::~Impl() {
    {
        std::lock_guard lock(inboxMutex_);
        stopping_ = true;
    }
    if (thread_.joinable()) {
        wake();
        thread_.join();
    }
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
    // Anything queued after the network thread's last look.
    for (Outgoing& outgoing : outgoing_) {
        outgoing.completion->cancelled = true;
        post(outgoing.id, outgoing.completion, unexpected(cancelledError()));
    }
}

void HttpClient::Impl::post(std::uint64_t id, const std::shared_ptr<Completion>& completion,
                            Expected<HttpReply> outcome) {
    executor_.post([registry = std::weak_ptr<Registry>(registry_), id, completion,
                    outcome = std::move(outcome)]() mutable {
        deliver(registry, id, completion, std::move(outcome));
    });
}

void HttpClient::Impl::postCancelled(std::uint64_t id,
                                     const std::shared_ptr<Completion>& completion) {
    completion->cancelled = true;
    post(id, completion, unexpected(cancelledError()));
}

RequestId HttpClient::Impl::send(HttpRequest request, Callback callback, Progress progress) {
    const std::uint64_t id = nextId_.fetch_add(1);
    auto completion = std::make_shared<Completion>(
        std::move(callback), request.saveTo ? std::move(progress) : Progress{}, request.saveTo);
    {
        std::lock_guard lock(registry_->mutex);
        registry_->open.emplace(id, completion);
    }
    bool accepted = false;
    {
        std::lock_guard lock(inboxMutex_);
        if (!stopping_) {
            outgoing_.push_back(Outgoing{id, std::move(request), completion});
            accepted = true;
        }
    }
    if (accepted) {
        wake();
    } else if (!multi_) {
        post(id, completion,
             unexpected(
                 Error::make(Error::Kind::transport, "The HTTP client could not be started")));
    } else {
        completion->cancelled = true;
        post(id, completion, unexpected(cancelledError()));
    }
    return RequestId{id};
}

void HttpClient::Impl::cancel(RequestId id) {
    std::shared_ptr<Completion> completion;
    {
        std::lock_guard lock(registry_->mutex);
        const auto it = registry_->open.find(id.value);
        if (it == registry_->open.end()) {
            return;
        }
        completion = it->second;
    }
    completion->cancelled = true;
    if (!completion->file) {
        post(id.value, completion, unexpected(cancelledError()));
    }
    bool queued = false;
    {
        std::lock_guard lock(inboxMutex_);
        if (!stopping_) {
            cancels_.push_back(id.value);
            queued = true;
        }
    }
    if (queued) {
        wake();
    }
}

void HttpClient::Impl::wake() {
    const std::uint64_t one = 1;
    if (wakeFd_ < 0 || ::write(wakeFd_, &one, sizeof one) < 0) {
        curl_multi_wakeup(multi_.get());
    }
}

void HttpClient::Impl::run() {
    neverPreemptWakers();
    for (;;) {
        std::vector<Outgoing> starting;
        std::vector<std::uint64_t> cancelling;
        bool stop = false;
        {
            std::lock_guard lock(inboxMutex_);
            starting.swap(outgoing_);
            cancelling.swap(cancels_);
            stop = stopping_;
        }
        if (stop) {
            for (Outgoing& outgoing : starting) {
                postCancelled(outgoing.id, outgoing.completion);
            }
            break;
        }
        for (Outgoing& outgoing : starting) {
            const std::uint64_t id = outgoing.id;
            auto completion = outgoing.completion;
            try {
                start(std::move(outgoing));
            } catch (const std::exception& e) {
                post(id, completion, unexpected(Error::make(Error::Kind::transport, e.what())));
            }
        }
        for (const std::uint64_t id : cancelling) {
            abort(id);
        }
        int running = 0;
        curl_multi_perform(multi_.get(), &running);
        collectFinished();
        curl_waitfd woken{wakeFd_, CURL_WAIT_POLLIN, 0};
        const bool own = wakeFd_ >= 0;
        curl_multi_poll(multi_.get(), own ? &woken : nullptr, own ? 1 : 0, idleWaitMs_, nullptr);
        // Drained before the inbox is read, so no later wake-up is lost.
        if (own && (woken.revents & CURL_WAIT_POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto drained = ::read(wakeFd_, &count, sizeof count);
        }
    }
    std::vector<std::pair<std::uint64_t, std::shared_ptr<Completion>>> ended;
    for (auto& [id, active] : active_) {
        curl_multi_remove_handle(multi_.get(), active.transfer->easy());
        ended.emplace_back(id, active.completion);
    }
    active_.clear();  // partial files go before their owners hear
    for (const auto& [id, completion] : ended) {
        postCancelled(id, completion);
    }
    idle_.clear();
}

EasyHandle HttpClient::Impl::takeEasy(bool& recycled) {
    recycled = !idle_.empty();
    if (!recycled) {
        return EasyHandle(curl_easy_init());
    }
    EasyHandle easy = std::move(idle_.back());
    idle_.pop_back();
    return easy;
}

void HttpClient::Impl::start(Outgoing outgoing) {
    if (outgoing.completion->cancelled.load()) {
        if (outgoing.completion->file) {
            postCancelled(outgoing.id, outgoing.completion);
        }
        return;  // otherwise its `cancelled` delivery is already queued
    }
    bool recycled = false;
    EasyHandle easy = takeEasy(recycled);
    if (!easy) {
        post(outgoing.id, outgoing.completion,
             unexpected(Error::make(Error::Kind::transport,
                                    "The request could not be prepared: out of memory")));
        return;
    }
    Transfer::Progress progress;
    if (outgoing.completion->progress) {
        progress = [this, completion = outgoing.completion](int percent) {
            executor_.post([completion, percent] { report(completion, percent); });
        };
    }
    auto transfer = Transfer::create(outgoing.id, std::move(easy), std::move(outgoing.request),
                                     settings_, recycled, std::move(progress));
    if (!transfer) {
        post(outgoing.id, outgoing.completion, unexpected(std::move(transfer).error()));
        return;
    }
    const auto it =
        active_.emplace(outgoing.id, Active{std::move(transfer).value(), outgoing.completion})
            .first;
    const CURLMcode added = curl_multi_add_handle(multi_.get(), it->second.transfer->easy());
    if (added != CURLM_OK) {
        active_.erase(it);
        post(outgoing.id, outgoing.completion,
             unexpected(Error::make(Error::Kind::transport, curl_multi_strerror(added))));
    }
}

void HttpClient::Impl::abort(std::uint64_t id) {
    const auto it = active_.find(id);
    if (it == active_.end()) {
        return;
    }
    // Removing the handle closes its connection mid-transfer. The `cancelled`
    // delivery was queued by `cancel` itself, except a download's, which waits
    // for its partial file to go with the transfer.
    curl_multi_remove_handle(multi_.get(), it->second.transfer->easy());
    const std::shared_ptr<Completion> completion = it->second.completion;
    active_.erase(it);
    if (completion->file) {
        postCancelled(id, completion);
    }
}

void HttpClient::Impl::collectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        // The message is gone once its handle is removed: read it first.
        CURL* easy = message->easy_handle;
        const CURLcode code = message->data.result;
        char* owner = nullptr;
        curl_easy_getinfo(easy, CURLINFO_PRIVATE, &owner);
        curl_multi_remove_handle(multi_.get(), easy);
        if (owner == nullptr) {
            continue;
        }
        const std::uint64_t id = reinterpret_cast<Transfer*>(owner)->id();
        const auto it = active_.find(id);
        if (it == active_.end()) {
            continue;
        }
        Active active = std::move(it->second);
        active_.erase(it);
        if (active.completion->file && active.completion->cancelled.load()) {
            active.transfer.reset();  // with its partial file; `abort` will not find it now
            postCancelled(id, active.completion);
            continue;
        }
        connections_.fetch_add(
            static_cast<std::uint64_t>(std::max(0L, active.transfer->newConnections())));
        // The caller hears first; recycling the handle is not its wait.
        post(id, active.completion, active.transfer->finish(code));
        EasyHandle spent = active.transfer->recycle();
        active.transfer.reset();
        if (spent && idle_.size() < kMaxIdleHandles) {
            idle_.push_back(std::move(spent));
        }
    }
}

HttpClient::HttpClient(Executor& executor, HttpClientOptions options)
    : impl_(std::make_unique<Impl>(executor, std::move(options))) {}

HttpClient::~HttpClient() = default;

RequestId HttpClient::send(HttpRequest request, Callback callback, Progress progress) {
    return impl_->send(std::move(request), std::move(callback), std::move(progress));
}

void HttpClient::cancel(RequestId id) {
    impl_->cancel(id);
}

std::uint64_t HttpClient::connectionsOpened() const noexcept {
    return impl_->connectionsOpened();
}

}  // namespace vesk::net
