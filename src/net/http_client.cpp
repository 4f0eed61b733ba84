#include "net/http_client.hpp"

#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
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

// One request's callback and how it must end. `fired` and `callback` are
// touched only by tasks on the executor, so the first of them wins.
struct Completion {
    explicit Completion(HttpClient::Callback cb) : callback(std::move(cb)) {}
    HttpClient::Callback callback;
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
    if (!callback) {
        return;
    }
    if (completion->cancelled.load()) {
        callback(unexpected(cancelledError()));
    } else {
        callback(std::move(outcome));
    }
}

}  // namespace

class HttpClient::Impl {
  public:
    Impl(Executor& executor, HttpClientOptions options);
    ~Impl();

    RequestId send(HttpRequest request, Callback callback);
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

RequestId HttpClient::Impl::send(HttpRequest request, Callback callback) {
    const std::uint64_t id = nextId_.fetch_add(1);
    auto completion = std::make_shared<Completion>(std::move(callback));
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
    post(id.value, completion, unexpected(cancelledError()));
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
                outgoing.completion->cancelled = true;
                post(outgoing.id, outgoing.completion, unexpected(cancelledError()));
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
    for (auto& [id, active] : active_) {
        curl_multi_remove_handle(multi_.get(), active.transfer->easy());
        active.completion->cancelled = true;
        post(id, active.completion, unexpected(cancelledError()));
    }
    active_.clear();
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
        return;  // its `cancelled` delivery is already queued
    }
    bool recycled = false;
    EasyHandle easy = takeEasy(recycled);
    if (!easy) {
        post(outgoing.id, outgoing.completion,
             unexpected(Error::make(Error::Kind::transport,
                                    "The request could not be prepared: out of memory")));
        return;
    }
    auto transfer = Transfer::create(outgoing.id, std::move(easy), std::move(outgoing.request),
                                     settings_, recycled);
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
    // Removing the handle closes its connection mid-transfer; the `cancelled`
    // delivery was queued by `cancel` itself.
    curl_multi_remove_handle(multi_.get(), it->second.transfer->easy());
    active_.erase(it);
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

RequestId HttpClient::send(HttpRequest request, Callback callback) {
    return impl_->send(std::move(request), std::move(callback));
}

void HttpClient::cancel(RequestId id) {
    impl_->cancel(id);
}

std::uint64_t HttpClient::connectionsOpened() const noexcept {
    return impl_->connectionsOpened();
}

}  // namespace vesk::net
