// The conversation screen's two costs that grow with a conversation.
//
// Opening: median time from opening the chat on a conversation of 1,000
// messages (in the in-process development server) to the page's first
// `addMessages` script, beside the median time to fetch and decode the page
// of messages that opening loads, alone. Samples alternate between the two.
//
// A reply: median time from an operator reply reaching the conversation's
// repository to the page's script for it, with 100 and with 10,000 messages
// shown. The sizes alternate too.
//
// The toolkit is a stand-in that keeps no scripts and loads pages at once.
//
// Usage: vesk_chat_screens_bench [samples per side, default 200]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/in_memory_key_value_store.hpp"
#include "net/http_client.hpp"
#include "services/conversation_service.hpp"
#include "services/user_service.hpp"
#include "tests/support/api_endpoint.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "tools/devserver/dev_server.hpp"
#include "ui/sdk_flow.hpp"
#include "usecases/conversation_requests.hpp"
#include "vesk/executor.hpp"

namespace {

using namespace vesk;
using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

// A page that loads at once (on the next turn) and reports each script.
class BenchPage final : public WebPage {
  public:
    BenchPage(Executor& executor, std::function<void(const std::string&)> seen)
        : executor_(executor), seen_(std::move(seen)) {}
    void setListener(std::weak_ptr<WebPageListener> listener) override { listener_ = listener; }
    void load(const std::string&, std::chrono::milliseconds) override {
        executor_.post([listener = listener_] {
            if (auto l = listener.lock()) {
                l->didFinishLoading();
            }
        });
    }
    void evaluateScript(const std::string& script) override { seen_(script); }

  private:
    Executor& executor_;
    std::function<void(const std::string&)> seen_;
    std::weak_ptr<WebPageListener> listener_;
};

class BenchInput final : public InputBar {
  public:
    void setListener(std::weak_ptr<InputBarListener>) override {}
    void setEnabled(bool) override {}
    void setText(const std::string&) override {}
};

class BenchWindow final : public ChatWindow {
  public:
    explicit BenchWindow(Executor& executor) : executor_(executor) {}
    void setListener(std::weak_ptr<ChatWindowListener> listener) override { listener_ = listener; }
    void present() override {}
    void dismiss() override {}
    void push(ChatScreenEntry entry, bool) override { appear(entry.screen); }
    void pop(bool) override {}
    void setScreens(std::vector<ChatScreenEntry> entries) override {
        if (!entries.empty()) {
            appear(entries.back().screen);
        }
    }
    void showOverlay(const OverlayContent&) override {}
    void showScreenOverlay(ChatScreen, const OverlayContent&) override {}
    void setNavigationBar(const NavigationBarContent&) override {}
    void setAccentColor(const std::string&) override {}
    void showActivity(bool) override {}
    void showActionSheet(const std::vector<SheetAction>&) override {}
    std::shared_ptr<InputBar> inputBar() override { return input_; }
    void openFile(const std::filesystem::path&) override {}
    void openImages(const std::vector<std::string>&, std::size_t) override {}
    void openUrl(const std::string&) override {}

  private:
    void appear(ChatScreen screen) {
        executor_.post([listener = listener_, screen] {
            if (auto l = listener.lock()) {
                l->screenAppeared(screen);
            }
        });
    }
    Executor& executor_;
    std::weak_ptr<ChatWindowListener> listener_;
    std::shared_ptr<InputBar> input_ = std::make_shared<BenchInput>();
};

class BenchPlatform final : public ChatPlatform {
  public:
    explicit BenchPlatform(Executor& executor) : executor_(executor) {}
    std::shared_ptr<ChatWindow> createChatWindow() override {
        return std::make_shared<BenchWindow>(executor_);
    }
    std::shared_ptr<WebPage> createWebPage(PageMode mode) override {
        return std::make_shared<BenchPage>(executor_, [this, mode](const std::string& script) {
            if (mode == PageMode::messages && onScript) {
                onScript(script);
            }
        });
    }
    std::function<void(const std::string&)> onScript;

  private:
    Executor& executor_;
};

// The chat's screens of one library instance, on `loop`.
struct Screens {
    Screens(RunLoop& loop, ApiEndpointPtr api, NetworkSettingsPtr connection)
        : settings(std::move(connection)),
          ctx({store, scheduler.get(), std::move(api), [this] { return settings; }, std::nullopt}),
          platform(loop),
          downloads(loop, std::make_shared<net::HttpClient>(loop), store,
                    std::filesystem::temp_directory_path() / "vesk-bench-downloads"),
          deps{.conversations = ctx,
               .screen = screen,
               .scheduler = *scheduler,
               .steps = steps,
               .platform = platform,
               .downloads = downloads,
               .widgetUrl = "https://widget.test",
               .providerName = std::nullopt,
               .languageCode = [] { return std::optional<std::string>("en"); },
               .isReachable = [] { return true; },
               .reachable = rx::just(true),
               .userId = [] { return std::string("user"); },
               .trackEvent = nullptr,
               .setUserProperty = nullptr,
               .outbox = outbox} {
        Messenger messenger;
        messenger.appId = "app";
        messenger.connectData = SharedJson(JsonValue(JsonObject{{"locale", JsonValue("en")}}));
        ctx.messenger.messenger.accept(messenger);
    }

    // Opens the chat on `conversation` and runs `loop` until `done`.
    void open(RunLoop& loop, const std::string& conversation, const std::function<bool()>& done) {
        ctx.currentState.dialogId.onNext(conversation);
        flow = SdkFlow::open(deps, [] {});
        loop.runUntil(done, std::chrono::seconds(30));
    }
    void close(RunLoop& loop) {
        steps.accept(SdkStep::of(SdkStep::Kind::closeChat));
        flow.reset();
        loop.runPending();
    }

