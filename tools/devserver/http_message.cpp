#include "http_message.hpp"

#include <algorithm>
#include <cctype>

namespace vesk::dev {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Value of `key` among the "; key=value" parameters of a header such as Content-Type.
std::string headerParameter(std::string_view header, std::string_view key) {
    std::size_t pos = 0;
    while (pos < header.size()) {
        std::size_t semi = header.find(';', pos);
        if (semi == std::string_view::npos) {
            return {};
        }
        pos = semi + 1;
        std::size_t end = header.find(';', pos);
        std::string_view item = trim(
            header.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
        std::size_t eq = item.find('=');
        if (eq != std::string_view::npos && equalsIgnoreCase(trim(item.substr(0, eq)), key)) {
            std::string_view value = trim(item.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                value = value.substr(1, value.size() - 2);
            }
            return std::string(value);
        }
    }
    return {};
}

std::string_view mediaType(std::string_view contentType) {
    return trim(contentType.substr(0, contentType.find(';')));
}

}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view headerValue(const Pairs& headers, std::string_view name) {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoreCase(key, name)) {
            return value;
        }
    }
    return {};
}

std::string percentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            int hi = hexDigit(text[i + 1]);
            int lo = hexDigit(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(plusIsSpace && c == '+' ? ' ' : c);
    }
    return out;
}

Pairs parseUrlEncoded(std::string_view text) {
    Pairs pairs;
    while (!text.empty()) {
        std::size_t amp = text.find('&');
        std::string_view item = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view{} : text.substr(amp + 1);
        if (item.empty()) {
            continue;
        }
        std::size_t eq = item.find('=');
        if (eq == std::string_view::npos) {
            pairs.emplace_back(percentDecode(item, true), std::string{});
        } else {
            pairs.emplace_back(percentDecode(item.substr(0, eq), true),
                               percentDecode(item.substr(eq + 1), true));
        }
    }
    return pairs;
}

bool parseMultipart(std::string_view body, std::string_view contentType,
                    std::vector<RecordedRequest::Part>& parts) {
    const std::string boundary = headerParameter(contentType, "boundary");
    if (boundary.empty()) {
        return false;
    }
    const std::string delimiter = "--" + boundary;
    std::size_t pos = body.find(delimiter);
    if (pos == std::string_view::npos) {
        return false;
    }
    pos += delimiter.size();
    while (true) {
        if (body.substr(pos, 2) == "--") {
            return true;  // closing delimiter
        }
        if (body.substr(pos, 2) != "\r\n") {
            return false;
        }
        pos += 2;
        const std::size_t headersEnd = body.find("\r\n\r\n", pos);
        if (headersEnd == std::string_view::npos) {
            return false;
        }
        RecordedRequest::Part part;
        std::string_view headerBlock = body.substr(pos, headersEnd - pos);
        while (!headerBlock.empty()) {
            std::size_t eol = headerBlock.find("\r\n");
            std::string_view line = headerBlock.substr(0, eol);
            headerBlock =
                eol == std::string_view::npos ? std::string_view{} : headerBlock.substr(eol + 2);
            std::size_t colon = line.find(':');
            if (colon == std::string_view::npos) {
                continue;
            }
            std::string_view name = trim(line.substr(0, colon));
            std::string_view value = trim(line.substr(colon + 1));
            if (equalsIgnoreCase(name, "Content-Disposition")) {
                part.name = headerParameter(value, "name");
                part.filename = headerParameter(value, "filename");
            } else if (equalsIgnoreCase(name, "Content-Type")) {
                part.contentType = std::string(value);
            }
        }
        const std::size_t dataStart = headersEnd + 4;
        const std::size_t next = body.find("\r\n" + delimiter, dataStart);
        if (next == std::string_view::npos) {
            return false;
        }
        part.body = std::string(body.substr(dataStart, next - dataStart));
        parts.push_back(std::move(part));
        pos = next + 2 + delimiter.size();
    }
}

RecordedRequest recordRequest(HttpRequest&& request) {
    RecordedRequest rec;
    rec.method = std::move(request.method);
    rec.connectionId = request.connectionId;
    std::string_view target = request.target;
    const std::size_t question = target.find('?');
    rec.path = percentDecode(target.substr(0, question), false);
    if (question != std::string_view::npos) {
        rec.query = std::string(target.substr(question + 1));
        rec.queryItems = parseUrlEncoded(rec.query);
    }
    const std::string_view contentType = headerValue(request.headers, "Content-Type");
    const std::string_view media = mediaType(contentType);
    if (equalsIgnoreCase(media, "application/x-www-form-urlencoded")) {
        rec.formFields = parseUrlEncoded(request.body);
    } else if (equalsIgnoreCase(media, "multipart/form-data")) {
        if (!parseMultipart(request.body, contentType, rec.parts)) {
            rec.parts.clear();
        }
        for (const auto& part : rec.parts) {
            if (part.filename.empty() && part.contentType.empty()) {
                rec.formFields.emplace_back(part.name, part.body);
            }
        }
    }
    rec.headers = std::move(request.headers);
    rec.body = std::move(request.body);
    return rec;
}

}  // namespace vesk::dev
