#include "usecases/outbox.hpp"

#include <algorithm>
#include <utility>

namespace vesk {

Outbox::Outbox(ConversationContext& ctx, std::function<std::string()> userId)
    : ctx_(ctx), userId_(std::move(userId)), jitter_(std::random_device{}()) {
    load();
}

Outbox::~Outbox() {
    retry_.cancel();
    request_.dispose();
}

// What the store holds: [{"user": id, "message": the message's JSON}, ...].
// An entry this version cannot read is dropped rather than failing the rest.
void Outbox::load() {
    const auto text = ctx_.store ? ctx_.store->json(kStoreKey) : std::nullopt;
    const auto parsed = text ? JsonValue::parse(*text) : std::nullopt;
    const auto* items = parsed ? parsed->array() : nullptr;
    if (items == nullptr) {
        return;
    }
    for (const auto& item : *items) {
        const auto* object = item.object();
        const auto user = object ? json::optString(*object, "user") : std::nullopt;
        const auto* message = object ? json::member(*object, "message") : nullptr;
        if (!user || user->empty() || message == nullptr) {
            continue;
        }
        auto decoded = json::Codec<Message>::decode(*message);
        if (decoded && decoded->randomId != 0) {
            entries_.push_back({*user, std::move(decoded).value()});
        }
    }
}

void Outbox::save() const {
    if (!ctx_.store) {
        return;
    }
    if (entries_.empty()) {
        ctx_.store->remove(kStoreKey);
        return;
    }
    JsonArray items;
    items.reserve(entries_.size());
    for (const auto& entry : entries_) {
        items.emplace_back(JsonObject{{"user", JsonValue(entry.user)},
                                      {"message", json::Codec<Message>::encode(entry.message)}});
    }
    // A failed write has been reported; the message is still sent this run.
    ctx_.store->setJson(kStoreKey, JsonValue(std::move(items)).encode());
}

void Outbox::send(const Message& message) {
    const auto* user = message.from.string();
    if (user == nullptr || user->empty() || message.randomId == 0) {
        changes.onNext({message.randomId, State::failed, std::nullopt});
        return;
    }
    if (find(message.randomId) == nullptr) {
        entries_.push_back({*user, message});
        save();
    }
    if (sending_) {
        return;  // its turn comes; a transport failure before it marks it failed
    }
    sendNext();
    auto* kept = find(message.randomId);
    if (!sending_ && kept != nullptr && !kept->failed) {
        kept->failed = true;
        changes.onNext({message.randomId, State::failed, std::nullopt});
    }
}

bool Outbox::retry(std::int64_t randomId) {
    auto* entry = find(randomId);
    if (entry == nullptr) {
        return false;
    }
    entry->held = false;
    if (!sending_) {
        sendNext();
    }
    entry = find(randomId);
    if (!sending_ && entry != nullptr) {
        entry->failed = true;
        changes.onNext({randomId, State::failed, std::nullopt});
    }
    return true;
}

void Outbox::remove(std::int64_t randomId) {
    const auto at = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.message.randomId == randomId; });
    if (at == entries_.end()) {
        return;
    }
    entries_.erase(at);
    save();
    if (sending_ == randomId) {
        // A request not yet answered is called off; the service may have it already.
        std::exchange(request_, {}).dispose();
        sending_.reset();
        sendNext();
    }
}

void Outbox::resume() {
    failures_ = 0;
    for (auto& entry : entries_) {
        entry.held = false;
    }
    if (!sending_) {
        sendNext();
    }
}

void Outbox::list() {
    const std::string user = userId_ ? userId_() : std::string();
    if (user.empty()) {
        return;
    }
    for (const auto& entry : entries_) {
        const auto conversation = entry.message.conversation.value_or("0");
        // A message starting its conversation right now has left "0" once the
        // service answered; listing it there again would leave it behind.
        if (entry.user != user || (conversation == "0" && sending_ == entry.message.randomId)) {
            continue;
        }
        auto& repo = ctx_.messages.repository(conversation);
        if (repo.match(entry.message) == nullptr) {
            repo.add({entry.message});
        }
    }
}

bool Outbox::holds(std::int64_t randomId) const {
    return find(randomId) != nullptr;
}

bool Outbox::failed(std::int64_t randomId) const {
    const auto* entry = find(randomId);
    return entry != nullptr && entry->failed;
}

