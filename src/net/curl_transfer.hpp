// One request bound to a curl easy handle, and the reply collected for it.
//
// Threading: lives on the HTTP client's network thread only.
// Invariant: every buffer and list the easy handle points at (body, header
// list, mime tree, error buffer) is owned here and outlives the handle's use.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/expected.hpp"
#include "net/curl_handles.hpp"
#include "net/download_file.hpp"
#include "net/http_reply.hpp"
#include "net/http_request.hpp"

namespace vesk::net::detail {

struct TransferSettings {
    std::string caFile;
    std::string userAgent;
};

class Transfer {
  public:
    // Called with the percent of a body saved to a file each time it changes,
    // when the total is known; on the network thread.
    using Progress = std::function<void(int percent)>;

    // Configures `easy` for `request`; `recycled` when `easy` comes from
    // `recycle` with the same settings, so only this request's options are set.
    // Fails when the request cannot be sent at all (an unreadable file part, a
    // curl option refused, no file to save the body in).
    [[nodiscard]] static Expected<std::unique_ptr<Transfer>> create(
        std::uint64_t id, EasyHandle easy, HttpRequest request, const TransferSettings& settings,
        bool recycled = false, Progress progress = {});

    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer() = default;

    [[nodiscard]] std::uint64_t id() const noexcept { return id_; }
    [[nodiscard]] CURL* easy() const noexcept { return easy_.get(); }

    // The outcome once curl reports the transfer done with `code`. Call once.
    // A body saved to a file is in place on success and gone otherwise.
    [[nodiscard]] Expected<HttpReply> finish(CURLcode code);

    // New connections this transfer had to open.
    [[nodiscard]] long newConnections() const noexcept;

    // Hands the easy handle back for reuse, with this request's options undone
    // and the settings' kept; empty when curl refuses to undo one. The
    // transfer is spent afterwards.
    [[nodiscard]] EasyHandle recycle() noexcept;

  private:
    Transfer(std::uint64_t id, HttpRequest request);

    [[nodiscard]] bool configure(EasyHandle easy, const TransferSettings& settings, bool recycled,
                                 std::string& failure);
    [[nodiscard]] bool configureBody(std::string& failure);
    [[nodiscard]] Expected<HttpReply> finishReply(CURLcode code);
    [[nodiscard]] bool buildMime(const MultipartBody& body, std::string& failure);

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self) noexcept;
    std::size_t save(const char* data, std::size_t bytes) noexcept;
    static CURLcode onTlsContext(CURL* easy, void* context, void* settings) noexcept;
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count,
                                void* self) noexcept;
    static int onTransferInfo(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept;
    bool takeHeaderLine(std::string_view line);

    std::uint64_t id_;
    HttpRequest request_;
    std::string url_;
    std::string formBody_;
    Slist headerList_;
    Mime mime_;
    HttpReply reply_;
    std::optional<DownloadFile> file_;
    Progress progress_;
    curl_off_t saved_ = 0;
    int lastPercent_ = -1;
    bool saveFailed_ = false;
    std::chrono::steady_clock::time_point lastActivity_;
    bool stalled_ = false;
    std::size_t headerBytes_ = 0;
    bool overCap_ = false;
    bool headersTooLarge_ = false;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    // Declared last so it is cleaned up before what it points at.
    EasyHandle easy_;
};

}  // namespace vesk::net::detail
