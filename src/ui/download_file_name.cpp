#include "ui/download_file_name.hpp"

#include <system_error>
#include <utility>

namespace vesk {
namespace {

// A longer extension is more likely part of the name ("notes.from the meeting").
constexpr std::size_t kMaxExtensionBytes = 16;
constexpr int kMaxTries = 10'000;

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

std::string_view trimmed(std::string_view s) {
    const auto drop = [](char c) { return c == '.' || c == ' '; };
    while (!s.empty() && drop(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && drop(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Splits "report.pdf" into "report" and "pdf"; the extension is empty when
// there is none.
std::pair<std::string, std::string> split(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size() ||
        name.size() - dot - 1 > kMaxExtensionBytes) {
        return {name, {}};
    }
    return {name.substr(0, dot), name.substr(dot + 1)};
}

std::string join(const std::string& base, const std::string& extension) {
    return extension.empty() ? base : base + "." + extension;
}

// Cut to at most `bytes`, never inside a UTF-8 sequence.
std::string cut(std::string text, std::size_t bytes) {
    if (text.size() <= bytes) {
        return text;
    }
    std::size_t end = bytes;
    while (end > 0 && isContinuationByte(text[end])) {
        --end;
    }
    text.resize(end);
    return text;
}

bool taken(const std::filesystem::path& path) {
    std::error_code ec;
    // A dangling link or an unreadable entry counts as taken: never write over it.
    const auto status = std::filesystem::symlink_status(path, ec);
    return !(ec ? ec == std::errc::no_such_file_or_directory
                : status.type() == std::filesystem::file_type::not_found);
}

}  // namespace

std::string safeDownloadName(std::string_view remote) {
    std::string name;
    name.reserve(remote.size());
    for (const char c : remote) {
        const auto byte = static_cast<unsigned char>(c);
        name.push_back(c == '/' || byte < 0x20U || byte == 0x7FU ? '_' : c);
    }
    name = std::string(trimmed(name));
    if (name.empty()) {
        return "download";
    }
    if (name.size() <= kMaxDownloadNameBytes) {
        return name;
    }
    auto [base, extension] = split(name);
    const std::size_t room = kMaxDownloadNameBytes - (extension.empty() ? 0 : extension.size() + 1);
    base = std::string(trimmed(cut(std::move(base), room)));
    return join(base.empty() ? "download" : base, extension);
}

std::optional<std::string> freeDownloadName(const std::filesystem::path& directory,
                                            const std::string& name,
                                            const std::set<std::string>& reserved) {
    if (!reserved.contains(name) && !taken(directory / name)) {
        return name;
    }
    const auto [base, extension] = split(name);
    for (int n = 1; n <= kMaxTries; ++n) {
        std::string candidate = join(base + "_" + std::to_string(n), extension);
        if (!reserved.contains(candidate) && !taken(directory / candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace vesk
