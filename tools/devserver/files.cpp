#include "files.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "api.hpp"
#include "envelope.hpp"
#include "widget_files.hpp"

namespace vesk::dev {
namespace {

// A 1x1 PNG for operator avatars.
constexpr unsigned char kAvatarPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78,
    0xda, 0x63, 0xd0, 0xc9, 0xfb, 0xf4, 0x1f, 0x00, 0x04, 0xe2, 0x02, 0x8c, 0xa5, 0x44,
    0x6e, 0x75, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

std::string widgetContentType(std::string_view name) {
    if (name.ends_with(".html")) {
        return "text/html; charset=utf-8";
    }
    if (name.ends_with(".js")) {
        return "text/javascript; charset=utf-8";
    }
    if (name.ends_with(".css")) {
        return "text/css; charset=utf-8";
    }
    return "application/octet-stream";
}

}  // namespace

std::string generatedBytes(std::size_t size) {
    static constexpr char kPattern[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = kPattern[i % (sizeof kPattern - 1)];
    }
    return bytes;
}

std::string mimeTypeFor(const std::string& filename, const std::string& declared) {
    if (!declared.empty() && declared != "application/octet-stream") {
        return declared;
    }
    const auto dot = filename.rfind('.');
    std::string ext = dot == std::string::npos ? "" : filename.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    static const std::pair<const char*, const char*> kTypes[] = {
        {"jpeg", "image/jpeg"},
        {"jpg", "image/jpeg"},
        {"png", "image/png"},
        {"gif", "image/gif"},
        {"webp", "image/webp"},
        {"heic", "image/heic"},
        {"pdf", "application/pdf"},
        {"txt", "text/plain"},
        {"json", "application/json"},
        {"zip", "application/zip"},
        {"mp4", "video/mp4"},
        {"mov", "video/quicktime"},
        {"doc", "application/msword"},
        {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    };
    for (const auto& [e, type] : kTypes) {
        if (ext == e) {
            return type;
        }
    }
    return "application/octet-stream";
}

HttpReply serveBlob(const RecordedRequest& request) {
    const std::string size = request.queryItem("size");
    char* end = nullptr;
    const unsigned long long n = std::strtoull(size.c_str(), &end, 10);
    if (size.empty() || end != size.c_str() + size.size() || n > kGeneratedLimit) {
        return jsonReply(400, boost::json::object{{"error", "size must be 0 to 268435456"}});
    }
    HttpReply reply;
    reply.contentType = "application/octet-stream";
    reply.body = generatedBytes(static_cast<std::size_t>(n));
    return reply;
}

HttpReply serveWidgetPage(const RecordedRequest& request) {
    static constexpr std::pair<std::string_view, std::string_view> kPages[] = {
        {"/external-widget/0.4.0/ios/", "messages.html"},
        {"/external-widget/0.4.0/ios/list/", "list.html"},
        {"/external-widget/0.4.0/ios/popup/", "popup.html"},
        {"/external-widget/0.4.2/ios/calendly", "calendly.html"},
    };
    constexpr std::string_view kAssets = "/external-widget/assets/";
    const std::string_view path = request.path;
    std::string_view name;
    for (const auto& [page, file] : kPages) {
        if (path == page) {
            name = file;
        }
    }
    // Pages are served only at their own paths.
    if (name.empty() && path.starts_with(kAssets) && !path.ends_with(".html")) {
        name = path.substr(kAssets.size());
    }
    const auto files = widgetFiles();
    const auto found = std::find_if(files.begin(), files.end(), [name](const WidgetFile& file) {
        return !name.empty() && file.name == name;
    });
    if (found != files.end()) {
        HttpReply reply;
        reply.contentType = widgetContentType(found->name);
        reply.body = found->bytes;
        reply.headers.emplace_back("Cache-Control", "no-cache");
        return reply;
    }
    return errorReply(404, "not_found", "Unknown page: " + request.path);
}

HttpReply serveFile(const Store& store, const RecordedRequest& request) {
    const auto segments = splitPath(request.path);  // "files", id or "avatars", name
    if (segments.size() == 3 && segments[1] == "avatars") {
        HttpReply reply;
        reply.contentType = "image/png";
        reply.body.assign(reinterpret_cast<const char*>(kAvatarPng), sizeof kAvatarPng);
        return reply;
    }
    const Attachment* a =
        segments.size() == 3 ? store.attachment(std::string(segments[1])) : nullptr;
    if (a == nullptr || a->filename != segments[2]) {
        return errorReply(404, "not_found", "File not found: " + request.path);
    }
    HttpReply reply;
    reply.contentType = a->mimeType;
    reply.body = a->bytes;
    return reply;
}

}  // namespace vesk::dev
