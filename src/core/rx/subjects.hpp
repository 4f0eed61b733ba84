// Hot streams the library pushes into: PublishSubject (no memory),
// ReplaySubject (replays the latest value), BehaviorSubject (always holds a
// value and replays it), and the relays, which never error or complete.
// Subjects and relays are shared handles: copies are the same stream.
//
// Threading: single-threaded; emit, subscribe and dispose on the main executor.
//
// Re-entrancy: an emission made while the subject is delivering (from inside
// a subscriber's callback) is queued and delivered once the current value has
// reached every subscriber, so all subscribers see values in one order. The
// held value changes at once, so read-modify-write from a callback never reads
// a stale value. A subscriber added during a delivery receives the held value
// on subscribing and only emissions made after that. Subscribing and disposing
// from callbacks is fine; a disposed subscriber receives nothing more.
//
// A subject that dies ends its subscriptions silently, which frees them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/rx/observable.hpp"

namespace vesk::rx {
namespace detail {

template <class T>
class SubjectCore : public std::enable_shared_from_this<SubjectCore<T>> {
public:
    enum class Replay { none, latest };

    SubjectCore(Replay replay, std::optional<T> initial)
        : replay_(replay), latest_(std::move(initial)) {}

    SubjectCore(const SubjectCore&) = delete;
    SubjectCore& operator=(const SubjectCore&) = delete;

    ~SubjectCore() {
        for (auto& entry : entries_) {
            entry.observer.dispose();
        }
    }

    Disposable subscribe(const Observer<T>& o) {
        if (stop_) {
            if (replay_ == Replay::latest && latest_ && !replayOnlyWhileLive_) {
                T value = *latest_;
                o.onNext(value);
            }
            o.on(*stop_);
            return {};
        }
        const auto id = nextId_++;
        entries_.push_back(Entry{id, sequence_, o});
        if (replay_ == Replay::latest && latest_) {
            // A copy: the subscriber may emit (and so replace the held value) while reading it.
            T value = *latest_;
            o.onNext(value);
        }
        return Disposable::create([weak = this->weak_from_this(), id] {
            if (auto self = weak.lock()) {
                self->remove(id);
            }
        });
    }

    void emit(Event<T> event) {
        if (stop_) {
            return;
        }
        const auto self = this->shared_from_this();  // a callback may drop the last handle
        const auto seq = ++sequence_;
        if (const T* value = event.element(); value && replay_ == Replay::latest) {
            latest_ = *value;
        }
        if (event.isStopped()) {
            stop_ = event;
        }
        if (delivering_) {
            pending_.push_back({seq, std::move(event)});
            return;
        }
        delivering_ = true;
        deliver(seq, event);
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            auto item = std::move(pending_[i]);
            deliver(item.first, item.second);
        }
        pending_.clear();
        delivering_ = false;
        std::erase_if(entries_, [](const Entry& e) { return !e.live; });
        if (stop_) {
            entries_.clear();
        }
    }

    [[nodiscard]] const std::optional<T>& latest() const { return latest_; }
    [[nodiscard]] bool hasObservers() const {
        return std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) { return e.live; });
    }

    // A BehaviorSubject that has ended replays only its end.
    void setReplayOnlyWhileLive() { replayOnlyWhileLive_ = true; }

private:
    struct Entry {
        std::uint64_t id;
        std::uint64_t subscribedAt;  // the sequence number current when it subscribed
        Observer<T> observer;
        bool live = true;
    };

    void deliver(std::uint64_t seq, const Event<T>& event) {
        // By index: subscribers may be added (they skip this event) or removed meanwhile.
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (!entries_[i].live || entries_[i].subscribedAt >= seq) {
                continue;
            }
            const auto observer = entries_[i].observer;
            observer.on(event);
        }
    }

    void remove(std::uint64_t id) {
        auto it = std::find_if(entries_.begin(), entries_.end(),
                               [id](const Entry& e) { return e.id == id; });
        if (it == entries_.end()) {
            return;
        }
        if (delivering_) {
            it->live = false;  // erased once the delivery loop is done
        } else {
            entries_.erase(it);
        }
    }

    Replay replay_;
    bool replayOnlyWhileLive_ = false;
    std::optional<T> latest_;
    std::optional<Event<T>> stop_;
    std::vector<Entry> entries_;
    std::vector<std::pair<std::uint64_t, Event<T>>> pending_;
    std::uint64_t sequence_ = 0;
    std::uint64_t nextId_ = 0;
    bool delivering_ = false;
};

