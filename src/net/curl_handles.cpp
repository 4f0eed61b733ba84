#include "net/curl_handles.hpp"

#include <mutex>

namespace vesk::net::detail {

bool ensureCurlInitialised() noexcept {
    static std::once_flag once;
    static CURLcode result = CURLE_FAILED_INIT;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result == CURLE_OK;
}

bool appendLine(Slist& list, const char* line) noexcept {
    curl_slist* head = curl_slist_append(list.get(), line);
    if (head == nullptr) {
        return false;
    }
    static_cast<void>(list.release());
    list.reset(head);
    return true;
}

}  // namespace vesk::net::detail
