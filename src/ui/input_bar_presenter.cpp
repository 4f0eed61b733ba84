#include "ui/input_bar_presenter.hpp"

#include <algorithm>
#include <cctype>

#include "services/conversation_service.hpp"
#include "usecases/conversation_requests.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk {

namespace {

bool isImageFile(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* image : {".jpg", ".jpeg", ".png", ".gif", ".webp", ".heic"}) {
        if (extension == image) {
            return true;
        }
    }
    return false;
}

// The local copy as the page shows an attachment until the service has it:
// every field the page's entity requires, under the message's own id.
JsonValue localAttachments(const Message& local, const std::filesystem::path& file) {
    const bool image = isImageFile(file);
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    return JsonValue(JsonArray{JsonValue(JsonObject{
        {"id", JsonValue(local.id)},
        {"created", JsonValue(local.created)},
        {"url", JsonValue("file://" + file.string())},
        {"filename", JsonValue(file.filename().string())},
        {"type", JsonValue(image ? "image" : "file")},
        {"mime_type", JsonValue(image ? "image/" + file.extension().string().substr(1)
                                      : std::string("application/octet-stream"))},
        {"size", JsonValue(static_cast<std::int64_t>(error ? 0 : size))},
    })});
}

}  // namespace

bool isSendable(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isspace(c) == 0; });
}

std::shared_ptr<InputBarPresenter> InputBarPresenter::attach(ChatDependencies& deps,
                                                             std::shared_ptr<InputBar> bar) {
    std::shared_ptr<InputBarPresenter> presenter(new InputBarPresenter(deps, std::move(bar)));
    presenter->bar_->setListener(presenter);
    presenter->bar_->setEnabled(false);
    return presenter;
}

InputBarPresenter::InputBarPresenter(ChatDependencies& deps, std::shared_ptr<InputBar> bar)
    : deps_(deps), bar_(std::move(bar)) {}

void InputBarPresenter::textChanged(const std::string& text) {
    text_ = text;
    bar_->setEnabled(isSendable(text_));
}

void InputBarPresenter::sendTapped() {
    if (!isSendable(text_)) {
        return;  // a bar that ignores its disabled state must not send blanks
    }
    sendMessage(std::exchange(text_, {}));
    bar_->setText("");
    bar_->setEnabled(false);
}

void InputBarPresenter::fileChosen(const std::filesystem::path& file) {
    sendFile(file);
}

User InputBarPresenter::sender() const {
    User user;
    user.id = deps_.userId ? deps_.userId() : std::string();
    return user;
}

void InputBarPresenter::sendMessage(const std::string& body) {
    auto& ctx = deps_.conversations;
    const Message message =
        createUserMessage(ctx, body, sender(), ctx.currentState.dialogId.value());
    addMessage(ctx, message);
    // Kept until the service has it, whatever becomes of the screen.
    deps_.outbox.send(message);
}

void InputBarPresenter::sendFile(const std::filesystem::path& file) {
    auto& ctx = deps_.conversations;
    const auto conversation = ctx.currentState.dialogId.value();
    Message local = createUserMessage(ctx, "", sender(), conversation);
    local.attachments = localAttachments(local, file);
    addMessage(ctx, local);
    if (!ctx.settings()) {
        fileFailed(local);
        return;
    }
    if (conversation) {
        replyFile(*conversation, local, file);
        return;
    }
    // The service starts a conversation only with a text: the file's name opens it.
    Message opening = createUserMessage(ctx, file.filename().string(), sender(), std::nullopt);
    requests_.insert((rx::just(opening) | sendMessageUseCase(ctx))
                         .subscribe([this, local, file](const SendOutcome& started) {
                             const auto* id = started.result ? &*started.result : nullptr;
                             if (id == nullptr || !*id) {
                                 fileFailed(local);
                                 return;
                             }
                             // The local copy waited under no conversation; it moves along.
                             deps_.conversations.messages.repository("0").remove(local.id);
                             Message moved = local;
                             moved.conversation = **id;
                             addMessage(deps_.conversations, moved);
                             replyFile(**id, moved, file);
                         }));
}

void InputBarPresenter::replyFile(const std::string& conversation, const Message& local,
                                  const std::filesystem::path& file) {
    auto& ctx = deps_.conversations;
    const auto service = std::make_shared<ConversationService>(ctx.api(), ctx.settings());
    requests_.insert(
        service->replyFile(conversation, file, std::to_string(local.randomId))
            .subscribe(
                [this, conversation, file, service](const SimpleId& sent) {
                    // The echo carries the attachment's address: from then on the
                    // local copy stands for its download.
                    requests_.insert(
                        (deps_.conversations.messages.repository(conversation).messages() |
                         rx::map([id = sent.id](const MessageList& list) {
                             const Message* echo = list.find(id);
                             const auto* items =
                                 echo && echo->attachments ? echo->attachments->array() : nullptr;
                             const auto* object =
                                 items && !items->empty() ? items->front().object() : nullptr;
                             return object ? json::optString(*object, "url") : std::nullopt;
                         }) |
                         rx::compact() | rx::take(1))
                            .subscribe([this, file](const std::string& url) {
                                deps_.downloads.addExistingFile(file, url);
                            }));
                },
                [this, local](const Error&) { fileFailed(local); }));
}

void InputBarPresenter::fileFailed(const Message& local) {
    deps_.screen.updateMessageStatus.onNext({local.id, "warning"});
}

}  // namespace vesk
