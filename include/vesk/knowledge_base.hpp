// The app's knowledge base (help-centre articles grouped into categories), as
// the service hosts it.
//
// Each facade has one (`Vesk::knowledgeBase()`), on its own connection.
//
// Threading: every call may be made from any thread; the request is made on the
// main executor (see runtime.hpp) with the connection of the facade's last
// successful setup or auth, and the handler is called there once. Before the
// facade has a connection the handler gets an error. Nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vesk/api_result.hpp"

namespace vesk {

struct KnowledgeBaseSettings {
    std::string domain;
    std::string appId;
    std::optional<std::string> fullDomain;

    friend bool operator==(const KnowledgeBaseSettings&, const KnowledgeBaseSettings&) = default;
};

struct KnowledgeBaseCategory {
    std::string id;
    std::string name;
    std::string icon;
    std::optional<std::int64_t> count;  // articles in the category, when the service says

    friend bool operator==(const KnowledgeBaseCategory&, const KnowledgeBaseCategory&) = default;
};

struct KnowledgeBaseArticle {
    std::string id;
    std::string name;
    std::optional<std::string> description;
    std::optional<std::string> content;
    std::string categoryId;

    friend bool operator==(const KnowledgeBaseArticle&, const KnowledgeBaseArticle&) = default;
};

class Library;

class VeskKnowledgeBase {
  public:
    template <class T>
    using Handler = std::function<void(const ApiResult<T>& result)>;

    // Made by the facade.
    explicit VeskKnowledgeBase(std::weak_ptr<Library> library) : library_(std::move(library)) {}

    void getSettings(Handler<KnowledgeBaseSettings> handler);
    // With the number of articles of each category.
    void getCategories(Handler<std::vector<KnowledgeBaseCategory>> handler);
    void getArticles(const std::string& categoryId,
                     Handler<std::vector<KnowledgeBaseArticle>> handler);
    void getArticle(const std::string& articleId, Handler<KnowledgeBaseArticle> handler);
    // Articles whose name, description or content holds `text`.
    void search(const std::string& text, Handler<std::vector<KnowledgeBaseArticle>> handler);

  private:
    std::weak_ptr<Library> library_;
};

}  // namespace vesk
