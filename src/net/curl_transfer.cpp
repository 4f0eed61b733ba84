#include "net/curl_transfer.hpp"

#include <algorithm>
#include <system_error>
#include <utility>

#include "net/tls_policy.hpp"

namespace vesk::net::detail {
namespace {

// Far above any real API reply's headers; stops a server that never ends them.
constexpr std::size_t kMaxHeaderBytes = 256U * 1024U;
constexpr long kMaxRedirects = 5;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Applies options in sequence and remembers the first one curl refused.
class OptionSetter {
  public:
    explicit OptionSetter(CURL* easy) : easy_(easy) {}

    template <class T>
    void operator()(CURLoption option, T value) {
        if (result_ != CURLE_OK) {
            return;
        }
        result_ = curl_easy_setopt(easy_, option, value);
    }

    [[nodiscard]] bool ok() const { return result_ == CURLE_OK; }
    [[nodiscard]] std::string failure() const {
        return std::string("The request could not be prepared: ") + curl_easy_strerror(result_);
    }

  private:
    CURL* easy_;
    CURLcode result_ = CURLE_OK;
};

}  // namespace

Transfer::Transfer(std::uint64_t id, HttpRequest request) : id_(id), request_(std::move(request)) {}

Expected<std::unique_ptr<Transfer>> Transfer::create(std::uint64_t id, EasyHandle easy,
                                                     HttpRequest request,
                                                     const TransferSettings& settings,
                                                     bool recycled, Progress progress) {
    std::unique_ptr<Transfer> transfer(new Transfer(id, std::move(request)));
    transfer->progress_ = std::move(progress);
    if (transfer->request_.saveTo) {
        auto file = DownloadFile::create(*transfer->request_.saveTo);
        if (!file) {
            return unexpected(std::move(file).error());
        }
        transfer->file_.emplace(std::move(file).value());
    }
    std::string failure;
    if (!transfer->configure(std::move(easy), settings, recycled, failure)) {
        return unexpected(Error::make(Error::Kind::transport, std::move(failure)));
    }
    return transfer;
}

bool Transfer::configure(EasyHandle easy, const TransferSettings& settings, bool recycled,
                         std::string& failure) {
    easy_ = std::move(easy);
    CURL* handle = easy_.get();
    OptionSetter set(handle);
    url_ = request_.fullUrl();
    const auto connectMs =
        static_cast<long>(std::max<std::int64_t>(1, request_.connectTimeout.count()));
    const auto totalMs =
        static_cast<long>(std::max<std::int64_t>(0, request_.totalTimeout.count()));

    // What every request of the client shares; a recycled handle still has it
    // (setting it all again was a measurable part of each request).
    if (!recycled) {
#if LIBCURL_VERSION_NUM >= 0x075500
        set(CURLOPT_PROTOCOLS_STR, "http,https");
        set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
        set(CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
        set(CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
        // Signals cannot be used for timeouts in a multi-threaded process.
        set(CURLOPT_NOSIGNAL, 1L);
        set(CURLOPT_TCP_KEEPALIVE, 1L);
        set(CURLOPT_MAXREDIRS, kMaxRedirects);
        set(CURLOPT_SSL_VERIFYPEER, 1L);
        set(CURLOPT_SSL_VERIFYHOST, 2L);
        // Trust and names are decided as the real-time channel decides them:
        // curl's own bundle and its common-name fallback are not used.
        set(CURLOPT_CAINFO, static_cast<const char*>(nullptr));
        set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
        set(CURLOPT_SSL_CTX_FUNCTION, &Transfer::onTlsContext);
        set(CURLOPT_SSL_CTX_DATA, static_cast<const void*>(&settings));
        set(CURLOPT_USERAGENT, settings.userAgent.c_str());
        // Every decoder curl was built with; the size cap applies to decoded bytes.
        set(CURLOPT_ACCEPT_ENCODING, "");
        set(CURLOPT_WRITEFUNCTION, &Transfer::onBody);
        set(CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    }

    // This request's own; `recycle` undoes each.
    set(CURLOPT_URL, url_.c_str());
    set(CURLOPT_PRIVATE, static_cast<void*>(this));
    set(CURLOPT_ERRORBUFFER, static_cast<char*>(errorBuffer_));
    set(CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    set(CURLOPT_TIMEOUT_MS, totalMs);
    set(CURLOPT_FOLLOWLOCATION, request_.followRedirects ? 1L : 0L);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    if (file_) {
        // The file holds the bytes as sent, and the percent counts the same bytes
        // as the declared length.
        set(CURLOPT_ACCEPT_ENCODING, static_cast<const char*>(nullptr));
    } else if (request_.method != HttpMethod::head) {
        // Refuses a declared Content-Length over the cap before any byte of the body.
        set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request_.maxReplyBytes));
    }
    if (request_.stallTimeout.count() > 0) {
        // curl's own limit averages over several seconds, so a stall after a burst would go
        // unnoticed that much longer; the progress callback checks the time since the last
        // byte. The limit stays as a backstop, and keeps curl calling back while idle.
        lastActivity_ = std::chrono::steady_clock::now();
        set(CURLOPT_LOW_SPEED_LIMIT, 1L);
        set(CURLOPT_LOW_SPEED_TIME, static_cast<long>(request_.stallTimeout.count()));
        set(CURLOPT_XFERINFOFUNCTION, &Transfer::onTransferInfo);
        set(CURLOPT_XFERINFODATA, static_cast<void*>(this));
        set(CURLOPT_NOPROGRESS, 0L);
    }
    if (!set.ok()) {
        failure = set.failure();
        return false;
    }

    for (const auto& [name, value] : request_.headers) {
        if (name.empty() || hasLineBreak(name) || hasLineBreak(value) ||
            name.find(':') != std::string::npos) {
            failure = "The request has an invalid header field: " + name;
            return false;
        }
        // curl drops "Name:" with an empty value; "Name;" sends it empty.
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        if (!appendLine(headerList_, line.c_str())) {
            failure = "The request could not be prepared: out of memory";
            return false;
        }
    }
    return configureBody(failure);
}

bool Transfer::configureBody(std::string& failure) {
    CURL* handle = easy_.get();
    OptionSetter set(handle);
    const bool userContentType =
        std::any_of(request_.headers.begin(), request_.headers.end(),
                    [](const Parameter& h) { return equalsIgnoringCase(h.first, "Content-Type"); });
    const HttpMethod method = request_.method;
    std::string contentType;
    bool hasBody = true;

    if (const auto* raw = std::get_if<RawBody>(&request_.body)) {
        set(CURLOPT_POSTFIELDS, raw->bytes.data());
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(raw->bytes.size()));
        contentType = raw->contentType;
    } else if (const auto* form = std::get_if<FormBody>(&request_.body)) {
        formBody_ = encodeForm(form->fields);
        set(CURLOPT_POSTFIELDS, formBody_.c_str());
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(formBody_.size()));
        contentType = "application/x-www-form-urlencoded; charset=utf-8";
    } else if (const auto* multipart = std::get_if<MultipartBody>(&request_.body)) {
        if (!buildMime(*multipart, failure)) {
            return false;
        }
        set(CURLOPT_MIMEPOST, mime_.get());
    } else if (method == HttpMethod::post || method == HttpMethod::put ||
               method == HttpMethod::patch) {
        // An empty body, sent with Content-Length: 0; never read from stdin.
        set(CURLOPT_POSTFIELDS, "");
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
    } else {
        hasBody = false;
    }

    if (method == HttpMethod::head) {
        set(CURLOPT_NOBODY, 1L);
    } else if (!hasBody && method == HttpMethod::get) {
        set(CURLOPT_HTTPGET, 1L);
    } else if (method != HttpMethod::post) {
        set(CURLOPT_CUSTOMREQUEST, std::string(methodName(method)).c_str());
    }

    if (hasBody && !userContentType && std::holds_alternative<std::monostate>(request_.body)) {
        // curl would label an empty body as a form otherwise.
        contentType.clear();
        if (!appendLine(headerList_, "Content-Type:")) {
            failure = "The request could not be prepared: out of memory";
            return false;
        }
    }
    if (!contentType.empty() && !userContentType) {
        const std::string line = "Content-Type: " + contentType;
        if (!appendLine(headerList_, line.c_str())) {
            failure = "The request could not be prepared: out of memory";
            return false;
        }
    }
    // No "Expect: 100-continue" round trip before large bodies.
    if (!appendLine(headerList_, "Expect:")) {
        failure = "The request could not be prepared: out of memory";
        return false;
    }
    set(CURLOPT_HTTPHEADER, headerList_.get());
    if (!set.ok()) {
        failure = set.failure();
        return false;
    }
    return true;
}

bool Transfer::buildMime(const MultipartBody& body, std::string& failure) {
    mime_.reset(curl_mime_init(easy_.get()));
    if (!mime_) {
        failure = "The request could not be prepared: out of memory";
        return false;
    }
    for (const MultipartPart& part : body.parts) {
        curl_mimepart* p = curl_mime_addpart(mime_.get());
        if (p == nullptr || curl_mime_name(p, part.name.c_str()) != CURLE_OK) {
            failure = "The request could not be prepared: out of memory";
            return false;
        }
        CURLcode result = CURLE_OK;
        if (part.file) {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(*part.file, ec)) {
                failure = "The file to upload cannot be read: " + part.file->string();
                return false;
            }
            // Sets the part to read from the file as it is sent, never all at once.
            result = curl_mime_filedata(p, part.file->c_str());
            if (result != CURLE_OK) {
                failure = "The file to upload cannot be read: " + part.file->string();
                return false;
            }
        } else {
            result = curl_mime_data(p, part.value.data(), part.value.size());
        }
        if (result == CURLE_OK && !part.filename.empty()) {
            result = curl_mime_filename(p, part.filename.c_str());
        }
        if (result == CURLE_OK && !part.contentType.empty()) {
            result = curl_mime_type(p, part.contentType.c_str());
        }
        if (result != CURLE_OK) {
            failure =
                std::string("The request could not be prepared: ") + curl_easy_strerror(result);
            return false;
        }
    }
    return true;
}

