// The JSON shapes the service answers with: users, messenger settings, conversations, parts,
// attachments, operators, integrations and knowledge-base items.
#pragma once

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "store.hpp"

namespace vesk::dev {

[[nodiscard]] boost::json::object userJson(const Store& store, const User& user);
[[nodiscard]] boost::json::object appJson(const App& app);  // "id", "name", "settings"
// Avatars stored as bare file names are served under /files/avatars/.
[[nodiscard]] boost::json::object adminJson(const Store& store, const Admin& admin);
[[nodiscard]] boost::json::object attachmentJson(const Store& store, const Attachment& attachment);
[[nodiscard]] boost::json::object partJson(const Store& store, const Part& part);
[[nodiscard]] boost::json::object dialogJson(const Store& store, const Conversation& conversation);
[[nodiscard]] boost::json::object integrationJson(const DjangoIntegration& integration);
[[nodiscard]] boost::json::object categoryJson(const KbCategory& category,
                                               const KnowledgeBase* countIn);
[[nodiscard]] boost::json::object articleJson(const KbArticle& article);

// The URL at which an uploaded file is served back.
[[nodiscard]] std::string fileUrl(const Store& store, const Attachment& attachment);

}  // namespace vesk::dev
