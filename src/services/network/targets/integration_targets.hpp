// Push subscription, Calendly, Zoom and knowledge-base endpoints.
#pragma once

#include <string>

#include "services/network/vesk_target.hpp"

namespace vesk {

struct PushTarget : TargetRequest {
    static PushTarget send(const std::string& token, const std::string& deviceId,
                           const std::string& type, const std::string& userAgent);
    static PushTarget remove(const std::string& deviceId, const std::string& type);  // `delete`
};

struct CalendlyTarget : TargetRequest {
    static CalendlyTarget createIntegration(const std::string& apiKey);
    static CalendlyTarget deleteIntegration(const std::string& integrationId);
    static CalendlyTarget getEvents(const std::string& integrationId);
    static CalendlyTarget getSignature(const std::string& userId, const std::string& conversationId,
                                       const std::string& djangoUserIntegrationId);
};

struct ZoomTarget : TargetRequest {
    static ZoomTarget getAuthLink(const std::string& integrationId, const std::string& appId);
    static ZoomTarget createIntegration(const std::string& code);
    // The service names every meeting "Zoom meeting"; `topic` is not sent.
    static ZoomTarget createMeeting(const std::string& topic,
                                    const std::string& djangoUserIntegrationId);
};

struct KnowledgeBaseTarget : TargetRequest {
    static KnowledgeBaseTarget getArticles(const std::string& categoryId);
    static KnowledgeBaseTarget search(const std::string& text);
    static KnowledgeBaseTarget getArticle(const std::string& articleId);
    static KnowledgeBaseTarget getSettings();
    static KnowledgeBaseTarget getCategories();
};

}  // namespace vesk