std::size_t Transfer::onBody(char* data, std::size_t size, std::size_t count, void* self) noexcept {
    auto* transfer = static_cast<Transfer*>(self);
    const std::size_t bytes = size * count;
    transfer->lastActivity_ = std::chrono::steady_clock::now();
    if (transfer->file_) {
        return transfer->save(data, bytes);
    }
    std::string& body = transfer->reply_.body;
    if (bytes > transfer->request_.maxReplyBytes -
                    std::min(body.size(), transfer->request_.maxReplyBytes)) {
        transfer->overCap_ = true;
        return 0;
    }
    try {
        body.append(data, bytes);
    } catch (...) {
        return 0;
    }
    return bytes;
}

std::size_t Transfer::save(const char* data, std::size_t bytes) noexcept {
    CURL* handle = easy_.get();
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) {
        return bytes;  // an error page is no part of the file
    }
    if (!file_->write(data, bytes)) {
        saveFailed_ = true;
        return 0;
    }
    saved_ += static_cast<curl_off_t>(bytes);
    curl_off_t total = -1;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
    if (total > 0 && progress_) {
        // Only a new whole percent is reported, so a fast download does not flood the caller.
        const auto percent = static_cast<int>(std::min<curl_off_t>(100, saved_ * 100 / total));
        if (percent != lastPercent_) {
            lastPercent_ = percent;
            try {
                progress_(percent);
            } catch (...) {
                // progress is advice; the transfer goes on without it
            }
        }
    }
    return bytes;
}

