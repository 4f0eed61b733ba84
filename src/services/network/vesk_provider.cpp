#include "services/network/vesk_provider.hpp"

#include <algorithm>
#include <cctype>

#include "core/system_console.hpp"
#include "core/url_encode.hpp"
#include "net/url_encoding.hpp"
#include "services/network/parameter_encoding.hpp"

namespace vesk {

namespace {

constexpr std::string_view kUrlQueryAllowed = "!$&'()*+,-./:;=?@_~";
constexpr std::string_view kCategory = "VeskNetwork";

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// Joins like appending a path component: exactly one "/" between the parts.
std::string appendPathComponent(std::string base, std::string_view path) {
    if (path.empty()) {
        return base;
    }
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    while (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    return base + "/" + std::string(path);
}

bool queryDestination(ParameterEncoding encoding, net::HttpMethod method) {
    switch (encoding) {
        case ParameterEncoding::queryString:
            return true;
        case ParameterEncoding::httpBody:
            return false;
        case ParameterEncoding::methodDependent:
            break;
    }
    return method == net::HttpMethod::get || method == net::HttpMethod::head ||
           method == net::HttpMethod::del;
}

// Credentials by their names: tokens of every kind, the login HMAC, keys,
// passwords and signatures.
bool isSecretName(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto has = [&](std::string_view part) { return lower.find(part) != std::string::npos; };
    return lower == "hash" || has("token") || lower.ends_with("key") || has("password") ||
           has("secret") || has("signature");
}

// The index of the quote closing the JSON string that opens at `open`, or npos.
std::size_t stringEnd(std::string_view text, std::size_t open) {
    for (std::size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i;
        }
    }
    return std::string_view::npos;
}

std::size_t skipSpace(std::string_view text, std::size_t i) {
    while (i < text.size() &&
           (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) {
        ++i;
    }
    return i;
}

// Every string value of a credential's key in JSON text (at any depth, inside
// text that is not JSON too) becomes "***". Unterminated: the rest is dropped.
std::string maskJson(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('"', i);
        if (open == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        const std::size_t close = stringEnd(text, open);
        if (close == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, close + 1 - i));
        i = close + 1;
        const std::size_t colon = skipSpace(text, i);
        const std::size_t value =
            colon < text.size() && text[colon] == ':' ? skipSpace(text, colon + 1) : text.size();
        if (value < text.size() && text[value] == '"' &&
            isSecretName(text.substr(open + 1, close - open - 1))) {
            out.append(text.substr(i, value + 1 - i)).append("***");
            const std::size_t end = stringEnd(text, value);
            if (end == std::string_view::npos) {
                out.push_back('"');
                break;
            }
            out.push_back('"');
            i = end + 1;
        }
    }
    return out;
}

net::Parameters masked(net::Parameters parameters) {
    for (auto& [name, value] : parameters) {
        value = isSecretName(name) ? "***" : maskJson(value);
    }
    return parameters;
}

}  // namespace

VeskProvider::VeskProvider(NetworkSettingsPtr settings, std::string baseUrl, bool logging)
    : settings_(std::move(settings)), baseUrl_(std::move(baseUrl)), logging_(logging) {}

Expected<std::string> VeskProvider::checkedBaseUrl(const std::string& base) {
    const bool http = base.rfind("http://", 0) == 0 || base.rfind("https://", 0) == 0;
    if (!http || !isWellFormedUrl(base)) {
        Error e = Error::make(Error::Kind::invalid, "The API base URL is not a valid URL.");
        e.detail = "apiUrl: " + base;
        return unexpected(std::move(e));
    }
    return base;
}

std::string VeskProvider::fillPlaceholders(std::string text) const {
    replaceAll(text, "{app_id}", settings_->appId);
    replaceAll(text, "{user_id}", settings_->userId);
    return text;
}

std::string VeskProvider::url(const std::string& base, const TargetRequest& target) const {
    const std::string joined = appendPathComponent(base, target.path);
    std::string text = net::percentDecode(joined).value_or(joined);
    if (settings_) {
        if (target.conversationTarget) {
            replaceAll(text, "{path_root}",
                       settings_->connection == NetworkSettings::ConnectionType::app
                           ? "apps/{app_id}"
                           : "users/{user_id}");
        }
        text = fillPlaceholders(std::move(text));
    }
    return net::percentEncode(text, kUrlQueryAllowed);
}

namespace {

bool templated(const Parameters::Member& member) {
    return member.second && member.second->isString() &&
           member.second->string()->find('{') != std::string::npos;
}

}  // namespace

bool VeskProvider::needsFilling(const Parameters& parameters) const {
    return settings_ && std::any_of(parameters.begin(), parameters.end(), templated);
}

void VeskProvider::fillConnectionParams(Parameters& parameters) const {
    // Values almost never hold a placeholder: copy only when one does.
    if (needsFilling(parameters)) {
        parameters = connectionParams(parameters);
    }
}

Parameters VeskProvider::connectionParams(const Parameters& parameters) const {
    if (!needsFilling(parameters)) {
        return parameters;
    }
    Parameters out;
    out.reserve(parameters.size());
    for (const auto& member : parameters) {
        out.appendDistinct(member.first, templated(member)
                                             ? JsonValue(fillPlaceholders(*member.second->string()))
                                             : member.second);
    }
    return out;
}

Parameters VeskProvider::tokenize(Parameters parameters, const TargetRequest& target) const {
    if (!settings_) {
        parameters.set("id_as_string", JsonValue("1"));
        return parameters;
    }
    fillConnectionParams(parameters);
    parameters.set("auth_token", JsonValue(settings_->getToken()));
    if (target.conversationTarget && target.path == "{path_root}/conversations") {
        parameters.set("recipient_type", JsonValue("sdk"));
    }
    parameters.set("id_as_string", JsonValue("1"));
    return parameters;
}

Expected<net::HttpRequest> VeskProvider::request(const TargetRequest& target) const {
    auto base = checkedBaseUrl(baseUrl_);
    if (!base) {
        return unexpected(std::move(base).error());
    }
    net::HttpRequest request;
    request.method = target.method;
    request.url = url(*base, target);
    // The target's own parameters are read where they are; only what the
    // connection adds is a copy.
    const Task& task = target.task;
    switch (task.kind) {
        case Task::Kind::requestPlain:
            request.query = flattenParameters(tokenize({}, target));
            break;
        case Task::Kind::requestParameters:
        case Task::Kind::downloadParameters: {
            auto fields = flattenParameters(tokenize(task.parameters, target));
            if (queryDestination(task.encoding, target.method)) {
                request.query = std::move(fields);
            } else {
                request.body = net::FormBody{std::move(fields)};
            }
            break;
        }
        case Task::Kind::requestData:
            request.body = net::RawBody{task.data};
            request.query = flattenParameters(tokenize(task.urlParameters, target));
            break;
        case Task::Kind::requestCompositeParameters: {
            const Parameters& form = task.parameters;
            request.body =
                net::FormBody{needsFilling(form) ? flattenParameters(connectionParams(form))
                                                 : flattenParameters(form)};
            request.query = flattenParameters(tokenize(task.urlParameters, target));
            break;
        }
        case Task::Kind::uploadMultipart: {
            net::MultipartBody body;
            body.parts.reserve(task.parts.size());
            for (const auto& part : task.parts) {
                net::MultipartPart out;
                out.name = part.name;
                out.value = part.bytes;
                out.file = part.file;
                out.filename = part.filename;
                out.contentType = part.mimeType;
                body.parts.push_back(std::move(out));
            }
            request.body = std::move(body);
            request.query = flattenParameters(tokenize(task.urlParameters, target));
            break;
        }
    }
    return request;
}

void VeskProvider::logRequest(const net::HttpRequest& request) const {
    if (!logging_) {
        return;
    }
    std::string line = "Request: " + std::string(net::methodName(request.method)) + " " +
                       net::appendQuery(request.url, masked(request.query));
    if (const auto* form = std::get_if<net::FormBody>(&request.body)) {
        line += "\nBody: " + net::encodeForm(masked(form->fields));
    } else if (const auto* multipart = std::get_if<net::MultipartBody>(&request.body)) {
        line += "\nBody: multipart, " + std::to_string(multipart->parts.size()) + " part(s)";
    }
    SystemConsole::shared().write(line, kCategory);
}

void VeskProvider::logReply(const net::HttpRequest& request, const net::HttpReply* reply,
                            const Error* error) const {
    if (!logging_) {
        return;
    }
    std::string line = "Response: " + std::string(net::methodName(request.method)) + " " +
                       net::appendQuery(request.url, masked(request.query));
    if (reply != nullptr) {
        line += "\nStatus: " + std::to_string(reply->status) + "\nBody: " + maskJson(reply->body);
    } else if (error != nullptr) {
        line += "\nFailed: " + error->description;
    }
    if (settings_ && !settings_->token.empty()) {
        replaceAll(line, settings_->token, "***");
    }
    SystemConsole::shared().write(line, kCategory);
}

}  // namespace vesk
