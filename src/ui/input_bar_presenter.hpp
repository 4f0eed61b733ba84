// The input bar under the conversation: sending is enabled while the text
// holds more than white space; a send (or a chosen file) becomes a user
// message, shown at once as "loading" and then sent to the conversation shown
// (a new one when none is). Text goes through the outbox, which keeps it until
// the service has it; a file is sent from here.
//
// Threading: main executor.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "core/rx/rx.hpp"
#include "ui/chat_dependencies.hpp"
#include "vesk/chat_window.hpp"

namespace vesk {

// Whether `text` is worth sending: at least one character that is not white space.
[[nodiscard]] bool isSendable(const std::string& text);

class InputBarPresenter final : public InputBarListener,
                                public std::enable_shared_from_this<InputBarPresenter> {
  public:
    static std::shared_ptr<InputBarPresenter> attach(ChatDependencies& deps,
                                                     std::shared_ptr<InputBar> bar);

    void sendMessage(const std::string& body);
    // Sends a local file as an attachment; its copy counts as downloaded.
    void sendFile(const std::filesystem::path& file);

    void textChanged(const std::string& text) override;
    void sendTapped() override;
    void fileChosen(const std::filesystem::path& file) override;

  private:
    InputBarPresenter(ChatDependencies& deps, std::shared_ptr<InputBar> bar);

    void replyFile(const std::string& conversation, const Message& local,
                   const std::filesystem::path& file);
    void fileFailed(const Message& local);
    [[nodiscard]] User sender() const;

    ChatDependencies& deps_;
    std::shared_ptr<InputBar> bar_;
    std::string text_;
    rx::DisposeBag requests_;
};

}  // namespace vesk
