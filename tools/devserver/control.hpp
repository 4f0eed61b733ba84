// What the files of the /_dev/ control API share.
#pragma once

#include <boost/json/object.hpp>
#include <string>

#include "service.hpp"

namespace vesk::dev {

// {"error": message} with `status`.
HttpReply controlError(int status, const std::string& message);
// A member under either of its two spellings ("conversation_id" or "conversationId"); a number
// as its text; "" when absent.
std::string member(const boost::json::object& o, const char* snake, const char* camel);

// The operator controls; each answers 201 with what it stored, or an error.
HttpReply operatorReply(ServerState& state, const boost::json::object& body);
HttpReply operatorReplyFile(ServerState& state, const boost::json::object& body);
HttpReply operatorBooking(ServerState& state, const boost::json::object& body);
HttpReply operatorMeeting(ServerState& state, const boost::json::object& body);
HttpReply operatorFlood(ServerState& state, const boost::json::object& body);
HttpReply operatorTyping(ServerState& state, const boost::json::object& body);
HttpReply operatorPopup(ServerState& state, const boost::json::object& body);
HttpReply operatorPopupChat(ServerState& state, const boost::json::object& body);

}  // namespace vesk::dev
