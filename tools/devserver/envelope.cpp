#include "envelope.hpp"

#include <boost/json/serialize.hpp>

namespace vesk::dev {

namespace json = boost::json;

HttpReply envelopeReply(json::value data, json::object meta) {
    json::object m;
    m.reserve(meta.size() + 1);
    m["status"] = 200;
    for (auto& item : meta) {
        m[item.key()] = std::move(item.value());
    }
    json::object body;
    body["meta"] = std::move(m);
    body["data"] = std::move(data);
    return jsonReply(200, body);
}

HttpReply errorReply(int status, std::string_view error, std::string_view message) {
    json::object meta;
    meta["status"] = status;
    meta["error"] = error;
    meta["error_message"] = message;
    json::object body;
    body["meta"] = std::move(meta);
    body["data"] = nullptr;
    return jsonReply(status, body);
}

HttpReply jsonReply(int status, const json::value& body) {
    HttpReply reply;
    reply.status = status;
    reply.contentType = "application/json; charset=utf-8";
    reply.body = json::serialize(body);
    return reply;
}

}  // namespace vesk::dev