int Transfer::onTransferInfo(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept {
    auto* transfer = static_cast<Transfer*>(self);
    if (std::chrono::steady_clock::now() - transfer->lastActivity_ <
        transfer->request_.stallTimeout) {
        return 0;
    }
    transfer->stalled_ = true;
    return 1;  // aborts the transfer
}

CURLcode Transfer::onTlsContext(CURL* easy, void* context, void* settings) noexcept {
    auto* ctx = static_cast<SSL_CTX*>(context);
    if (!applyTlsTrust(ctx, static_cast<const TransferSettings*>(settings)->caFile)) {
        return CURLE_SSL_CACERT_BADFILE;
    }
    // The URL being connected to, redirects included.
    char* url = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url);
    CURLU* parsed = curl_url();
    char* host = nullptr;
    bool named = false;
    if (parsed != nullptr && url != nullptr &&
        curl_url_set(parsed, CURLUPART_URL, url, 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        std::string name(host);
        if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
            name = name.substr(1, name.size() - 2);
        }
        named = applyTlsPeerName(SSL_CTX_get0_param(ctx), name);
    }
    curl_free(host);
    curl_url_cleanup(parsed);
    return named ? CURLE_OK : CURLE_SSL_CONNECT_ERROR;
}

std::size_t Transfer::onHeader(char* data, std::size_t size, std::size_t count,
                               void* self) noexcept {
    auto* transfer = static_cast<Transfer*>(self);
    const std::size_t bytes = size * count;
    transfer->lastActivity_ = std::chrono::steady_clock::now();
    transfer->headerBytes_ += bytes;
    if (transfer->headerBytes_ > kMaxHeaderBytes) {
        transfer->headersTooLarge_ = true;
        return 0;
    }
    try {
        return transfer->takeHeaderLine(std::string_view(data, bytes)) ? bytes : 0;
    } catch (...) {
        return 0;
    }
}

