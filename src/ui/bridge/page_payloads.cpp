#include "ui/bridge/page_payloads.hpp"

#include <re2/re2.h>

#include <utility>

namespace vesk {
namespace {

JsonValue member(const char* key, JsonValue value) {
    return JsonValue(JsonObject{{key, std::move(value)}});
}

// The whole string value, escapes included: a pattern that stopped at the first
// quote would stop inside a value holding \" and leave the rest of it outside any
// string, where a script would run it.
const RE2& localePattern() {
    static const RE2 pattern = [] {
        RE2::Options options;
        options.set_encoding(RE2::Options::EncodingLatin1);
        options.set_log_errors(false);
        return RE2(R"re("locale":"(?:[^"\\]|\\.)*")re", options);
    }();
    return pattern;
}

}  // namespace

std::string settingsText(const Messenger& messenger) {
    return messenger.connectData->encode();
}

std::string localizedSettingsText(const Messenger& messenger,
                                  const std::optional<std::string>& providerName,
                                  const std::optional<std::string>& languageCode) {
    std::string text;
    if (providerName && messenger.connectData->isObject()) {
        JsonValue data = *messenger.connectData;
        data.append("provider_name", JsonValue(*providerName));
        text = data.encode();
    } else {
        text = settingsText(messenger);
    }
    const std::string replacement =
        std::string(R"("locale":")") + (languageCode == "ru" ? "ru" : "en") + "\"";
    RE2::GlobalReplace(&text, localePattern(), replacement);
    return text;
}

JsonValue conversationUpdateJson(const Dialog& dialog) {
    const Message& last = dialog.partLast;
    const Admin& admin = dialog.lastAdmin;
    JsonArray partLast{member("body", JsonValue(last.body)),
                       member("body_json", last.bodyJson.value_or(JsonValue())),
                       member("type", JsonValue(last.type))};
    JsonArray lastAdmin{member("avatar", JsonValue(admin.avatar.value_or(std::string()))),
                        member("name", JsonValue(admin.name.value_or("Unknown admin name")))};
    return JsonValue(JsonArray{member("parts_count", JsonValue(dialog.partsCount)),
                               member("unread_parts_count", JsonValue(dialog.unreadPartsCount)),
                               member("last_update", JsonValue(dialog.lastUpdate)),
                               member("part_last", JsonValue(std::move(partLast))),
                               member("last_admin", JsonValue(std::move(lastAdmin)))});
}

JsonValue messageStatusJson(std::string_view status) {
    return JsonValue(JsonArray{member("status", JsonValue(status))});
}

}  // namespace vesk
