#include "services/knowledge_base_service.hpp"

namespace vesk {

rx::Observable<Result<Response<KnowledgeBaseSettings>>> KnowledgeBaseService::getSettings() const {
    return request<KnowledgeBaseSettings>(KnowledgeBaseTarget::getSettings());
}

rx::Observable<Result<Response<std::vector<KnowledgeBaseCategory>>>>
KnowledgeBaseService::getCategories() const {
    return request<std::vector<KnowledgeBaseCategory>>(KnowledgeBaseTarget::getCategories());
}

rx::Observable<Result<Response<std::vector<KnowledgeBaseArticle>>>>
KnowledgeBaseService::getArticles(const std::string& categoryId) const {
    return request<std::vector<KnowledgeBaseArticle>>(KnowledgeBaseTarget::getArticles(categoryId));
}

rx::Observable<Result<Response<KnowledgeBaseArticle>>> KnowledgeBaseService::getArticle(
    const std::string& articleId) const {
    return request<KnowledgeBaseArticle>(KnowledgeBaseTarget::getArticle(articleId));
}

rx::Observable<Result<Response<std::vector<KnowledgeBaseArticle>>>> KnowledgeBaseService::search(
    const std::string& text) const {
    return request<std::vector<KnowledgeBaseArticle>>(KnowledgeBaseTarget::search(text));
}

}  // namespace vesk