bool Transfer::takeHeaderLine(std::string_view line) {
    Parameters& headers = reply_.headers;
    if (line.rfind("HTTP/", 0) == 0) {
        // A new response starts (after a redirect or an interim 1xx): keep only the last.
        headers.clear();
        return true;
    }
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        const std::string_view folded = trim(line);
        if (!headers.empty() && !folded.empty()) {
            headers.back().second.append(" ").append(folded);
        }
        return true;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return true;  // the blank line that ends the headers
    }
    headers.emplace_back(std::string(trim(line.substr(0, colon))),
                         std::string(trim(line.substr(colon + 1))));
    return true;
}

Expected<HttpReply> Transfer::finish(CURLcode code) {
    Expected<HttpReply> outcome = finishReply(code);
    if (!file_) {
        return outcome;
    }
    if (outcome && outcome->status >= 400) {
        outcome = unexpected(Error::make(Error::Kind::api, "The server answered with status " +
                                                               std::to_string(outcome->status)));
    }
    if (!outcome) {
        file_.reset();  // gone before anyone hears of the failure
        return outcome;
    }
    auto saved = file_->commit();
    file_.reset();
    if (!saved) {
        return unexpected(std::move(saved).error());
    }
    return outcome;
}

Expected<HttpReply> Transfer::finishReply(CURLcode code) {
    CURL* handle = easy_.get();
    if (saveFailed_) {
        return unexpected(Error::make(Error::Kind::transport, file_->failure()));
    }
    if (stalled_) {
        const auto seconds = request_.stallTimeout.count();
        return unexpected(
            Error::make(Error::Kind::timeout, "No data arrived for " + std::to_string(seconds) +
                                                  (seconds == 1 ? " second" : " seconds")));
    }
    if (overCap_ || code == CURLE_FILESIZE_EXCEEDED) {
        return unexpected(Error::make(
            Error::Kind::transport,
            "The reply is larger than " + std::to_string(request_.maxReplyBytes) + " bytes"));
    }
    if (headersTooLarge_) {
        return unexpected(Error::make(Error::Kind::transport, "The reply's header is too large"));
    }
    if (code != CURLE_OK) {
        std::string text =
            errorBuffer_[0] != '\0' ? std::string(errorBuffer_) : curl_easy_strerror(code);
        const auto kind =
            code == CURLE_OPERATION_TIMEDOUT ? Error::Kind::timeout : Error::Kind::transport;
        return unexpected(Error::make(kind, std::move(text)));
    }
    long status = 0;
    char* effective = nullptr;
    curl_off_t micros = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective);
    curl_easy_getinfo(handle, CURLINFO_TOTAL_TIME_T, &micros);
    reply_.status = status;
    reply_.effectiveUrl = effective != nullptr ? effective : url_;
    reply_.elapsed = std::chrono::microseconds(micros);
    return std::move(reply_);
}

long Transfer::newConnections() const noexcept {
    long count = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_NUM_CONNECTS, &count);
    return count;
}

EasyHandle Transfer::recycle() noexcept {
    CURL* handle = easy_.get();
    OptionSetter set(handle);
    // Before this transfer frees the lists and the mime tree the handle points at.
    set(CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    set(CURLOPT_MIMEPOST, static_cast<curl_mime*>(nullptr));
    set(CURLOPT_POSTFIELDS, static_cast<const char*>(nullptr));
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(-1));
    set(CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
    set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(0));
    if (request_.saveTo) {
        set(CURLOPT_ACCEPT_ENCODING, "");
    }
    if (request_.stallTimeout.count() > 0) {
        set(CURLOPT_LOW_SPEED_LIMIT, 0L);
        set(CURLOPT_LOW_SPEED_TIME, 0L);
        set(CURLOPT_NOPROGRESS, 1L);
        set(CURLOPT_XFERINFODATA, static_cast<void*>(nullptr));
    }
    set(CURLOPT_PRIVATE, static_cast<void*>(nullptr));
    set(CURLOPT_ERRORBUFFER, static_cast<char*>(nullptr));
    set(CURLOPT_WRITEDATA, static_cast<void*>(nullptr));
    set(CURLOPT_HEADERDATA, static_cast<void*>(nullptr));
    // Last: clearing a body or a mime tree makes the method POST again.
    set(CURLOPT_NOBODY, 0L);
    set(CURLOPT_HTTPGET, 1L);
    if (!set.ok()) {
        return {};  // freed with this transfer, before what it points at
    }
    return std::move(easy_);
}

}  // namespace vesk::net::detail
