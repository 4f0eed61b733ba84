// Reads of the app's knowledge base: settings, categories (with their article
// counters), the articles of a category, one article, and a text search.
// Threading: main executor; results arrive there.
#pragma once

#include <string>
#include <vector>

#include "services/models/knowledge_base.hpp"
#include "services/network/targets/integration_targets.hpp"
#include "services/network/vesk_service.hpp"

namespace vesk {

class KnowledgeBaseService : public VeskService<KnowledgeBaseTarget> {
  public:
    using VeskService<KnowledgeBaseTarget>::VeskService;

    [[nodiscard]] rx::Observable<Result<Response<KnowledgeBaseSettings>>> getSettings() const;
    [[nodiscard]] rx::Observable<Result<Response<std::vector<KnowledgeBaseCategory>>>>
    getCategories() const;
    [[nodiscard]] rx::Observable<Result<Response<std::vector<KnowledgeBaseArticle>>>> getArticles(
        const std::string& categoryId) const;
    [[nodiscard]] rx::Observable<Result<Response<KnowledgeBaseArticle>>> getArticle(
        const std::string& articleId) const;
    [[nodiscard]] rx::Observable<Result<Response<std::vector<KnowledgeBaseArticle>>>> search(
        const std::string& text) const;
};

}  // namespace vesk
