// Owning wrappers for libcurl's C handles; internal to the net layer.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace vesk::net::detail {

struct EasyDeleter {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const noexcept { curl_multi_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
struct MimeDeleter {
    void operator()(curl_mime* mime) const noexcept { curl_mime_free(mime); }
};

using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;
using Mime = std::unique_ptr<curl_mime, MimeDeleter>;

// Initialises libcurl once per process, safely from any thread. Never undone:
// the library may be used until the process exits.
// Returns false when libcurl could not be initialised.
bool ensureCurlInitialised() noexcept;

// Appends `line` to `list`; on failure `list` is left as it was.
[[nodiscard]] bool appendLine(Slist& list, const char* line) noexcept;

}  // namespace vesk::net::detail
