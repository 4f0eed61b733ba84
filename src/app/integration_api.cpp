// The public reads of the knowledge base and the app's integrations: each runs
// on the main executor with the settings SdkApp holds at that moment, through a
// service built for that one request.
#include <exception>
#include <memory>
#include <utility>

#include "app/runtime.hpp"
#include "app/sdk_app.hpp"
#include "core/api_error.hpp"
#include "core/config/bundle_lookup.hpp"
#include "services/app_service.hpp"
#include "services/knowledge_base_service.hpp"
#include "vesk/integrations.hpp"
#include "vesk/knowledge_base.hpp"

namespace vesk {

namespace {

constexpr const char* kNoConnection = "The library has no connection yet: set it up first";

template <class T>
using Handler = std::function<void(const ApiResult<T>&)>;

// Subscriptions of requests in flight; touched on the main executor only and
// kept for the process, as the facade's are.
rx::DisposeBag& inFlight() {
    static auto* bag = new rx::DisposeBag();
    return *bag;
}

std::string describe(const UIRepresentableError& error) {
    switch (error.kind()) {
        case UIRepresentableError::Case::custom:
        case UIRepresentableError::Case::debug:
            if (!error.text().empty()) {
                return error.text();
            }
            break;
        case UIRepresentableError::Case::noInternet: {
            const auto& bundle = SdkApp::shared().bundle;
            return localize("vx_lib.no_internet", AppType::lib, bundle ? &*bundle : nullptr);
        }
        case UIRepresentableError::Case::empty:
            break;
    }
    return "Unknown error";
}

std::string describe(const Error& error) {
    // An ApiError's description is a lookup in the host's strings, often empty.
    if (error.description.empty() && !error.apiPayload.empty()) {
        return error.apiPayload;
    }
    return error.description.empty() ? std::string("Unknown error") : error.description;
}

// Calls `handler` at most once, whichever path gets there first.
template <class T>
std::function<void(ApiResult<T>)> once(Handler<T> handler) {
    auto called = std::make_shared<bool>(false);
    return [handler = std::move(handler), called](ApiResult<T> result) {
        if (*called) {
            return;
        }
        *called = true;
        if (handler) {
            handler(result);
        }
    };
}

// Posts `start(settings, reply)` to the main executor; without settings the reply
// is the no-connection error. The handler never runs before the call returns.
template <class T, class Start>
void onMain(Handler<T> handler, Start start) {
    Runtime::shared().executor()->post(
        [reply = once<T>(std::move(handler)), start = std::move(start)]() mutable {
            try {
                const auto settings = SdkApp::shared().networkSetting.value();
                if (!settings) {
                    reply(ApiResult<T>::failure(kNoConnection));
                    return;
                }
                start(settings, reply);
            } catch (const std::exception& e) {
                reply(ApiResult<T>::failure(e.what()));
            }
        });
}

// One Result of an envelope: its data as the value, the error's text otherwise.
template <class T>
void deliver(const rx::Observable<Result<Response<T>>>& stream,
             const std::function<void(ApiResult<T>)>& reply) {
    inFlight().insert(stream.subscribe(
        [reply](const Result<Response<T>>& result) {
            if (const auto* response = result.success()) {
                reply(ApiResult<T>::success(response->data));
            } else {
                reply(ApiResult<T>::failure(describe(*result.error())));
            }
        },
        [reply](const Error& error) { reply(ApiResult<T>::failure(describe(error))); },
        [reply] { reply(ApiResult<T>::failure("No reply")); }));
}

// An id that goes into a URL path must stay one segment: no separators, no
// dot segments, no escapes or placeholders that the provider would expand.
bool isPathSegment(const std::string& id) {
    if (id.empty() || id == "." || id == "..") {
        return false;
    }
    for (const char raw : id) {
        const auto c = static_cast<unsigned char>(raw);
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == '?' || c == '#' || c == '%' ||
            c == '{' || c == '}') {
            return false;
        }
    }
    return true;
}

}  // namespace

void VeskKnowledgeBase::getSettings(Handler<KnowledgeBaseSettings> handler) {
    onMain<KnowledgeBaseSettings>(std::move(handler),
                                  [](const NetworkSettingsPtr& settings, const auto& reply) {
                                      deliver(KnowledgeBaseService(settings).getSettings(), reply);
                                  });
}

void VeskKnowledgeBase::getCategories(Handler<std::vector<KnowledgeBaseCategory>> handler) {
    onMain<std::vector<KnowledgeBaseCategory>>(
        std::move(handler), [](const NetworkSettingsPtr& settings, const auto& reply) {
            deliver(KnowledgeBaseService(settings).getCategories(), reply);
        });
}

void VeskKnowledgeBase::getArticles(const std::string& categoryId,
                                    Handler<std::vector<KnowledgeBaseArticle>> handler) {
    onMain<std::vector<KnowledgeBaseArticle>>(
        std::move(handler), [categoryId](const NetworkSettingsPtr& settings, const auto& reply) {
            deliver(KnowledgeBaseService(settings).getArticles(categoryId), reply);
        });
}

void VeskKnowledgeBase::getArticle(const std::string& articleId,
                                   Handler<KnowledgeBaseArticle> handler) {
    onMain<KnowledgeBaseArticle>(
        std::move(handler), [articleId](const NetworkSettingsPtr& settings, const auto& reply) {
            if (!isPathSegment(articleId)) {
                reply(ApiResult<KnowledgeBaseArticle>::failure("Invalid article id: " + articleId));
                return;
            }
            deliver(KnowledgeBaseService(settings).getArticle(articleId), reply);
        });
}

void VeskKnowledgeBase::search(const std::string& text,
                               Handler<std::vector<KnowledgeBaseArticle>> handler) {
    onMain<std::vector<KnowledgeBaseArticle>>(
        std::move(handler), [text](const NetworkSettingsPtr& settings, const auto& reply) {
            deliver(KnowledgeBaseService(settings).search(text), reply);
        });
}

void VeskIntegrations::getAppIntegrations(Handler<std::vector<AppIntegration>> handler) {
    using Items = std::vector<AppIntegration>;
    onMain<Items>(std::move(handler), [](const NetworkSettingsPtr& settings, const auto& reply) {
        inFlight().insert(AppService(settings).getAppIntegrations().subscribe(
            [reply](const AppIntegrationsContainer& container) {
                reply(ApiResult<Items>::success(container.items));
            },
            [reply](const Error& error) { reply(ApiResult<Items>::failure(describe(error))); },
            [reply] { reply(ApiResult<Items>::failure("No reply")); }));
    });
}

}  // namespace vesk
