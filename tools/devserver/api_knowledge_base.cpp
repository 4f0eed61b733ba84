// The app's knowledge base: settings, categories, articles and search.
#include <algorithm>
#include <cctype>

#include "api.hpp"
#include "wire.hpp"

namespace vesk::dev {
namespace {

namespace json = boost::json;

const KnowledgeBase& ownKnowledgeBase(ApiCall& call) {
    call.requireOwnApp(call.captures[0]);
    return call.app->knowledgeBase;
}

json::value settings(ApiCall& call) {
    const KnowledgeBase& kb = ownKnowledgeBase(call);
    json::object data;
    data["domain"] = kb.domain;
    data["app"] = call.app->appId;
    data["full_domain"] = kb.fullDomain;
    return data;
}

json::value categories(ApiCall& call) {
    const KnowledgeBase& kb = ownKnowledgeBase(call);
    const bool counters = call.flag("include_articles_counter", false);
    json::array out;
    for (const auto& c : kb.categories) {
        out.emplace_back(categoryJson(c, counters ? &kb : nullptr));
    }
    return out;
}

json::value articles(ApiCall& call) {
    const KnowledgeBase& kb = ownKnowledgeBase(call);
    const std::string category = call.required("category");
    if (std::none_of(kb.categories.begin(), kb.categories.end(),
                     [&](const KbCategory& c) { return c.id == category; })) {
        fail(404, "not_found", "Category not found: " + category);
    }
    json::array out;
    for (const auto& a : kb.articles) {
        if (a.categoryId == category) {
            out.emplace_back(articleJson(a));
        }
    }
    return out;
}

json::value article(ApiCall& call) {
    const KnowledgeBase& kb = ownKnowledgeBase(call);
    for (const auto& a : kb.articles) {
        if (a.id == call.captures[1]) {
            return articleJson(a);
        }
    }
    fail(404, "not_found", "Article not found: " + call.captures[1]);
}

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Up to 40 bytes either side of the match, cut at spaces so words stay whole.
std::string quoteAround(const std::string& text, std::size_t at, std::size_t length) {
    std::size_t begin = at > 40 ? text.rfind(' ', at - 40) : 0;
    begin = begin == std::string::npos ? 0 : begin;
    std::size_t end = text.find(' ', std::min(text.size(), at + length + 40));
    end = end == std::string::npos ? text.size() : end;
    std::string quote = text.substr(begin, end - begin);
    while (!quote.empty() && quote.front() == ' ') {
        quote.erase(quote.begin());
    }
    return (begin > 0 ? "…" : "") + quote + (end < text.size() ? "…" : "");
}

json::value search(ApiCall& call) {
    const KnowledgeBase& kb = ownKnowledgeBase(call);
    const std::string pattern = lowered(call.required("pattern"));
    const bool withQuote = call.flag("include_quote", false);
    const bool withCategory = call.flag("include_category", false);
    json::array out;
    if (pattern.empty()) {
        return out;
    }
    for (const auto& a : kb.articles) {
        std::size_t at = std::string::npos;
        const std::string* where = nullptr;
        for (const std::string* field : {&a.name, &a.description, &a.content}) {
            at = lowered(*field).find(pattern);
            if (at != std::string::npos) {
                where = field;
                break;
            }
        }
        if (where == nullptr) {
            continue;
        }
        json::object o = articleJson(a);
        if (withQuote) {
            o["quote"] = quoteAround(*where, at, pattern.size());
        }
        if (withCategory) {
            for (const auto& c : kb.categories) {
                if (c.id == a.categoryId) {
                    o["category"] = categoryJson(c, nullptr);
                }
            }
        }
        out.emplace_back(std::move(o));
    }
    return out;
}

}  // namespace

void addKnowledgeBaseRoutes(std::vector<Route>& routes) {
    routes.push_back({"GET", "knowledgebase/*", true, &settings});
    routes.push_back({"GET", "knowledgebase/*/categories", true, &categories});
    routes.push_back({"GET", "knowledgebase/*/articles", true, &articles});
    routes.push_back({"GET", "knowledgebase/*/articles/*", true, &article});
    routes.push_back({"GET", "knowledgebase/*/search", true, &search});
}

}  // namespace vesk::dev
