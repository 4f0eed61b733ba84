// Ends a subscription, a timer, or a group of them.
//
// Threading: single-threaded, like the whole rx layer: use on the main
// executor only.
//
// A Disposable is a shared handle: copies end the same thing, and ending it
// twice is harmless. Dropping a Disposable does not end anything; a
// DisposeBag does, when it is destroyed. Every reference cycle in a
// subscription graph passes through a Disposable, which drops its references
// when it is disposed, so a disposed graph frees itself.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "vesk/clock.hpp"

namespace vesk::rx {

class DisposableState {
public:
    virtual ~DisposableState() = default;
    virtual void dispose() = 0;
    [[nodiscard]] virtual bool isDisposed() const = 0;
};

class Disposable {
public:
    // An empty Disposable: nothing to end; it counts as disposed.
    Disposable() = default;
    explicit Disposable(std::shared_ptr<DisposableState> state) noexcept : state_(std::move(state)) {}

    // Runs `action` on the first dispose only.
    static Disposable create(std::function<void()> action);
    // Cancels a scheduled task on dispose.
    static Disposable fromTimer(TimerHandle handle);

    void dispose() const {
        if (state_) {
            state_->dispose();
        }
    }
    [[nodiscard]] bool isDisposed() const { return !state_ || state_->isDisposed(); }

private:
    std::shared_ptr<DisposableState> state_;
};

namespace detail {

class ActionDisposable final : public DisposableState {
public:
    explicit ActionDisposable(std::function<void()> action) : action_(std::move(action)) {}

    void dispose() override {
        if (!action_) {
            return;
        }
        auto action = std::exchange(action_, nullptr);
        action();
    }
    [[nodiscard]] bool isDisposed() const override { return !action_; }

private:
    std::function<void()> action_;
};

}  // namespace detail

inline Disposable Disposable::create(std::function<void()> action) {
    return Disposable(std::make_shared<detail::ActionDisposable>(std::move(action)));
}

inline Disposable Disposable::fromTimer(TimerHandle handle) {
    return create([handle]() mutable { handle.cancel(); });
}

// Owns subscriptions on behalf of an object and ends them all when it dies,
// or when it is replaced by move-assignment (a fresh bag ends the old set).
class DisposeBag {
public:
    DisposeBag() = default;
    ~DisposeBag() { dispose(); }
    DisposeBag(const DisposeBag&) = delete;
    DisposeBag& operator=(const DisposeBag&) = delete;
    DisposeBag(DisposeBag&& other) noexcept : items_(std::exchange(other.items_, {})) {}
    DisposeBag& operator=(DisposeBag&& other) noexcept {
        if (this != &other) {
            dispose();
            items_ = std::exchange(other.items_, {});
        }
        return *this;
    }

    void add(Disposable d) {
        // A long-lived bag (the facade's) collects finished subscriptions; drop
        // them now and then so it grows with the live ones only.
        if (items_.size() >= compactAt_) {
            std::erase_if(items_, [](const Disposable& item) { return item.isDisposed(); });
            compactAt_ = std::max<std::size_t>(kMinCompact, items_.size() * 2);
        }
        items_.push_back(std::move(d));
    }
    void insert(Disposable d) { add(std::move(d)); }

    // Ends everything held now; the bag stays usable.
    void dispose() {
        // Disposing may add to this bag again; loop until it stays empty.
        while (!items_.empty()) {
            auto items = std::exchange(items_, {});
            for (const auto& item : items) {
                item.dispose();
            }
        }
    }

    [[nodiscard]] std::size_t size() const { return items_.size(); }

private:
    static constexpr std::size_t kMinCompact = 32;

    std::vector<Disposable> items_;
    std::size_t compactAt_ = kMinCompact;
};

// A keyed group for operators: members can leave early (an inner stream that
// completed); anything added after dispose is disposed at once.
class CompositeDisposable {
public:
    using Key = std::uint64_t;

    CompositeDisposable() : state_(std::make_shared<State>()) {}

    // Reserves a key before the member exists, so it can remove itself even
    // while it is still being subscribed.
    [[nodiscard]] Key nextKey() const { return state_->next++; }

    void add(Key key, Disposable d) const {
        if (state_->disposed) {
            d.dispose();
            return;
        }
        state_->items.emplace_back(key, std::move(d));
    }
    void add(Disposable d) const { add(nextKey(), std::move(d)); }

    // Disposes and forgets the member with `key`, if present.
    void remove(Key key) const {
        auto& items = state_->items;
        auto it = std::find_if(items.begin(), items.end(), [key](const auto& i) { return i.first == key; });
        if (it == items.end()) {
            return;
        }
        auto d = std::move(it->second);
        items.erase(it);
        d.dispose();
    }

    [[nodiscard]] std::size_t size() const { return state_->items.size(); }
    void dispose() const { state_->dispose(); }
    [[nodiscard]] Disposable asDisposable() const { return Disposable(state_); }

private:
    struct State final : DisposableState {
        void dispose() override {
            if (disposed) {
                return;
            }
            disposed = true;
            auto all = std::exchange(items, {});
            for (const auto& item : all) {
                item.second.dispose();
            }
        }
        [[nodiscard]] bool isDisposed() const override { return disposed; }

        std::vector<std::pair<Key, Disposable>> items;
        Key next = 0;
        bool disposed = false;
    };

    std::shared_ptr<State> state_;
};

// Holds one member at a time; setting a new one disposes the old.
class SerialDisposable {
public:
    SerialDisposable() : state_(std::make_shared<State>()) {}

    void set(Disposable d) const {
        if (state_->disposed) {
            d.dispose();
            return;
        }
        std::exchange(state_->current, std::move(d)).dispose();
    }
    void dispose() const { state_->dispose(); }
    [[nodiscard]] bool isDisposed() const { return state_->disposed; }
    [[nodiscard]] Disposable asDisposable() const { return Disposable(state_); }

private:
    struct State final : DisposableState {
        void dispose() override {
            if (disposed) {
                return;
            }
            disposed = true;
            std::exchange(current, {}).dispose();
        }
        [[nodiscard]] bool isDisposed() const override { return disposed; }

        Disposable current;
        bool disposed = false;
    };

    std::shared_ptr<State> state_;
};

}  // namespace vesk::rx
