#include "ui/text/file_type.hpp"

#include <sys/stat.h>

#include <array>

#include "ui/text/query_dictionary.hpp"

namespace vesk::text {
namespace {

struct FileKind {
    std::string_view extension;
    std::string_view identifier;
    std::string_view mime;
    std::string_view description;
};

constexpr std::array<FileKind, 45> kKinds = {{
    {"jpg", "public.jpeg", "image/jpeg", "JPEG image"},
    {"jpeg", "public.jpeg", "image/jpeg", "JPEG image"},
    {"jpe", "public.jpeg", "image/jpeg", "JPEG image"},
    {"png", "public.png", "image/png", "PNG image"},
    {"gif", "com.compuserve.gif", "image/gif", "GIF image"},
    {"heic", "public.heic", "image/heic", "HEIC image"},
    {"heif", "public.heif", "image/heif", "HEIF image"},
    {"webp", "org.webmproject.webp", "image/webp", "WebP image"},
    {"bmp", "com.microsoft.bmp", "image/bmp", "BMP image"},
    {"tif", "public.tiff", "image/tiff", "TIFF image"},
    {"tiff", "public.tiff", "image/tiff", "TIFF image"},
    {"svg", "public.svg-image", "image/svg+xml", "SVG image"},
    {"pdf", "com.adobe.pdf", "application/pdf", "PDF document"},
    {"txt", "public.plain-text", "text/plain", "Plain text document"},
    {"rtf", "public.rtf", "application/rtf", "Rich text document"},
    {"md", "net.daringfireball.markdown", "text/markdown", "Markdown document"},
    {"html", "public.html", "text/html", "HTML document"},
    {"htm", "public.html", "text/html", "HTML document"},
    {"json", "public.json", "application/json", "JSON document"},
    {"xml", "public.xml", "application/xml", "XML document"},
    {"csv", "public.comma-separated-values-text", "text/csv", "CSV document"},
    {"doc", "com.microsoft.word.doc", "application/msword", "Microsoft Word document"},
    {"docx", "org.openxmlformats.wordprocessingml.document",
     "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
     "Microsoft Word document"},
    {"xls", "com.microsoft.excel.xls", "application/vnd.ms-excel", "Microsoft Excel spreadsheet"},
    {"xlsx", "org.openxmlformats.spreadsheetml.sheet",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
     "Microsoft Excel spreadsheet"},
    {"ppt", "com.microsoft.powerpoint.ppt", "application/vnd.ms-powerpoint",
     "Microsoft PowerPoint presentation"},
    {"pptx", "org.openxmlformats.presentationml.presentation",
     "application/vnd.openxmlformats-officedocument.presentationml.presentation",
     "Microsoft PowerPoint presentation"},
    {"odt", "org.oasis-open.opendocument.text", "application/vnd.oasis.opendocument.text",
     "OpenDocument text"},
    {"ods", "org.oasis-open.opendocument.spreadsheet",
     "application/vnd.oasis.opendocument.spreadsheet", "OpenDocument spreadsheet"},
    {"odp", "org.oasis-open.opendocument.presentation",
     "application/vnd.oasis.opendocument.presentation", "OpenDocument presentation"},
    {"zip", "public.zip-archive", "application/zip", "ZIP archive"},
    {"gz", "org.gnu.gnu-zip-archive", "application/gzip", "gzip archive"},
    {"tar", "public.tar-archive", "application/x-tar", "tar archive"},
    {"7z", "org.7-zip.7-zip-archive", "application/x-7z-compressed", "7-Zip archive"},
    {"rar", "com.rarlab.rar-archive", "application/vnd.rar", "RAR archive"},
    {"mp3", "public.mp3", "audio/mpeg", "MP3 audio"},
    {"m4a", "com.apple.m4a-audio", "audio/mp4", "MPEG-4 audio"},
    {"wav", "com.microsoft.waveform-audio", "audio/wav", "WAVE audio"},
    {"aac", "public.aac-audio", "audio/aac", "AAC audio"},
    {"ogg", "org.xiph.ogg-audio", "audio/ogg", "Ogg audio"},
    {"mp4", "public.mpeg-4", "video/mp4", "MPEG-4 movie"},
    {"m4v", "com.apple.m4v-video", "video/x-m4v", "MPEG-4 video"},
    {"mov", "com.apple.quicktime-movie", "video/quicktime", "QuickTime movie"},
    {"avi", "public.avi", "video/x-msvideo", "AVI movie"},
    {"webm", "org.webmproject.webm", "video/webm", "WebM movie"},
}};

constexpr FileKind kData = {"", "public.data", "application/octet-stream", "Document"};
constexpr FileKind kFolder = {"", "public.folder", "", "Folder"};

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
}

std::string_view lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || path.size() == 1) {
        return path;
    }
    return path.substr(slash + 1);
}

const FileKind& kindForName(std::string_view name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return kData;  // no extension, or a hidden file's leading dot
    }
    std::string extension;
    for (char c : name.substr(dot + 1)) {
        extension += lower(c);
    }
    for (const auto& kind : kKinds) {
        if (kind.extension == extension) {
            return kind;
        }
    }
    return kData;
}

// The kind of the file behind `url`, and its path; none when no file is there.
std::optional<std::pair<const FileKind*, std::string>> lookUp(std::string_view url) {
    auto path = filePath(url);
    if (!path || path->empty()) {
        return std::nullopt;
    }
    struct stat info {};
    if (::stat(path->c_str(), &info) != 0) {
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        return std::pair{&kFolder, std::move(*path)};
    }
    const FileKind& kind = kindForName(lastComponent(*path));
    return std::pair{&kind, std::move(*path)};
}

}  // namespace

std::optional<std::string> filePath(std::string_view url) {
    constexpr std::string_view kScheme = "file:";
    if (url.size() >= kScheme.size()) {
        bool isFileUrl = true;
        for (std::size_t i = 0; i < kScheme.size(); ++i) {
            isFileUrl = isFileUrl && lower(url[i]) == kScheme[i];
        }
        if (isFileUrl) {
            std::string_view rest = url.substr(kScheme.size());
            if (rest.substr(0, 2) == "//") {
                rest.remove_prefix(2);
                std::size_t slash = rest.find('/');
                std::string_view host = rest.substr(0, slash);
                if (!host.empty() && host != "localhost") {
                    return std::nullopt;
                }
                rest = slash == std::string_view::npos ? std::string_view("/") : rest.substr(slash);
            }
            rest = rest.substr(0, rest.find_first_of("?#"));
            return removingPercentEncoding(rest);
        }
    }
    // Any other scheme ("https:", "mailto:") is not a file; a plain path is.
    std::size_t colon = url.find(':');
    std::size_t slash = url.find('/');
    if (colon != std::string_view::npos && (slash == std::string_view::npos || colon < slash)) {
        return std::nullopt;
    }
    return std::string(url);
}

std::optional<std::string> typeIdentifier(std::string_view url) {
    auto found = lookUp(url);
    if (!found) {
        return std::nullopt;
    }
    return std::string(found->first->identifier);
}

std::optional<std::string> localizedName(std::string_view url) {
    auto found = lookUp(url);
    if (!found) {
        return std::nullopt;
    }
    return std::string(lastComponent(found->second));
}

std::optional<std::string> localizedTypeDescription(std::string_view url) {
    auto found = lookUp(url);
    if (!found) {
        return std::nullopt;
    }
    return std::string(found->first->description);
}

std::string_view mimeTypeForFileName(std::string_view fileName) {
    return kindForName(lastComponent(fileName)).mime;
}

}  // namespace vesk::text
