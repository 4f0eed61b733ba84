#include "net/http_request.hpp"

#include <utility>

namespace vesk::net {

std::string_view methodName(HttpMethod method) noexcept {
    switch (method) {
        case HttpMethod::get:
            return "GET";
        case HttpMethod::post:
            return "POST";
        case HttpMethod::put:
            return "PUT";
        case HttpMethod::patch:
            return "PATCH";
        case HttpMethod::del:
            return "DELETE";
        case HttpMethod::head:
            return "HEAD";
    }
    return "GET";
}

MultipartPart MultipartPart::field(std::string name, std::string value) {
    MultipartPart part;
    part.name = std::move(name);
    part.value = std::move(value);
    return part;
}

MultipartPart MultipartPart::data(std::string name, std::string bytes, std::string filename,
                                  std::string contentType) {
    MultipartPart part;
    part.name = std::move(name);
    part.value = std::move(bytes);
    part.filename = std::move(filename);
    part.contentType = std::move(contentType);
    return part;
}

MultipartPart MultipartPart::fromFile(std::string name, std::filesystem::path path,
                                      std::string filename, std::string contentType) {
    MultipartPart part;
    part.name = std::move(name);
    part.file = std::move(path);
    part.filename = std::move(filename);
    part.contentType = std::move(contentType);
    return part;
}

HttpRequest HttpRequest::get(std::string url, Parameters query) {
    HttpRequest request;
    request.url = std::move(url);
    request.query = std::move(query);
    return request;
}

HttpRequest HttpRequest::post(std::string url, HttpBody body, Parameters query) {
    HttpRequest request;
    request.method = HttpMethod::post;
    request.url = std::move(url);
    request.body = std::move(body);
    request.query = std::move(query);
    return request;
}

std::string HttpRequest::fullUrl() const {
    return appendQuery(url, query);
}

}  // namespace vesk::net
