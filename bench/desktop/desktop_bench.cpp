// The chat on the desktop as a user feels it, in the real engine (WebKitGTK
// under a display), on the in-process development server over loopback. Each
// figure stands beside a baseline measured in the same run, samples alternating:
//
// Opening: from `openChat` to the first operator message in the DOM of a
// conversation of 200 operator messages, beside a bare WebKitWebView (in the
// chat's network session) in a window of the same size loading the same page
// and filled by one script with the same 200 messages.
//
// A reply: from the development server sending an operator's reply on the
// real-time channel to its message in the DOM (a MutationObserver in the page
// posts it to this process), beside the floor: an `addMessages` script of one
// message evaluated in the bare view, to the same observer's post.
//
// Memory: resident set of this process (the library, GTK, the server) and of
// the web processes, with the chat open, beside the bare view alone.
//
// A flood: the server sends 10,000 operator replies at once into the open chat,
// to the last of them in the DOM, beside the floor: the same number of messages
// in one `addMessages` script evaluated in the bare view. A tenth of the flood
// goes first, so that growth faster than the flood's size shows.
//
// Usage: vesk_desktop_bench [openings per side, default 10] [replies per side, default 100]
//                           [flood, default 10000]
#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dev_server.hpp"
#include "engine_support.hpp"
#include "vesk/chat.hpp"
#include "vesk/configuration.hpp"
#include "vesk/gtk/gtk_platform.hpp"
#include "vesk/gtk/main_context_executor.hpp"
#include "vesk/json_value.hpp"
#include "vesk/runtime.hpp"
#include "vesk/vesk.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr int kConversationSize = 200;
constexpr const char* kHandler = "veskBench";

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

bool waitFor(const std::function<bool()>& fact, std::chrono::milliseconds deadline = 30s) {
    return vesk::gtk::engine::runUntil(fact, deadline);
}

constexpr auto eval = &vesk::gtk::engine::evaluate;

// Resident and proportional set sizes of a process, in MiB.
struct Memory {
    double rss = 0;
    double pss = 0;
};

Memory memoryOf(pid_t pid) {
    Memory m;
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string key;
    double kb = 0;
    std::string unit;
    while (in >> key) {
        if (key == "Rss:" && in >> kb >> unit) {
            m.rss = kb / 1024;
        } else if (key == "Pss:" && in >> kb >> unit) {
            m.pss = kb / 1024;
        }
    }
    return m;
}

// The web processes running for this process (its descendants, sandboxed or not).
std::set<pid_t> webProcesses() {
    std::map<pid_t, pid_t> parent;
    std::map<pid_t, std::string> name;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string dir = entry.path().filename();
        if (dir.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto open = line.find('(');
        const auto close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 > line.size()) {
            continue;
        }
        const pid_t pid = std::stoi(dir);
        name[pid] = line.substr(open + 1, close - open - 1);
        parent[pid] = std::atoi(line.c_str() + close + 4);
    }
    std::set<pid_t> found;
    for (const auto& [pid, comm] : name) {
        if (comm.rfind("WebKitWebProces", 0) != 0) {
            continue;
        }
        for (pid_t up = parent[pid]; up > 1; up = parent[up]) {
            if (up == getpid()) {
                found.insert(pid);
                break;
            }
        }
    }
    return found;
}

Memory sum(const std::set<pid_t>& pids) {
    Memory total;
    for (const pid_t pid : pids) {
        const Memory m = memoryOf(pid);
        total.rss += m.rss;
        total.pss += m.pss;
    }
    return total;
}

