// The conversation list of the user, in memory. Its order is the order of the
// latest change: a dialog that changes moves to the end.
// Threading: main executor.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/rx/rx.hpp"
#include "services/models/dialog.hpp"
#include "services/models/message.hpp"
#include "vesk/clock.hpp"

namespace vesk {

class DialogRepository {
  public:
    DialogRepository() = default;
    // Cancels the expiries still waiting.
    ~DialogRepository();
    DialogRepository(const DialogRepository&) = delete;
    DialogRepository& operator=(const DialogRepository&) = delete;

    // Appends each dialog whose id is not listed yet (a listed one is kept as
    // it is); publishes.
    void add(const std::vector<Dialog>& newDialogs);
    // Counts a new message into its dialog and moves that dialog to the end.
    // Nothing happens for a message without conversation, for an unlisted
    // conversation, or for the dialog's own last part. A message from an
    // operator (a `from` that decodes as one) becomes the dialog's `lastAdmin`.
    void add(const Message& message);
    // One more unread part for a listed dialog, moved to the end; publishes.
    void unRead(const std::optional<std::string>& dialogId);
    // `unRead` (when `unread`) and then `add`, published once.
    void addMessage(const Message& message, bool unread);
    // A listed dialog read: counts to 0, `lastUpdate` + 1, moved to the end;
    // publishes the list, then the id on `dialogReaded`.
    void markRead(const std::optional<std::string>& dialogId);
    // Drops every dialog with this id; publishes when one was dropped.
    void remove(const std::string& dialogId);
    // Replaces the listed dialog with the same id in place, or appends it; publishes.
    void save(const Dialog& dialog);
    [[nodiscard]] std::optional<Dialog> find(const std::string& dialogId) const;

    // Runs `task` once `delay` has passed; cancelled when this repository dies.
    void scheduleExpiry(Scheduler& scheduler, Scheduler::Duration delay,
                        std::function<void()> task);

    rx::DisposeBag disposeBag;
    rx::PublishSubject<std::optional<std::string>> dialogReaded;
    rx::BehaviorRelay<std::vector<Dialog>> dialogs{std::vector<Dialog>{}};
    rx::BehaviorSubject<bool> loading{false};
    std::optional<std::string> paginatePosition;
    // The randomIds of messages already counted into a dialog.
    std::unordered_set<std::int64_t> updatedRandomId;

  private:
    void countPart(Dialog& dialog, const Message& message);

    std::map<std::uint64_t, TimerHandle> expiries_;
    std::uint64_t nextExpiry_ = 0;
};

}  // namespace vesk
