// What the server knows before the first request: the ready demo app with its operators,
// integrations and knowledge base, apps added by options, and the optional JSON seed file.
#pragma once

#include <string>

#include "dev_server.hpp"
#include "store.hpp"

namespace vesk::dev {

inline constexpr const char* kDemoApiKey = "demo-api-key";
inline constexpr const char* kDemoAppId = "1001";
inline constexpr const char* kDemoUserAuthKey = "demo-user-auth-key";

// An app with believable messenger settings, app integrations and a small knowledge base.
[[nodiscard]] App makeApp(Store& store, const AppKeys& keys);

// The operators "1" and "2", their Calendly and Zoom integrations, and the demo app.
void addDemoData(Store& store);

// Requires: addDemoData ran (seeded apps may name its operators). False with a reason in *error
// when the file cannot be read or an entry is malformed or clashes with one already known.
[[nodiscard]] bool loadSeed(Store& store, const std::string& path, std::string* error);

}  // namespace vesk::dev
