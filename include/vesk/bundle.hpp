// Bundles: an identifier, an information dictionary and localized string tables.
//
// The host describes its application with a main bundle (its identifier goes
// under "Bundle identifier"), may hand the library a resource bundle with
// `Vesk::setBundle`, and may override the library's deployment values (API,
// real-time and files URLs, app-group id) without recompiling: see
// configuration.hpp.
//
// Threading: a Bundle is a value; the registry functions are thread-safe.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vesk/json_value.hpp"

namespace vesk {

class Bundle {
  public:
    using StringTable = std::map<std::string, std::string, std::less<>>;

    explicit Bundle(std::string identifier) : identifier_(std::move(identifier)) {}

    [[nodiscard]] const std::string& identifier() const noexcept { return identifier_; }

    // The information dictionary; a bundle may have none at all.
    [[nodiscard]] const JsonObject* infoDictionary() const { return info_ ? &*info_ : nullptr; }
    void setInfo(std::string key, JsonValue value);
    void setInfoDictionary(JsonObject info) { info_ = std::move(info); }

    // Adds (or replaces) the strings of one language, e.g. "en", "ru".
    void setStrings(std::string language, StringTable table);

    // The text for `key` in the preferred language (falling back to the
    // bundle's first language when it has none for the preferred one). A key
    // the table lacks yields `defaultValue`, or the key itself without one.
    [[nodiscard]] std::string localizedString(std::string_view key,
                                              std::optional<std::string_view> defaultValue) const;

  private:
    std::string identifier_;
    std::optional<JsonObject> info_;
    std::map<std::string, StringTable, std::less<>> strings_;
};

// The host application's main bundle; none until the host sets one.
void setMainBundle(std::optional<Bundle> bundle);
std::shared_ptr<const Bundle> mainBundle();

// Makes a bundle findable by its identifier (replacing one with the same id).
void registerBundle(Bundle bundle);
std::shared_ptr<const Bundle> findBundle(std::string_view identifier);

// The language localized lookups prefer: "en", "ru", ... Defaults to the
// language of LANGUAGE / LC_ALL / LC_MESSAGES / LANG, else "en".
void setPreferredLanguage(std::string language);
std::string preferredLanguage();

}  // namespace vesk
