#include "usecases/dialog_repository.hpp"

#include <algorithm>
#include <memory>

#include "services/models/person.hpp"

namespace vesk {

namespace {

using Dialogs = std::vector<Dialog>;

Dialogs::iterator findIn(Dialogs& list, const std::string& id) {
    return std::find_if(list.begin(), list.end(), [&id](const Dialog& d) { return d.id == id; });
}

// Moves the dialog at `it` to the end after `change` and returns the list.
template <class F>
Dialogs movedToEnd(Dialogs& list, Dialogs::iterator it, F change) {
    Dialog dialog = std::move(*it);
    list.erase(it);
    change(dialog);
    list.push_back(std::move(dialog));
    return std::move(list);
}

}  // namespace

DialogRepository::~DialogRepository() {
    for (auto& [key, handle] : expiries_) {
        handle.cancel();
    }
}

void DialogRepository::add(const std::vector<Dialog>& newDialogs) {
    Dialogs list = dialogs.value();
    for (const auto& dialog : newDialogs) {
        if (findIn(list, dialog.id) == list.end()) {
            list.push_back(dialog);
        }
    }
    dialogs.accept(std::move(list));
}

void DialogRepository::add(const Message& message) {
    addMessage(message, false);
}

void DialogRepository::addMessage(const Message& message, bool unread) {
    if (!message.conversation) {
        return;
    }
    Dialogs list = dialogs.value();
    const auto it = findIn(list, *message.conversation);
    if (it == list.end()) {
        return;
    }
    const bool newPart = it->partLast.id != message.id;
    if (!unread && !newPart) {
        return;
    }
    dialogs.accept(movedToEnd(list, it, [this, &message, unread, newPart](Dialog& dialog) {
        if (unread) {
            ++dialog.userUnreadCount;
        }
        if (newPart) {
            countPart(dialog, message);
        }
    }));
}

void DialogRepository::countPart(Dialog& dialog, const Message& message) {
    dialog.partLast = message;
    dialog.lastUpdate = message.created;
    if (!updatedRandomId.contains(message.randomId)) {
        ++dialog.partsCount;
    }
    if (message.randomId > 0) {
        updatedRandomId.insert(message.randomId);
    }
    if (message.type == "reply_admin" || message.type == "auto_reply") {
        ++dialog.unreadPartsCount;
    }
    if (message.from.isObject()) {
        if (auto admin = json::Codec<Admin>::decode(message.from)) {
            dialog.lastAdmin = std::move(admin).value();
        }
    }
}

void DialogRepository::unRead(const std::optional<std::string>& dialogId) {
    if (!dialogId) {
        return;
    }
    Dialogs list = dialogs.value();
    const auto it = findIn(list, *dialogId);
    if (it == list.end()) {
        return;
    }
    dialogs.accept(movedToEnd(list, it, [](Dialog& d) { ++d.userUnreadCount; }));
}

void DialogRepository::markRead(const std::optional<std::string>& dialogId) {
    if (!dialogId) {
        return;
    }
    Dialogs list = dialogs.value();
    const auto it = findIn(list, *dialogId);
    if (it == list.end()) {
        return;
    }
    dialogs.accept(movedToEnd(list, it, [](Dialog& d) {
        d.userUnreadCount = 0;
        d.unreadPartsCount = 0;
        d.lastUpdate += 1;
    }));
    dialogReaded.onNext(dialogId);
}

void DialogRepository::remove(const std::string& dialogId) {
    Dialogs list = dialogs.value();
    if (std::erase_if(list, [&dialogId](const Dialog& d) { return d.id == dialogId; }) > 0) {
        dialogs.accept(std::move(list));
    }
}

void DialogRepository::save(const Dialog& dialog) {
    Dialogs list = dialogs.value();
    if (auto it = findIn(list, dialog.id); it != list.end()) {
        *it = dialog;
    } else {
        list.push_back(dialog);
    }
    dialogs.accept(std::move(list));
}

std::optional<Dialog> DialogRepository::find(const std::string& dialogId) const {
    const auto& list = dialogs.value();
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&dialogId](const Dialog& d) { return d.id == dialogId; });
    return it == list.end() ? std::nullopt : std::optional<Dialog>(*it);
}

void DialogRepository::scheduleExpiry(Scheduler& scheduler, Scheduler::Duration delay,
                                      std::function<void()> task) {
    const auto key = nextExpiry_++;
    expiries_[key] = scheduler.schedule(delay, [this, key, task = std::move(task)] {
        expiries_.erase(key);
        task();
    });
}

}  // namespace vesk