template <class T>
class SubjectBase {
public:
    void onNext(T value) const { core_->emit(Event<T>::next(std::move(value))); }
    void onError(Error e) const { core_->emit(Event<T>::error(std::move(e))); }
    void onCompleted() const { core_->emit(Event<T>::completed()); }

    [[nodiscard]] Observable<T> asObservable() const {
        return Observable<T>::create([core = core_](const Observer<T>& o) { return core->subscribe(o); });
    }
    // An observer that feeds this subject: `source.subscribe(subject.asObserver())`.
    [[nodiscard]] Observer<T> asObserver() const {
        auto core = core_;
        return Observer<T>::make([core](const T& v) { core->emit(Event<T>::next(v)); },
                                 [core](const Error& e) { core->emit(Event<T>::error(e)); },
                                 [core] { core->emit(Event<T>::completed()); });
    }
    [[nodiscard]] bool hasObservers() const { return core_->hasObservers(); }

    friend bool operator==(const SubjectBase& a, const SubjectBase& b) { return a.core_ == b.core_; }

protected:
    explicit SubjectBase(std::shared_ptr<SubjectCore<T>> core) : core_(std::move(core)) {}

    std::shared_ptr<SubjectCore<T>> core_;
};

}  // namespace detail

template <class T>
class PublishSubject : public detail::SubjectBase<T> {
public:
    PublishSubject()
        : detail::SubjectBase<T>(std::make_shared<detail::SubjectCore<T>>(
              detail::SubjectCore<T>::Replay::none, std::nullopt)) {}
};

// Replays the latest value (if any) to each new subscriber, also after it ended.
template <class T>
class ReplaySubject : public detail::SubjectBase<T> {
public:
    ReplaySubject()
        : detail::SubjectBase<T>(std::make_shared<detail::SubjectCore<T>>(
              detail::SubjectCore<T>::Replay::latest, std::nullopt)) {}

    [[nodiscard]] const std::optional<T>& latest() const { return this->core_->latest(); }
};

template <class T>
class BehaviorSubject : public detail::SubjectBase<T> {
public:
    explicit BehaviorSubject(T initial)
        : detail::SubjectBase<T>(std::make_shared<detail::SubjectCore<T>>(
              detail::SubjectCore<T>::Replay::latest, std::move(initial))) {
        this->core_->setReplayOnlyWhileLive();
    }

    // The held value. The reference stays valid; the value changes with each onNext.
    [[nodiscard]] const T& value() const { return *this->core_->latest(); }
};

// A BehaviorSubject that only takes values: it never errors or completes.
template <class T>
class BehaviorRelay {
public:
    explicit BehaviorRelay(T initial) : subject_(std::move(initial)) {}

    void accept(T value) const { subject_.onNext(std::move(value)); }
    [[nodiscard]] const T& value() const { return subject_.value(); }
    [[nodiscard]] Observable<T> asObservable() const { return subject_.asObservable(); }
    [[nodiscard]] bool hasObservers() const { return subject_.hasObservers(); }

private:
    BehaviorSubject<T> subject_;
};

// A PublishSubject that only takes values.
template <class T>
class PublishRelay {
public:
    void accept(T value) const { subject_.onNext(std::move(value)); }
    [[nodiscard]] Observable<T> asObservable() const { return subject_.asObservable(); }
    [[nodiscard]] bool hasObservers() const { return subject_.hasObservers(); }

private:
    PublishSubject<T> subject_;
};

}  // namespace vesk::rx