// Posts each message's text added to the page to this process, with the time it came.
class Observer {
  public:
    explicit Observer(WebKitWebView* view) : view_(view) {
        WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view);
        g_signal_connect(manager, (std::string("script-message-received::") + kHandler).c_str(),
                         G_CALLBACK(&Observer::onMessage), this);
        webkit_user_content_manager_register_script_message_handler(manager, kHandler, nullptr);
    }
    ~Observer() {
        WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view_);
        webkit_user_content_manager_unregister_script_message_handler(manager, kHandler, nullptr);
        g_signal_handlers_disconnect_by_data(manager, this);
    }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    // Starts watching the page that is loaded now.
    bool watch() const {
        return eval(view_, R"((() => {
  new MutationObserver((records) => {
    for (const record of records) {
      for (const node of record.addedNodes) {
        if (!(node instanceof Element)) continue;
        const rows = node.matches('[data-message-id]') ? [node] : node.querySelectorAll('[data-message-id]');
        for (const row of rows) {
          const text = row.querySelector('.vesk-text');
          if (text) window.webkit.messageHandlers.veskBench.postMessage(text.textContent);
        }
      }
    }
  }).observe(document.body, { childList: true, subtree: true });
  return true;
})())") == "true";
    }
    // When `text` was seen, if it was.
    [[nodiscard]] std::optional<Clock::time_point> seen(const std::string& text) const {
        const auto found = seen_.find(text);
        return found == seen_.end() ? std::nullopt : std::optional(found->second);
    }

    // How many messages were added since the page was watched, and when the last came.
    [[nodiscard]] std::size_t count() const { return count_; }
    [[nodiscard]] Clock::time_point last() const { return last_; }

  private:
    static void onMessage(WebKitUserContentManager* /*manager*/, JSCValue* value, gpointer data) {
        auto* self = static_cast<Observer*>(data);
        char* text = jsc_value_to_string(value);
        const auto now = Clock::now();
        self->seen_.emplace(text != nullptr ? text : "", now);
        g_free(text);
        ++self->count_;
        self->last_ = now;
    }

    WebKitWebView* view_;
    std::map<std::string, Clock::time_point> seen_;
    std::size_t count_ = 0;
    Clock::time_point last_;
};

const char* kFirstOperatorMessage =
    "Array.from(document.querySelectorAll('[data-message-id][data-type=\"reply_admin\"] "
    ".vesk-text')).some(e => e.textContent.startsWith('Reply '))";

// The 200 messages of the conversation as the page takes them.
std::string entitiesOf(const std::string& conversation) {
    vesk::JsonArray list;
    const vesk::JsonObject from{{"id", std::string("1")},
                                {"type", std::string("admin")},
                                {"name", std::string("Anna")},
                                {"avatar", vesk::JsonValue()}};
    for (int i = 1; i <= kConversationSize; ++i) {
        list.emplace_back(vesk::JsonObject{{"id", std::to_string(1000 + i)},
                                           {"random_id", vesk::JsonValue()},
                                           {"body", "Reply " + std::to_string(i)},
                                           {"type", std::string("reply_admin")},
                                           {"created", 1765000000 + i},
                                           {"direction", std::string("a2u")},
                                           {"read", true},
                                           {"sent_via", vesk::JsonValue()},
                                           {"reply_type", vesk::JsonValue()},
                                           {"from", from},
                                           {"conversation", conversation},
                                           {"body_json", vesk::JsonValue()},
                                           {"meta_data", vesk::JsonValue()},
                                           {"attachments", vesk::JsonArray{}},
                                           {"status", std::string("")}});
    }
    return vesk::JsonValue(std::move(list)).encode();
}

}  // namespace

// A window of the chat window's size showing the conversation page in a bare
// view, filled by one script with the conversation's messages.
class BareView {
  public:
    BareView(WebKitNetworkSession* session, const std::string& url)
        : window_(GTK_WINDOW(gtk_window_new())),
          view_(WEBKIT_WEB_VIEW(
              g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session, nullptr))) {
        gtk_window_set_default_size(window_, 400, 640);
        gtk_window_set_child(window_, GTK_WIDGET(view_));
        g_signal_connect(view_, "load-changed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                             if (event == WEBKIT_LOAD_FINISHED) {
                                 *static_cast<bool*>(data) = true;
                             }
                         }),
                         &loaded_);
        gtk_window_present(window_);
        webkit_web_view_load_uri(view_, url.c_str());
    }
    ~BareView() { gtk_window_destroy(window_); }
    BareView(const BareView&) = delete;
    BareView& operator=(const BareView&) = delete;

    // Once loaded, the init call and the messages in one script, as the library sends them.
    bool fill(const std::string& entities) {
        return waitFor([this] { return loaded_; }) &&
               eval(view_,
                    "window.webView.initDialogue({appSettings: {locale: 'en'}, "
                    "unstructuredMessagesData: []}); window.webView.addMessages(" +
                        entities + "); true") == "true";
    }
    [[nodiscard]] WebKitWebView* view() const { return view_; }

  private:
    GtkWindow* window_;
    WebKitWebView* view_;
    bool loaded_ = false;
};

