// The service's reply envelope: {"meta":{"status":N,...},"data":...}.
#pragma once

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>
#include <string_view>

#include "http_message.hpp"

namespace vesk::dev {

// A success: HTTP 200, meta status 200 plus `meta` (paging fields), and `data`.
[[nodiscard]] HttpReply envelopeReply(boost::json::value data, boost::json::object meta = {});

// A failure: HTTP `status`, meta with "error" and "error_message", data null.
[[nodiscard]] HttpReply errorReply(int status, std::string_view error, std::string_view message);

// A plain JSON reply (the /_dev/ control API has no envelope).
[[nodiscard]] HttpReply jsonReply(int status, const boost::json::value& body);

}  // namespace vesk::dev
