// The public reads of the knowledge base and the app's integrations: each runs
// on its instance's main executor with the settings the runtime context holds
// at that moment, through a service built for that one request.
#include <exception>
#include <memory>
#include <utility>

#include "app/library.hpp"
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

std::string describe(const UIRepresentableError& error, const std::optional<Bundle>& bundle) {
    switch (error.kind()) {
        case UIRepresentableError::Case::custom:
        case UIRepresentableError::Case::debug:
            if (!error.text().empty()) {
                return error.text();
            }
            break;
        case UIRepresentableError::Case::noInternet:
            return localize("vx_lib.no_internet", AppType::lib, bundle ? &*bundle : nullptr);
        case UIRepresentableError::Case::empty:
            break;
    }
    return "Unknown error";
}

std::string describe(const Error& error) {
    // An ApiError's description is a lookup in the host's strings, often empty.
    if (error.description.empty() && error.apiError && !error.apiError->payload().empty()) {
        return error.apiError->payload();
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

// Posts `start(library, settings, reply)` to the instance's main executor;
// without settings the reply is the no-connection error. The handler never
// runs before the call returns, nor once the instance is gone.
template <class T, class Start>
void onMain(const std::weak_ptr<Library>& weak, Handler<T> handler, Start start) {
    const auto library = weak.lock();
    if (!library) {
        return;
    }
    library->post([reply = once<T>(std::move(handler)), start = std::move(start)](Library& lib) {
        try {
            const auto settings = lib.sdkApp.networkSetting.value();
            if (!settings) {
                reply(ApiResult<T>::failure(kNoConnection));
                return;
            }
            start(lib, settings, reply);
        } catch (const std::exception& e) {
            reply(ApiResult<T>::failure(e.what()));
        }
    });
}

// One Result of an envelope: its data as the value, the error's text otherwise.
template <class T>
void deliver(Library& library, const rx::Observable<Result<Response<T>>>& stream,
             const std::function<void(ApiResult<T>)>& reply) {
    library.requests.add([&library, &stream, reply](const InFlight::Done& done) {
        return stream.subscribe(
            [&library, reply, done](const Result<Response<T>>& result) {
                done();
                if (const auto* response = result.success()) {
                    reply(ApiResult<T>::success(response->data));
                } else {
                    reply(ApiResult<T>::failure(describe(*result.error(), library.sdkApp.bundle)));
                }
            },
            [reply, done](const Error& error) {
                done();
                reply(ApiResult<T>::failure(describe(error)));
            },
            [reply, done] {
                done();
                reply(ApiResult<T>::failure("No reply"));
            });
    });
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
    onMain<KnowledgeBaseSettings>(
        library_, std::move(handler),
        [](Library& lib, const NetworkSettingsPtr& settings, const auto& reply) {
            deliver(lib, KnowledgeBaseService(lib.api, settings).getSettings(), reply);
        });
}

void VeskKnowledgeBase::getCategories(Handler<std::vector<KnowledgeBaseCategory>> handler) {
    onMain<std::vector<KnowledgeBaseCategory>>(
        library_, std::move(handler),
        [](Library& lib, const NetworkSettingsPtr& settings, const auto& reply) {
            deliver(lib, KnowledgeBaseService(lib.api, settings).getCategories(), reply);
        });
}

void VeskKnowledgeBase::getArticles(const std::string& categoryId,
                                    Handler<std::vector<KnowledgeBaseArticle>> handler) {
    onMain<std::vector<KnowledgeBaseArticle>>(
        library_, std::move(handler),
        [categoryId](Library& lib, const NetworkSettingsPtr& settings, const auto& reply) {
            deliver(lib, KnowledgeBaseService(lib.api, settings).getArticles(categoryId), reply);
        });
}

void VeskKnowledgeBase::getArticle(const std::string& articleId,
                                   Handler<KnowledgeBaseArticle> handler) {
    onMain<KnowledgeBaseArticle>(
        library_, std::move(handler),
        [articleId](Library& lib, const NetworkSettingsPtr& settings, const auto& reply) {
            if (!isPathSegment(articleId)) {
                reply(ApiResult<KnowledgeBaseArticle>::failure("Invalid article id: " + articleId));
                return;
            }
            deliver(lib, KnowledgeBaseService(lib.api, settings).getArticle(articleId), reply);
        });
}

void VeskKnowledgeBase::search(const std::string& text,
                               Handler<std::vector<KnowledgeBaseArticle>> handler) {
    onMain<std::vector<KnowledgeBaseArticle>>(
        library_, std::move(handler),
        [text](Library& lib, const NetworkSettingsPtr& settings, const auto& reply) {
            deliver(lib, KnowledgeBaseService(lib.api, settings).search(text), reply);
        });
}

void VeskIntegrations::getAppIntegrations(Handler<std::vector<AppIntegration>> handler) {
    using Items = std::vector<AppIntegration>;
    onMain<Items>(library_, std::move(handler),
                  [](Library& lib, const NetworkSettingsPtr& settings, const auto& reply) {
                      lib.requests.add([&lib, &settings, reply](const InFlight::Done& done) {
                          return AppService(lib.api, settings)
                              .getAppIntegrations()
                              .subscribe(
                                  [reply, done](const AppIntegrationsContainer& container) {
                                      done();
                                      reply(ApiResult<Items>::success(container.items));
                                  },
                                  [reply, done](const Error& error) {
                                      done();
                                      reply(ApiResult<Items>::failure(describe(error)));
                                  },
                                  [reply, done] {
                                      done();
                                      reply(ApiResult<Items>::failure("No reply"));
                                  });
                      });
                  });
}

}  // namespace vesk
