#include "seed.hpp"

#include <boost/json/parse.hpp>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "wire.hpp"

namespace vesk::dev {

namespace json = boost::json;

namespace {

KnowledgeBase defaultKnowledgeBase(Store& store, const std::string& appId) {
    KnowledgeBase kb;
    kb.domain = "kb-" + appId;
    kb.fullDomain = "kb-" + appId + ".vesk.example";
    const std::string start = store.nextId();
    const std::string billing = store.nextId();
    const std::string trouble = store.nextId();
    kb.categories = {
        {start, "Getting started", "rocket"},
        {billing, "Account and billing", "credit-card"},
        {trouble, "Troubleshooting", "wrench"},
    };
    auto article = [&](const std::string& category, const char* name, const char* description,
                       const char* content) {
        kb.articles.push_back({store.nextId(), name, description, content, category});
    };
    article(start, "Creating your account", "Sign up and confirm your e-mail address.",
            "Open the app, tap Sign up and enter your e-mail address. We send a confirmation "
            "link that stays valid for 24 hours; follow it to finish creating your account.");
    article(start, "Finding your way around", "A short tour of the main screens.",
            "The home screen shows your recent activity. Use the tabs at the bottom to switch "
            "between orders, messages and settings.");
    article(billing, "Changing your payment method", "Add or replace a card.",
            "Go to Settings, then Payments, and tap Add card. The new card becomes the default "
            "for your next order; you can remove the old one afterwards.");
    article(billing, "Getting a refund", "How refunds work and how long they take.",
            "Refunds go back to the card you paid with. Banks usually show the money within "
            "five to ten working days after we confirm the refund.");
    article(trouble, "The app does not load", "What to try when the app shows a blank screen.",
            "Check your internet connection, then close and reopen the app. If the screen stays "
            "blank, update the app to the latest version and try again.");
    article(trouble, "I did not get the confirmation e-mail",
            "Check the spam folder and ask for a new link.",
            "Confirmation e-mails can take a few minutes. Look in your spam folder; if the e-mail "
            "is not there, ask for a new link from the sign-in screen.");
    return kb;
}

json::array defaultAppIntegrations(Store& store) {
    json::array out;
    auto add = [&](const char* type, const char* name, bool active, json::value settings) {
        json::object o;
        o["id"] = store.nextId();
        o["type"] = type;
        o["name"] = name;
        o["created"] = Store::now();
        o["active"] = active;
        if (!settings.is_null()) {
            o["settings"] = std::move(settings);
        }
        out.emplace_back(std::move(o));
    };
    add("calendly", "Calendly", true, json::object{{"show_in_widget", true}});
    add("zoom", "Zoom", true, json::object{{"default_duration", 30}});
    add("telegram", "Telegram", false, nullptr);
    return out;
}

// Seed helpers: each throws std::runtime_error naming what is wrong.
const json::object& objectAt(const json::value& v, const std::string& where) {
    if (!v.is_object()) {
        throw std::runtime_error(where + " must be an object");
    }
    return v.as_object();
}

const json::array* arrayIn(const json::object& o, const char* key, const std::string& where) {
    const json::value* v = o.if_contains(key);
    if (v == nullptr) {
        return nullptr;
    }
    if (!v->is_array()) {
        throw std::runtime_error(where + "." + key + " must be an array");
    }
    return &v->as_array();
}

std::string text(const json::object& o, const char* key, const std::string& where,
                 bool required = true, std::string fallback = {}) {
    const json::value* v = o.if_contains(key);
    if (v == nullptr) {
        if (required) {
            throw std::runtime_error(where + " needs \"" + key + "\"");
        }
        return fallback;
    }
    if (!v->is_string()) {
        throw std::runtime_error(where + "." + key + " must be a string");
    }
    return std::string(v->as_string());
}

void seedApp(Store& store, const json::object& o, const std::string& where) {
    AppKeys keys{text(o, "api_key", where), text(o, "app_id", where),
                 text(o, "user_auth_key", where), text(o, "name", where, false)};
    App app = makeApp(store, keys);
    if (const json::value* settings = o.if_contains("settings")) {
        for (const auto& item : objectAt(*settings, where + ".settings")) {
            app.settings[item.key()] = item.value();
        }
    }
    if (const json::array* admins = arrayIn(o, "admins", where)) {
        app.adminIds.clear();
        for (const auto& id : *admins) {
            if (!id.is_string() || store.admin(std::string(id.as_string())) == nullptr) {
                throw std::runtime_error(where + ".admins names an unknown operator");
            }
            app.adminIds.emplace_back(id.as_string());
        }
    }
    if (const json::array* integrations = arrayIn(o, "integrations", where)) {
        app.integrations = *integrations;
    }
    if (const json::value* kbValue = o.if_contains("knowledge_base")) {
        const std::string at = where + ".knowledge_base";
        const json::object& kb = objectAt(*kbValue, at);
        KnowledgeBase out;
        out.domain = text(kb, "domain", at, false, app.knowledgeBase.domain);
        out.fullDomain = text(kb, "full_domain", at, false, app.knowledgeBase.fullDomain);
        if (const json::array* categories = arrayIn(kb, "categories", at)) {
            for (const auto& c : *categories) {
                const json::object& co = objectAt(c, at + ".categories[]");
                out.categories.push_back({text(co, "id", at + ".categories[]"),
                                          text(co, "name", at + ".categories[]"),
                                          text(co, "icon", at + ".categories[]", false)});
            }
        }
        if (const json::array* articles = arrayIn(kb, "articles", at)) {
            for (const auto& a : *articles) {
                const std::string aw = at + ".articles[]";
                const json::object& ao = objectAt(a, aw);
                out.articles.push_back(
                    {text(ao, "id", aw), text(ao, "name", aw), text(ao, "description", aw, false),
                     text(ao, "content", aw, false), text(ao, "category_id", aw)});
            }
        }
        app.knowledgeBase = std::move(out);
    }
    if (!store.addApp(std::move(app))) {
        throw std::runtime_error(where + ": api_key or app_id already taken");
    }
}

void seedUser(Store& store, const json::object& o, const std::string& where) {
    User user;
    user.id = text(o, "id", where);
    user.appId = text(o, "app_id", where, false, kDemoAppId);
    user.token = text(o, "token", where);
    user.externalId = text(o, "user_id", where, false);
    if (store.appById(user.appId) == nullptr) {
        throw std::runtime_error(where + ": unknown app_id " + user.appId);
    }
    if (const json::value* props = o.if_contains("props")) {
        user.props = objectAt(*props, where + ".props");
    }
    if (const json::value* banned = o.if_contains("is_banned")) {
        user.isBanned = banned->is_bool() && banned->as_bool();
    }
    store.reserveId(user.id);
    if (!store.addUser(std::move(user))) {
        throw std::runtime_error(where + ": id or token already taken");
    }
}

void seedConversation(Store& store, const json::object& o, const std::string& where) {
    const std::string userId = text(o, "user", where);
    const User* user = store.userById(userId);
    if (user == nullptr) {
        throw std::runtime_error(where + ": unknown user " + userId);
    }
    const json::array* parts = arrayIn(o, "parts", where);
    if (parts == nullptr || parts->empty()) {
        // A conversation without parts has no last part, and clients cannot read it.
        throw std::runtime_error(where + " needs at least one part");
    }
    const std::string id = text(o, "id", where, false);
    if (!id.empty() && store.conversation(id) != nullptr) {
        throw std::runtime_error(where + ": conversation id already taken");
    }
    store.reserveId(id);
    Conversation& conversation =
        store.createConversation(*user, text(o, "type", where, false, "conversation"), id);
    const App* app = store.appById(user->appId);
    for (const auto& item : *parts) {
        const std::string pw = where + ".parts[]";
        const json::object& po = objectAt(item, pw);
        const std::string from = text(po, "from", pw, false, "user");
        Part p;
        p.body = text(po, "body", pw);
        if (from == "user") {
            p.type = text(po, "type", pw, false, "reply_user");
            p.direction = "u2a";
            p.read = true;
            p.sentVia = "sdk";
            p.from = user->id;
        } else if (from == "admin") {
            const std::string adminId =
                text(po, "admin_id", pw, false, app != nullptr ? store.ownerOf(*app).id : "1");
            const Admin* admin = store.admin(adminId);
            if (admin == nullptr) {
                throw std::runtime_error(pw + ": unknown admin_id " + adminId);
            }
            p.type = text(po, "type", pw, false, "reply_admin");
            p.direction = "a2u";
            p.sentVia = "web";
            p.read = po.contains("read") && po.at("read") == json::value(true);
            p.from = adminJson(store, *admin);
        } else {
            throw std::runtime_error(pw + ".from must be \"user\" or \"admin\"");
        }
        store.appendPart(conversation, std::move(p));
    }
}

}  // namespace

App makeApp(Store& store, const AppKeys& keys) {
    App app;
    app.apiKey = keys.apiKey;
    app.appId = keys.appId;
    app.userAuthKey = keys.userAuthKey;
    app.name = keys.name.empty() ? "App " + keys.appId : keys.name;
    app.settings = json::object{
        {"messenger_collapsed_color", "#2c6ef2"},
        {"messenger_avatar", "operator.png"},
        {"messenger_welcome_message", "Hi! Ask us anything, we usually reply within minutes."},
        {"messenger_show_powered_by", true},
        {"messenger_icon_vk_show", true},
        {"messenger_icon_viber_show", false},
        {"messenger_icon_facebook_show", false},
        {"messenger_icon_telegram_show", true},
        {"messenger_icon_vk_text", "Write to us on VK"},
        {"messenger_icon_viber_text", "Write to us on Viber"},
        {"messenger_icon_facebook_text", "Write to us on Messenger"},
        {"messenger_icon_telegram_text", "Write to us on Telegram"},
    };
    app.integrations = defaultAppIntegrations(store);
    app.adminIds = {"1", "2"};
    app.knowledgeBase = defaultKnowledgeBase(store, keys.appId);
    return app;
}

void addDemoData(Store& store) {
    store.addAdmin({"1", "Anna Petrova", "anna.png", "anna@vesk.example"});
    store.addAdmin({"2", "Ivan Sokolov", "ivan.png", "ivan@vesk.example"});
    store.addApp(makeApp(store, {kDemoApiKey, kDemoAppId, kDemoUserAuthKey, "Vesk Demo"}));
    DjangoIntegration calendly;
    calendly.type = "calendly";
    calendly.djangoUserId = "1";
    calendly.settings = json::object{{"calendly_api_key", "dev-calendly-key"}};
    store.addIntegration(std::move(calendly));
    DjangoIntegration zoom;
    zoom.type = "zoom";
    zoom.djangoUserId = "1";
    zoom.settings = json::object{{"code", "dev-zoom-code"}};
    store.addIntegration(std::move(zoom));
}

bool loadSeed(Store& store, const std::string& path, std::string* error) {
    auto report = [&](const std::string& why) {
        if (error != nullptr) {
            *error = "seed " + path + ": " + why;
        }
        return false;
    };
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return report("cannot be read");
    }
    std::ostringstream content;
    content << in.rdbuf();
    json::parse_options options;
    options.allow_comments = true;
    options.allow_trailing_commas = true;
    json::error_code ec;
    const json::value seed = json::parse(content.str(), ec, {}, options);
    if (ec) {
        return report("not JSON: " + ec.message());
    }
    try {
        const json::object& root = objectAt(seed, "the seed");
        if (const json::array* admins = arrayIn(root, "admins", "seed")) {
            for (const auto& a : *admins) {
                const json::object& o = objectAt(a, "admins[]");
                store.addAdmin({text(o, "id", "admins[]"), text(o, "name", "admins[]"),
                                text(o, "avatar", "admins[]", false),
                                text(o, "email", "admins[]", false)});
            }
        }
        if (const json::array* apps = arrayIn(root, "apps", "seed")) {
            for (const auto& a : *apps) {
                seedApp(store, objectAt(a, "apps[]"), "apps[]");
            }
        }
        if (const json::array* users = arrayIn(root, "users", "seed")) {
            for (const auto& u : *users) {
                seedUser(store, objectAt(u, "users[]"), "users[]");
            }
        }
        if (const json::array* conversations = arrayIn(root, "conversations", "seed")) {
            for (const auto& c : *conversations) {
                seedConversation(store, objectAt(c, "conversations[]"), "conversations[]");
            }
        }
        if (const json::array* integrations = arrayIn(root, "django_integrations", "seed")) {
            for (const auto& i : *integrations) {
                const std::string w = "django_integrations[]";
                const json::object& o = objectAt(i, w);
                DjangoIntegration integration;
                integration.id = text(o, "id", w, false);
                integration.type = text(o, "type", w);
                integration.djangoUserId = text(o, "django_user", w);
                if (store.admin(integration.djangoUserId) == nullptr) {
                    throw std::runtime_error(w + ": unknown django_user");
                }
                if (const json::value* s = o.if_contains("settings")) {
                    integration.settings = objectAt(*s, w + ".settings");
                }
                store.reserveId(integration.id);
                store.addIntegration(std::move(integration));
            }
        }
    } catch (const std::exception& e) {
        return report(e.what());
    }
    return true;
}

}  // namespace vesk::dev
