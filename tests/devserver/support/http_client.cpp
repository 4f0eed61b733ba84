#include "http_client.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <boost/json/parse.hpp>
#include <charconv>
#include <memory>

namespace vesk::dev::test {
namespace {

std::size_t collect(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct MimeFree {
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};

struct GlobalInit {
    GlobalInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

}  // namespace

boost::json::value HttpResult::json() const {
    boost::json::error_code ec;
    auto v = boost::json::parse(body, ec);
    return ec ? boost::json::value() : v;
}

HttpClient::HttpClient() {
    static GlobalInit init;
    curl_ = curl_easy_init();
}

HttpClient::~HttpClient() {
    curl_easy_cleanup(curl_);
}

HttpResult HttpClient::perform(const HttpCall& call) {
    curl_easy_reset(curl_);  // keeps the connection cache
    HttpResult result;
    std::unique_ptr<curl_slist, SlistFree> headers;
    std::unique_ptr<curl_slist, SlistFree> resolve;
    std::unique_ptr<curl_mime, MimeFree> mime;
    std::string body = call.body;
    curl_easy_setopt(curl_, CURLOPT_URL, call.url.c_str());
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &result.body);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, call.timeoutMs);
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, 30000L);
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_PROXY, "");
    if (!call.mime.empty()) {
        mime.reset(curl_mime_init(curl_));
        for (const auto& p : call.mime) {
            curl_mimepart* part = curl_mime_addpart(mime.get());
            curl_mime_name(part, p.name.c_str());
            curl_mime_data(part, p.data.data(), p.data.size());
            if (!p.filename.empty()) {
                curl_mime_filename(part, p.filename.c_str());
            }
            if (!p.contentType.empty()) {
                curl_mime_type(part, p.contentType.c_str());
            }
        }
        curl_easy_setopt(curl_, CURLOPT_MIMEPOST, mime.get());
    } else if (!call.form.empty()) {
        body = formEncode(call.form);
        headers.reset(curl_slist_append(headers.release(),
                                        "Content-Type: application/x-www-form-urlencoded"));
    } else if (!call.contentType.empty()) {
        headers.reset(
            curl_slist_append(headers.release(), ("Content-Type: " + call.contentType).c_str()));
    }
    if (call.mime.empty() && (call.method != "GET" || !body.empty())) {
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }
    if (call.method != "GET" && call.method != "POST") {
        curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, call.method.c_str());
    }
    if (headers) {
        curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers.get());
    }
    if (!call.caFile.empty()) {
        curl_easy_setopt(curl_, CURLOPT_CAINFO, call.caFile.c_str());
        curl_easy_setopt(curl_, CURLOPT_CAPATH, nullptr);
    }
    for (const auto& entry : call.resolve) {
        resolve.reset(curl_slist_append(resolve.release(), entry.c_str()));
    }
    if (resolve) {
        curl_easy_setopt(curl_, CURLOPT_RESOLVE, resolve.get());
    }
    result.code = curl_easy_perform(curl_);
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &result.status);
    curl_easy_getinfo(curl_, CURLINFO_NUM_CONNECTS, &result.newConnections);
    curl_easy_getinfo(curl_, CURLINFO_TOTAL_TIME, &result.seconds);
    return result;
}

std::string urlEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0f]);
        }
    }
    return out;
}

std::string formEncode(const Fields& fields) {
    std::string out;
    for (const auto& [k, v] : fields) {
        if (!out.empty()) {
            out.push_back('&');
        }
        out += urlEncode(k) + "=" + urlEncode(v);
    }
    return out;
}

Session connectDemo(HttpClient& client, const DevServer& server) {
    auto r = client.post(server.apiBaseUrl() + "connect", {{"api_key", server.demoApiKey()}});
    EXPECT_EQ(r.status, 200) << r.body;
    const auto v = r.json();
    if (!v.is_object()) {
        ADD_FAILURE() << "connect reply is not JSON: " << r.body;
        return {};
    }
    const auto& data = v.at("data");
    return {std::string(data.at("user").at("id").as_string()),
            std::string(data.at("auth_token").as_string())};
}

std::string rawExchange(std::uint16_t port, const std::string& bytes) {
    RawConnection connection(port);
    return connection.send(bytes) ? connection.readAll() : std::string();
}

RawConnection::RawConnection(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    if (fd_ < 0) {
        return;
    }
    timeval timeout{30, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

RawConnection::~RawConnection() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RawConnection::send(const std::string& bytes) {
    return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                           static_cast<ssize_t>(bytes.size());
}

std::string RawConnection::readAll() {
    return readUntil({});
}

std::string RawConnection::readUntil(const std::string& marker) {
    char buffer[4096];
    while (fd_ >= 0 && (marker.empty() || pending_.find(marker) == std::string::npos)) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
    std::string out;
    out.swap(pending_);
    return out;
}

std::unique_ptr<DevServer> startServer(DevServerOptions options) {
    std::string error;
    auto server = DevServer::start(std::move(options), &error);
    EXPECT_NE(server, nullptr) << error;
    return server;
}

std::string doubleText(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

}  // namespace vesk::dev::test
