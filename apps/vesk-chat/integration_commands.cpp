#include "integration_commands.hpp"

#include <memory>
#include <utility>
#include <vector>

#include "vesk/integrations.hpp"
#include "vesk/knowledge_base.hpp"
#include "vesk/vesk.hpp"

namespace vesk::chat {

namespace {

constexpr const char* kKbUsage =
    "kb settings | kb categories | kb articles <categoryId> | kb article <id> | "
    "kb search <text...>";

JsonValue optional(const std::optional<std::string>& text) {
    return text ? JsonValue(*text) : JsonValue(JsonEmpty{});
}

JsonValue optional(const std::optional<std::int64_t>& number) {
    return number ? JsonValue(*number) : JsonValue(JsonEmpty{});
}

JsonValue toJson(const KnowledgeBaseSettings& s) {
    return JsonObject{{"domain", JsonValue(s.domain)},
                      {"appId", JsonValue(s.appId)},
                      {"fullDomain", optional(s.fullDomain)}};
}

JsonValue toJson(const KnowledgeBaseCategory& c) {
    return JsonObject{{"id", JsonValue(c.id)},
                      {"name", JsonValue(c.name)},
                      {"icon", JsonValue(c.icon)},
                      {"count", optional(c.count)}};
}

JsonValue toJson(const KnowledgeBaseArticle& a) {
    return JsonObject{{"id", JsonValue(a.id)},
                      {"name", JsonValue(a.name)},
                      {"description", optional(a.description)},
                      {"content", optional(a.content)},
                      {"categoryId", JsonValue(a.categoryId)}};
}

JsonValue toJson(const AppIntegration& i) {
    return JsonObject{{"id", JsonValue(i.id)},
                      {"type", JsonValue(i.type)},
                      {"name", JsonValue(i.name)},
                      {"active", JsonValue(i.active)},
                      {"created", optional(i.created)},
                      {"settings", i.settings.value_or(JsonValue(JsonEmpty{}))},
                      {"jsonSettings", i.jsonSettings.value_or(JsonValue(JsonEmpty{}))}};
}

template <class T>
JsonValue toJson(const std::vector<T>& items) {
    JsonArray out;
    out.reserve(items.size());
    for (const auto& item : items) {
        out.push_back(toJson(item));
    }
    return out;
}

std::string readable(const KnowledgeBaseSettings& s) {
    return "domain " + s.domain + ", app " + s.appId +
           (s.fullDomain ? ", full domain " + *s.fullDomain : "");
}

std::string readable(const KnowledgeBaseCategory& c) {
    return c.id + "  " + c.name + " [" + c.icon + "]" +
           (c.count ? " (" + std::to_string(*c.count) + " articles)" : "");
}

std::string readable(const KnowledgeBaseArticle& a) {
    return a.id + "  " + a.name + (a.description ? " - " + *a.description : "");
}

std::string readable(const AppIntegration& i) {
    return i.id + "  " + i.type + "  " + i.name + (i.active ? "  active" : "  inactive");
}

template <class T>
std::string readable(const std::vector<T>& items) {
    std::string out = std::to_string(items.size()) + (items.size() == 1 ? " item" : " items");
    for (const auto& item : items) {
        out += "\n  " + readable(item);
    }
    return out;
}

// Writes the outcome of a read as the event `name` ("kb" with `kind`, or
// "integrations"), then calls `done`.
template <class T>
std::function<void(const ApiResult<T>&)> reporter(
    EventWriter write, std::function<void()> done, std::string name, std::string kind,
    JsonObject extra, std::string valueKey,
    std::string (*describe)(const T&) = [](const T& value) { return readable(value); }) {
    return [write = std::move(write), done = std::move(done), name = std::move(name),
            kind = std::move(kind), extra = std::move(extra), valueKey = std::move(valueKey),
            describe](const ApiResult<T>& result) {
        JsonObject fields;
        if (!kind.empty()) {
            fields.set("kind", JsonValue(kind));
        }
        for (const auto& [key, value] : extra) {
            fields.set(key, value);
        }
        const std::string title = kind.empty() ? name : name + " " + kind;
        if (const T* value = result.value()) {
            fields.set("ok", JsonValue(true));
            fields.set(valueKey, toJson(*value));
            write(name, std::move(fields), title + ": " + describe(*value));
        } else {
            fields.set("ok", JsonValue(false));
            fields.set("error", JsonValue(result.error()));
            write(name, std::move(fields), title + " failed: " + result.error());
        }
        if (done) {
            done();
        }
    };
}

// The rest of the line after its first word.
std::string afterFirstWord(const std::string& rest) {
    const auto end = rest.find_first_of(" \t");
    if (end == std::string::npos) {
        return {};
    }
    const auto start = rest.find_first_not_of(" \t", end);
    return start == std::string::npos ? std::string() : rest.substr(start);
}

void usage(const EventWriter& write, const std::function<void()>& done, const std::string& text) {
    write("error", {{"error", JsonValue("usage: " + text)}}, "usage: " + text);
    if (done) {
        done();
    }
}

void runKb(const Command& c, EventWriter write, std::function<void()> done) {
    const std::string sub = c.words.empty() ? std::string() : c.words[0];
    using Articles = std::vector<KnowledgeBaseArticle>;
    if (sub == "settings" && c.words.size() == 1) {
        Vesk::shared().knowledgeBase().getSettings(reporter<KnowledgeBaseSettings>(
            std::move(write), std::move(done), "kb", "settings", {}, "settings"));
    } else if (sub == "categories" && c.words.size() == 1) {
        Vesk::shared().knowledgeBase().getCategories(reporter<std::vector<KnowledgeBaseCategory>>(
            std::move(write), std::move(done), "kb", "categories", {}, "items"));
    } else if (sub == "articles" && c.words.size() == 2) {
        const std::string& categoryId = c.words[1];
        Vesk::shared().knowledgeBase().getArticles(
            categoryId, reporter<Articles>(std::move(write), std::move(done), "kb", "articles",
                                           {{"categoryId", JsonValue(categoryId)}}, "items"));
    } else if (sub == "article" && c.words.size() == 2) {
        const std::string& id = c.words[1];
        Vesk::shared().knowledgeBase().getArticle(
            id, reporter<KnowledgeBaseArticle>(
                    std::move(write), std::move(done), "kb", "article", {{"id", JsonValue(id)}},
                    "article", [](const KnowledgeBaseArticle& a) {
                        return readable(a) + (a.content ? "\n  " + *a.content : "");
                    }));
    } else if (sub == "search" && c.words.size() >= 2) {
        const std::string text = afterFirstWord(c.rest);
        Vesk::shared().knowledgeBase().search(
            text, reporter<Articles>(std::move(write), std::move(done), "kb", "search",
                                     {{"text", JsonValue(text)}}, "items"));
    } else {
        usage(write, done, kKbUsage);
    }
}

}  // namespace

bool isIntegrationCommand(std::string_view name) {
    return name == "kb" || name == "integrations";
}

void runIntegrationCommand(const Command& c, EventWriter write, std::function<void()> done) {
    if (c.name == "kb") {
        runKb(c, std::move(write), std::move(done));
    } else if (c.name == "integrations" && c.words.empty()) {
        Vesk::shared().integrations().getAppIntegrations(reporter<std::vector<AppIntegration>>(
            std::move(write), std::move(done), "integrations", "", {}, "items"));
    } else {
        usage(write, done, "integrations");
    }
}

}  // namespace vesk::chat