struct World {
    std::unique_ptr<vesk::dev::DevServer> server;
    std::shared_ptr<vesk::gtk::GtkChatPlatform> platform;
    std::string userId;
    std::string conversation;
    bool listed = false;
    vesk::ChatSubscription listing;
    WebKitNetworkSession* session = nullptr;
    std::string pageUrl;
};

bool start(World& w) {
    vesk::gtk::prepareEnvironment();
    gtk_init();
    std::string error;
    w.server = vesk::dev::DevServer::start({}, &error);
    if (!w.server) {
        std::fprintf(stderr, "server: %s\n", error.c_str());
        return false;
    }
    vesk::DeploymentValues values;
    values.apiUrl = w.server->apiBaseUrl();
    values.wssUrl = w.server->realtimeBaseUrl();
    values.widgetUrl = w.server->baseUrl();
    vesk::configure(values);
    std::string dir =
        (std::filesystem::temp_directory_path() / "vesk-desktop-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        return false;
    }
    vesk::setDataDirectory(dir);
    vesk::setMainExecutor(std::make_shared<vesk::gtk::MainContextExecutor>());
    GtkWidget* host = gtk_window_new();
    gtk_window_set_default_size(GTK_WINDOW(host), 900, 700);
    GtkWidget* overlay = gtk_overlay_new();
    gtk_overlay_set_child(GTK_OVERLAY(overlay), gtk_label_new("The host's page"));
    gtk_window_set_child(GTK_WINDOW(host), overlay);
    w.platform = std::make_shared<vesk::gtk::GtkChatPlatform>(vesk::gtk::GtkPlatformOptions{
        GTK_WINDOW(host), std::make_shared<vesk::gtk::HostView>(GTK_OVERLAY(overlay)),
        [](const std::string&) {}});
    vesk::setChatPlatform(w.platform);
    gtk_window_present(GTK_WINDOW(host));

    std::optional<std::string> outcome;
    auto& vesk = vesk::Vesk::shared();
    vesk.setup(
        w.server->demoApiKey(), [&outcome] { outcome = ""; },
        [&outcome](const std::string& e) { outcome = "setup: " + e; });
    if (!waitFor([&outcome] { return outcome.has_value(); }) || !outcome->empty()) {
        return false;
    }
    outcome.reset();
    vesk.auth(
        "bench-user", w.server->demoUserAuthKey(), [&outcome] { outcome = ""; },
        [&outcome](const std::string& e) { outcome = "auth: " + e; });
    if (!waitFor([&outcome] { return outcome.has_value(); }) || !outcome->empty()) {
        std::fprintf(stderr, "%s\n", outcome.value_or("no answer").c_str());
        return false;
    }
    w.userId = vesk::gtk::engine::serverIdOf(*w.server, "bench-user");
    if (w.userId.empty() ||
        !waitFor([&w] { return w.server->realtimeSocketCount(w.userId) > 0; })) {
        return false;
    }
    w.listing = vesk.chat().onConversations([&w](const std::vector<vesk::ChatConversation>& list) {
        for (const auto& c : list) {
            w.listed = w.listed || c.id == w.conversation;
        }
    });
    w.conversation = w.server->sendPopupChat(w.userId, "Welcome");
    if (w.conversation.empty() ||
        w.server->publishReplies(w.userId, w.conversation, kConversationSize - 1) !=
            kConversationSize - 1 ||
        !waitFor([&w] { return w.listed; })) {
        return false;
    }
    w.pageUrl = w.server->baseUrl() + "external-widget/0.4.0/ios/";
    return true;
}

WebKitWebView* chatPage(const World& w) {
    return w.platform->webView(vesk::PageMode::messages);
}

bool openChat(const World& w) {
    vesk::Vesk::shared().openChat();
    return waitFor([&w] {
        WebKitWebView* page = chatPage(w);
        return page != nullptr && eval(page, kFirstOperatorMessage) == "true";
    });
}

