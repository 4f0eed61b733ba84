// The development server: the service's HTTP API on loopback, with in-memory state, a record of
// every request and fault injection. Used by tests, benchmarks and the demo host; not part of
// the library.
//
// Threading: the server runs its own I/O thread. Every member function may be called from any
// thread; state, records and faults sit behind one mutex.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vesk::dev {

struct TlsFiles {
    std::string certificateChainPem;  // path of a PEM file: leaf first, then intermediates
    std::string privateKeyPem;        // path of a PEM file
};

// An application the server knows, in addition to the ready demo app.
struct AppKeys {
    std::string apiKey;
    std::string appId;
    std::string userAuthKey;
    std::string name;  // empty: "App " + appId
};

struct DevServerOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;  // 0: ephemeral
    std::optional<TlsFiles> tls;
    std::optional<std::string> seedFile;  // JSON seed (apps, users, conversations, ...)
    std::vector<AppKeys> apps;
    std::size_t bodyLimit = std::size_t{32} << 20;  // larger request bodies get 413
};

struct RecordedRequest {
    std::string method, path, query;  // path percent-decoded, query as sent
    std::vector<std::pair<std::string, std::string>> queryItems, headers, formFields;
    struct Part {
        std::string name, filename, contentType, body;
    };
    std::vector<Part> parts;
    std::string body;
    std::uint64_t connectionId = 0;  // the same for requests that shared one connection

    // First value of a query item or form field; empty when absent.
    [[nodiscard]] std::string queryItem(const std::string& key) const;
    [[nodiscard]] std::string formField(const std::string& key) const;
    [[nodiscard]] bool hasQueryItem(const std::string& key) const;
    [[nodiscard]] bool hasFormField(const std::string& key) const;
    [[nodiscard]] const Part* part(const std::string& name) const;  // null when absent
};

// A fault applied to requests whose path starts with pathPrefix. "*" matches every /v1/ path; a
// prefix without a leading "/" is taken relative to "/v1/". The control API under /_dev/ (apart
// from /_dev/blob and /_dev/echo) is never faulted.
struct Fault {
    enum class Action {
        delay,     // wait `delay`, then answer normally
        drop,      // close the connection without any reply
        truncate,  // announce the full body length, send part of it, close
        reply,     // answer `status` with `body` instead of the real handler
        hang,      // never answer; keep the connection until the client or the server ends it
        slow,      // answer normally, `chunkBytes` of the body at a time with `delay` between
        stall,     // announce the full body length, send part of it, then nothing more
    };
    std::string pathPrefix = "*";
    Action action = Action::drop;
    int count = 1;  // matching requests it applies to; -1: until cleared
    std::chrono::milliseconds delay{0};
    std::size_t chunkBytes = 4096;
    int status = 500;
    std::string body;
    std::string contentType = "application/json";
};

class DevServer {
  public:
    // Null on failure (bad seed, unusable TLS files, port taken), with the reason in *error.
    static std::unique_ptr<DevServer> start(DevServerOptions options, std::string* error = nullptr);
    ~DevServer();  // stops and joins
    DevServer(const DevServer&) = delete;
    DevServer& operator=(const DevServer&) = delete;

    [[nodiscard]] std::uint16_t port() const;
    [[nodiscard]] std::string apiBaseUrl() const;       // "http(s)://127.0.0.1:PORT/v1/"
    [[nodiscard]] std::string realtimeBaseUrl() const;  // "ws(s)://127.0.0.1:PORT/"
    [[nodiscard]] std::string baseUrl() const;          // "http(s)://127.0.0.1:PORT/"

    // The ready demo app.
    [[nodiscard]] std::string demoApiKey() const;
    [[nodiscard]] std::string demoAppId() const;
    [[nodiscard]] std::string demoUserAuthKey() const;

    bool addApp(const AppKeys& app);  // false when the api key or app id is taken

    [[nodiscard]] std::vector<RecordedRequest> requests() const;  // in arrival order
    void clearRequests();

    void addFault(Fault fault);
    void clearFaults();

    // The real-time channel (WebSocket on the same port). Each call acts at once: frames are
    // queued on the user's sockets before it returns.
    //
    // The tag every envelope of this server carries; a reconnect with it replays what it missed.
    [[nodiscard]] std::string realtimeTag() const;
    // An operator part (conversation_reply); the part as JSON text, empty when the conversation
    // or operator is unknown. An empty admin id: the conversation's last operator.
    std::string operatorReply(const std::string& conversationId, const std::string& text,
                              const std::string& adminId = {});
    // An operator part (conversation_reply) carrying a file named `filename` of `size`
    // generated bytes, in the user's newest conversation (opened when they have none); the
    // file's URL, empty when the user is unknown.
    std::string operatorFile(const std::string& userId, const std::string& filename,
                             std::size_t size);
    // `count` operator parts (conversation_reply), "Reply 1" to "Reply <count>", in batches of
    // 2000; the number stored and sent. An empty conversation id: the user's newest one.
    std::size_t publishReplies(const std::string& userId, const std::string& conversationId,
                               std::size_t count);
    // A typing notice (conversation_typing); false when the conversation is unknown.
    bool sendTyping(const std::string& conversationId, const std::string& adminId = {});
    // A popup (conversation, "block_popup_small") carrying `bodyJson` as JSON text; the id of
    // the conversation made for it, empty when the user is unknown.
    std::string sendPopup(const std::string& userId, const std::string& bodyJson,
                          std::optional<std::int64_t> expirationTime = std::nullopt,
                          const std::string& recipientType = "sdk");
    // A chat popup (conversation, "popup_chat"); the conversation id, empty on failure.
    std::string sendPopupChat(const std::string& userId, const std::string& text,
                              std::optional<std::int64_t> expirationTime = std::nullopt);
    // Closes the user's sockets without a close frame; the number closed.
    std::size_t dropSockets(const std::string& userId);
    // A restart of the real-time side: a new tag, no history, every socket dropped.
    std::size_t restartRealtime();
    [[nodiscard]] std::size_t realtimeSocketCount(const std::string& userId) const;
    // An arbitrary text frame, outside the event sequence, to the user's sockets that listen on
    // `channel` (all of them when it is empty); the number of sockets.
    std::size_t pushRawFrame(const std::string& userId, const std::string& channel,
                             const std::string& text);

    struct Impl;

  private:
    explicit DevServer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace vesk::dev
