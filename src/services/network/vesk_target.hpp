// What an API target answers: path, method and task (its parameters and
// how they are encoded). Every area of the API is one target type with one
// factory per endpoint; the request provider turns a target into a request.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "net/http_request.hpp"
#include "vesk/json_value.hpp"

namespace vesk {

// Parameter values: strings, integers, doubles, booleans, arrays and objects.
using Parameters = JsonObject;

enum class ParameterEncoding {
    methodDependent,  // query string for GET, HEAD and DELETE; form body otherwise
    queryString,
    httpBody,
};

// A part of a multipart upload.
struct UploadPart {
    std::string name;
    std::string bytes;                          // in-memory content, when no file
    std::optional<std::filesystem::path> file;  // streamed from disk when set
    std::string filename;                       // empty: none sent
    std::string mimeType;                       // empty: none sent
};

struct Task {
    enum class Kind {
        requestPlain,                // no parameters
        requestParameters,           // parameters with an encoding
        requestData,                 // raw body plus URL parameters
        requestCompositeParameters,  // body parameters plus URL parameters
        uploadMultipart,             // parts plus URL parameters
        downloadParameters,          // parameters with an encoding, reply saved to a file
    };

    Kind kind = Kind::requestPlain;
    Parameters parameters;  // requestParameters, downloadParameters; body of composite
    ParameterEncoding encoding = ParameterEncoding::methodDependent;
    Parameters urlParameters;  // requestData, composite, multipart
    std::string data;          // requestData
    std::vector<UploadPart> parts;

    static Task plain() { return {}; }
    static Task withParameters(Parameters p,
                               ParameterEncoding e = ParameterEncoding::methodDependent);
    static Task composite(Parameters body, Parameters url = {});
    static Task multipart(std::vector<UploadPart> parts, Parameters url);
};

// One endpoint of one API area.
struct TargetRequest {
    std::string path;  // relative to the API base; may hold {path_root}, {app_id}, {user_id}
    net::HttpMethod method = net::HttpMethod::get;
    Task task;
    // Conversation targets get "{path_root}" and, for the list, "recipient_type".
    bool conversationTarget = false;
};

template <class T>
T makeTarget(std::string path, net::HttpMethod method, Task task = Task::plain(),
             bool conversationTarget = false) {
    T target;
    target.path = std::move(path);
    target.method = method;
    target.task = std::move(task);
    target.conversationTarget = conversationTarget;
    return target;
}

}  // namespace vesk