    std::shared_ptr<VirtualScheduler> scheduler = std::make_shared<VirtualScheduler>();
    std::shared_ptr<InMemoryKeyValueStore> store = std::make_shared<InMemoryKeyValueStore>();
    NetworkSettingsPtr settings;
    ConversationContext ctx;
    ScreenState screen;
    rx::PublishRelay<Step> steps;
    BenchPlatform platform;
    DownloadService downloads;
    Outbox outbox{ctx, [] { return std::string("user"); }};
    ChatDependencies deps;
    std::shared_ptr<SdkFlow> flow;
};

template <class T>
T await(RunLoop& loop, const rx::Observable<T>& source) {
    std::optional<T> out;
    rx::DisposeBag bag;
    bag.add(source.subscribe([&](const T& v) { out = v; }));
    loop.runUntil([&] { return out.has_value(); }, std::chrono::seconds(30));
    if (!out) {
        std::fprintf(stderr, "no answer\n");
        std::exit(1);
    }
    return *out;
}

Message operatorReply(std::size_t i) {
    Message m;
    m.id = "op-" + std::to_string(i);
    m.body = "An operator's answer of ordinary length, a sentence or two long.";
    m.type = "reply_admin";
    m.created = 1700000000 + static_cast<std::int64_t>(i);
    m.direction = "a2u";
    m.replyType = "text";
    m.from = JsonValue(JsonObject{{"id", JsonValue("7")}, {"name", JsonValue("Anna")}});
    m.conversation = "c1";
    return m;
}

void benchOpening(int samples) {
    std::string error;
    auto server = dev::DevServer::start({}, &error);
    if (!server) {
        std::fprintf(stderr, "server: %s\n", error.c_str());
        std::exit(1);
    }
    RunLoop loop;
    loop.runPending();
    const auto api = testing::endpointAt(server->apiBaseUrl(), loop);
    const auto session =
        await(loop, UserService(api, nullptr).connect(server->demoApiKey(), "1.0"));
    const auto& [user, app] = *session.success();
    const auto settings = std::make_shared<const NetworkSettings>(
        NetworkSettings::ConnectionType::sdk, user.token.value_or(""), app.appId, user.id);
    const auto started = await(loop, ConversationService(api, settings).start("Hello"));
    const std::string conversation = started.success()->data.id;
    server->publishReplies(user.id, conversation, 999);

    Screens screens(loop, api, settings);
    std::vector<double> fetch;
    std::vector<double> open;
    for (int i = 0; i < samples; ++i) {
        {
            screens.ctx.currentState.paginatePosition.reset();
            const auto start = Clock::now();
            const auto page =
                await(loop, rx::just(conversation) | loadMessagesUseCase(screens.ctx));
            fetch.push_back(Micros(Clock::now() - start).count());
            if (!page || page->data.empty()) {
                std::fprintf(stderr, "no page\n");
                std::exit(1);
            }
        }
        {
            bool filled = false;
            screens.platform.onScript = [&](const std::string& script) {
                filled = filled || script.starts_with("window.webView.addMessages(");
            };
            const auto start = Clock::now();
            screens.open(loop, conversation, [&] { return filled; });
            open.push_back(Micros(Clock::now() - start).count());
            screens.platform.onScript = nullptr;
            screens.close(loop);
            if (!filled) {
                std::fprintf(stderr, "no fill\n");
                std::exit(1);
            }
        }
    }
    const double f = median(fetch);
    const double o = median(open);
    std::printf(
        "opening on 1,000 messages: fetch+decode %.0f us, open to first fill %.0f us, "
        "ratio %.2f (target <= 2)\n",
        f, o, o / f);
}

void benchReply(int samples) {
    RunLoop loop;
    loop.runPending();
    const auto api = testing::endpointWithoutClient();
    std::vector<double> perSize[2];
    const std::size_t sizes[2] = {100, 10000};
    std::unique_ptr<Screens> screens[2];
    std::size_t next[2] = {0, 0};
    for (int s = 0; s < 2; ++s) {
        screens[s] = std::make_unique<Screens>(loop, api, nullptr);
        bool ready = false;
        screens[s]->platform.onScript = [&ready](const std::string& script) {
            ready = ready || script.starts_with("window.webView.initDialogue(");
        };
        screens[s]->open(loop, "c1", [&ready] { return ready; });
        std::vector<Message> shown;
        for (std::size_t i = 0; i < sizes[s]; ++i) {
            shown.push_back(operatorReply(i));
        }
        screens[s]->ctx.messages.repository("c1").add(shown);
        next[s] = sizes[s];
    }
    for (int i = 0; i < samples; ++i) {
        for (int s = 0; s < 2; ++s) {
            bool shown = false;
            screens[s]->platform.onScript = [&](const std::string& script) {
                shown = shown || script.starts_with("window.webView.addMessages(");
            };
            const auto reply = operatorReply(next[s]++);
            const auto start = Clock::now();
            screens[s]->ctx.messages.repository("c1").add({reply});
            perSize[s].push_back(Micros(Clock::now() - start).count());
            if (!shown) {
                std::fprintf(stderr, "reply not shown\n");
                std::exit(1);
            }
        }
    }
    const double small = median(perSize[0]);
    const double large = median(perSize[1]);
    std::printf(
        "one reply: %.1f us at 100 shown, %.1f us at 10,000 shown, ratio %.2f "
        "(target <= 1.5)\n",
        small, large, large / small);
    for (auto& s : screens) {
        s->close(loop);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    benchOpening(samples);
    benchReply(samples * 10);
    return 0;
}