bool closeChat(const World& w) {
    vesk::Vesk::shared().closeChat();
    return waitFor([&w] { return w.platform->chatWindow() == nullptr && chatPage(w) == nullptr; });
}

bool openBare(std::unique_ptr<BareView>& bare, const World& w, const std::string& entities) {
    bare = std::make_unique<BareView>(w.session, w.pageUrl);
    return bare->fill(entities) &&
           waitFor([&bare] { return eval(bare->view(), kFirstOperatorMessage) == "true"; });
}

// What the last step left for the main loop is done before the next step.
void settle() {
    while (g_main_context_pending(nullptr)) {
        g_main_context_iteration(nullptr, FALSE);
    }
}

void printMemory(const char* what, const std::set<pid_t>& before) {
    std::set<pid_t> added;
    const auto now = webProcesses();
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                        std::inserter(added, added.begin()));
    const Memory self = memoryOf(getpid());
    const Memory web = sum(added);
    std::printf(
        "memory %-10s this process rss %.0f MiB pss %.0f MiB; %zu new web process(es) "
        "rss %.0f MiB pss %.0f MiB\n",
        what, self.rss, self.pss, added.size(), web.rss, web.pss);
}

int main(int argc, char** argv) {
    const int openings = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int replies = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    const int flood = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10000;
    World w;
    if (!start(w)) {
        std::fprintf(stderr, "setup failed (is there a display? run under xvfb-run)\n");
        return 1;
    }
    const std::string entities = entitiesOf(w.conversation);
    std::unique_ptr<BareView> bare;
    // The bare view shares the chat's network session, and so its web processes.
    if (!openChat(w)) {
        std::fprintf(stderr, "the chat did not open\n");
        return 1;
    }
    w.session =
        WEBKIT_NETWORK_SESSION(g_object_ref(webkit_web_view_get_network_session(chatPage(w))));
    closeChat(w);

    // Memory, each alone.
    settle();
    const Memory idle = memoryOf(getpid());
    std::printf("memory %-10s this process rss %.0f MiB pss %.0f MiB\n", "idle", idle.rss,
                idle.pss);
    auto before = webProcesses();
    if (!openBare(bare, w, entities)) {
        std::fprintf(stderr, "the bare view did not fill\n");
        return 1;
    }
    settle();
    printMemory("bare view", before);
    bare.reset();
    settle();
    before = webProcesses();
    if (!openChat(w)) {
        std::fprintf(stderr, "the chat did not open\n");
        return 1;
    }
    settle();
    printMemory("chat open", before);
    closeChat(w);
    settle();

    // Opening, alternating.
    std::vector<double> chatOpen;
    std::vector<double> bareOpen;
    for (int i = 0; i < openings; ++i) {
        auto t0 = Clock::now();
        if (!openChat(w)) {
            std::fprintf(stderr, "the chat did not open\n");
            return 1;
        }
        chatOpen.push_back(Millis(Clock::now() - t0).count());
        closeChat(w);
        settle();
        t0 = Clock::now();
        if (!openBare(bare, w, entities)) {
            std::fprintf(stderr, "the bare view did not fill\n");
            return 1;
        }
        bareOpen.push_back(Millis(Clock::now() - t0).count());
        bare.reset();
        settle();
    }

    // Replies, alternating, both open.
    if (!openChat(w) || !openBare(bare, w, entities)) {
        std::fprintf(stderr, "no pages for the replies\n");
        return 1;
    }
    Observer chat(chatPage(w));
    Observer floor(bare->view());
    if (!chat.watch() || !floor.watch()) {
        std::fprintf(stderr, "no observers\n");
        return 1;
    }
    std::vector<double> chatReply;
    std::vector<double> floorReply;
    for (int i = 0; i < replies; ++i) {
        const std::string text = "Bench reply " + std::to_string(i);
        auto t0 = Clock::now();
        w.server->operatorReply(w.conversation, text);
        if (!waitFor([&] { return chat.seen(text).has_value(); }, 10s)) {
            std::fprintf(stderr, "reply %d never shown\n", i);
            return 1;
        }
        chatReply.push_back(Millis(*chat.seen(text) - t0).count());

        const std::string floorText = "Floor reply " + std::to_string(i);
        auto entity = vesk::JsonObject{
            {"id", "floor-" + std::to_string(i)}, {"body", floorText},
            {"type", std::string("reply_admin")}, {"direction", std::string("a2u")},
            {"created", 1766000000 + i},          {"status", std::string("")}};
        const std::string script =
            "window.webView.addMessages([" + vesk::JsonValue(std::move(entity)).encode() + "])";
        t0 = Clock::now();
        webkit_web_view_evaluate_javascript(bare->view(), script.c_str(),
                                            static_cast<gssize>(script.size()), nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
        if (!waitFor([&] { return floor.seen(floorText).has_value(); }, 10s)) {
            std::fprintf(stderr, "floor reply %d never shown\n", i);
            return 1;
        }
        floorReply.push_back(Millis(*floor.seen(floorText) - t0).count());
    }

    // Floods: the server's replies all at once into the open chat, beside the same number of
    // messages in one script into the bare view; a tenth of the flood first, to show the growth.
    const auto floodChat = [&](int n) -> std::optional<double> {
        const std::size_t shown = chat.count();
        const auto t0 = Clock::now();
        if (w.server->publishReplies(w.userId, w.conversation, static_cast<std::size_t>(n)) !=
                static_cast<std::size_t>(n) ||
            !waitFor([&] { return chat.count() >= shown + static_cast<std::size_t>(n); }, 600s)) {
            return std::nullopt;
        }
        return Millis(chat.last() - t0).count();
    };
    const auto floodFloor = [&](int n) -> std::optional<double> {
        vesk::JsonArray list;
        for (int i = 0; i < n; ++i) {
            list.emplace_back(
                vesk::JsonObject{{"id", "flood-" + std::to_string(n) + "-" + std::to_string(i)},
                                 {"body", "Flood " + std::to_string(i)},
                                 {"type", std::string("reply_admin")},
                                 {"direction", std::string("a2u")},
                                 {"created", 1767000000 + i},
                                 {"status", std::string("")}});
        }
        const std::string script =
            "window.webView.addMessages(" + vesk::JsonValue(std::move(list)).encode() + ")";
        const std::size_t shown = floor.count();
        const auto t0 = Clock::now();
        webkit_web_view_evaluate_javascript(bare->view(), script.c_str(),
                                            static_cast<gssize>(script.size()), nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
        if (!waitFor([&] { return floor.count() >= shown + static_cast<std::size_t>(n); }, 600s)) {
            return std::nullopt;
        }
        return Millis(floor.last() - t0).count();
    };
    std::vector<std::pair<int, std::pair<double, double>>> floods;
    for (const int n : {std::max(1, flood / 10), flood}) {
        settle();
        const auto inChat = floodChat(n);
        settle();
        const auto inFloor = floodFloor(n);
        if (!inChat || !inFloor) {
            std::fprintf(stderr, "the flood of %d never all shown\n", n);
            return 1;
        }
        floods.emplace_back(n, std::pair(*inChat, *inFloor));
    }

    const auto spread = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return std::pair(v.front(), v[v.size() * 9 / 10]);
    };
    std::printf(
        "opening   %d per side: chat %.0f ms (min %.0f, p90 %.0f); bare view %.0f ms "
        "(min %.0f, p90 %.0f); ratio %.2f\n",
        openings, median(chatOpen), spread(chatOpen).first, spread(chatOpen).second,
        median(bareOpen), spread(bareOpen).first, spread(bareOpen).second,
        median(chatOpen) / median(bareOpen));
    std::printf(
        "reply     %d per side: chat %.2f ms (min %.2f, p90 %.2f); floor %.2f ms "
        "(min %.2f, p90 %.2f)\n",
        replies, median(chatReply), spread(chatReply).first, spread(chatReply).second,
        median(floorReply), spread(floorReply).first, spread(floorReply).second);
    for (const auto& [n, times] : floods) {
        std::printf(
            "flood     %d live replies: chat %.0f ms; floor (one script) %.0f ms; "
            "ratio %.1f\n",
            n, times.first, times.second, times.first / times.second);
    }
    return 0;
}