std::vector<Message> Outbox::pending(const std::string& userId) const {
    std::vector<Message> out;
    for (const auto& entry : entries_) {
        if (entry.user == userId) {
            out.push_back(entry.message);
        }
    }
    return out;
}

void Outbox::sendNext() {
    const auto settings = ctx_.settings();
    if (sending_ || !settings) {
        return;
    }
    const auto next = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.user == settings->userId && !e.held;
    });
    if (next == entries_.end()) {
        return;
    }
    retry_.cancel();
    next->failed = false;
    const Message message = next->message;
    const auto randomId = message.randomId;
    const auto attempt = ++attempt_;
    sending_ = randomId;
    changes.onNext({randomId, State::sending, std::nullopt});
    auto subscription =
        (rx::just(message) | sendMessageUseCase(ctx_))
            .subscribe([this, attempt](const SendOutcome& outcome) { finish(attempt, outcome); },
                       [this, attempt, randomId](const Error& error) {
                           finish(attempt, SendOutcome{randomId, unexpected(error)});
                       },
                       [this, attempt] { finish(attempt, std::nullopt); });
    // An answer that came at once has finished this try (and maybe begun the next).
    if (sending_ == randomId && attempt_ == attempt) {
        request_ = std::move(subscription);
    }
}

// `outcome` is absent when the request ended without one (no settings any more).
void Outbox::finish(std::uint64_t attempt, const std::optional<SendOutcome>& outcome) {
    if (attempt != attempt_ || !sending_) {
        return;
    }
    const auto randomId = *std::exchange(sending_, std::nullopt);
    request_ = {};
    const auto at = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.message.randomId == randomId; });
    if (at == entries_.end()) {
        sendNext();  // deleted while it was on its way
        return;
    }
    if (outcome && outcome->result) {
        failures_ = 0;
        const Entry sent = std::move(*at);
        entries_.erase(at);
        const auto& started = *outcome->result;
        if (started) {
            moveStarted(sent, *started);
        }
        save();
        changes.onNext({randomId, State::sent, started});
        sendNext();
        return;
    }
    if (outcome && outcome->result.error().kind == Error::Kind::api) {
        at->held = true;
        at->failed = true;
        changes.onNext({randomId, State::failed, std::nullopt});
        sendNext();
        return;
    }
    failAll(at->user);
    if (!outcome) {
        return;  // nothing to send with until the settings come back
    }
    using std::chrono::milliseconds;
    const milliseconds ceiling =
        std::min<milliseconds>(kLastRetry, kFirstRetry * (1 << std::min(failures_, 10)));
    ++failures_;
    std::uniform_int_distribution<std::int64_t> draw(ceiling.count() / 2, ceiling.count());
    // The outbox cancels the timer before it goes, so `this` is alive when it fires.
    retry_ = ctx_.scheduler().schedule(milliseconds(draw(jitter_)), [this] { sendNext(); });
}

void Outbox::failAll(const std::string& user) {
    std::vector<std::int64_t> failed;
    for (auto& entry : entries_) {
        if (entry.user == user && !entry.failed) {
            entry.failed = true;
            failed.push_back(entry.message.randomId);
        }
    }
    for (const auto randomId : failed) {
        changes.onNext({randomId, State::failed, std::nullopt});
    }
}

// The started conversation lists the message itself; the user's other
// messages that waited for a conversation go to it as replies (the caller saves).
void Outbox::moveStarted(const Entry& sent, const std::string& conversation) {
    auto& waiting = ctx_.messages.repository("0");
    waiting.remove(sent.message.id);
    auto& started = ctx_.messages.repository(conversation);
    for (auto& entry : entries_) {
        if (entry.user != sent.user || entry.message.conversation.value_or("0") != "0") {
            continue;
        }
        waiting.remove(entry.message.id);
        entry.message.conversation = conversation;
        if (started.match(entry.message) == nullptr) {
            started.add({entry.message});
        }
    }
}

Outbox::Entry* Outbox::find(std::int64_t randomId) {
    const auto at = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.message.randomId == randomId; });
    return at == entries_.end() ? nullptr : &*at;
}

const Outbox::Entry* Outbox::find(std::int64_t randomId) const {
    const auto at = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.message.randomId == randomId; });
    return at == entries_.end() ? nullptr : &*at;
}

}  // namespace vesk
