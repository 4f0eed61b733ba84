#include "ui/resources.hpp"

#include "core/config/bundle_lookup.hpp"
#include "core/config/info_plist.hpp"

namespace vesk {

namespace {

bool isSiblingBrand() {
    return InfoPlist::shared().getValue(InfoPlist::Keys::providerName, AppType::sdk) == "Norra";
}

constexpr double c255(int value) {
    return value / 255.0;
}

// Looked up once in the library's own bundle; "" when it cannot be found.
std::string libraryText(std::string_view key) {
    const auto bundle = config::bundleFor(AppType::sdk, config::LibLookup::ownOnly);
    return bundle ? bundle->localizedString(key, std::nullopt) : std::string();
}

}  // namespace

namespace R::drawable {
std::string chat() {
    return isSiblingBrand() ? "widget-chat-icon-norra" : "widget-chat-icon-vx";
}
std::string logo() {
    return isSiblingBrand() ? "logo_n" : "logo_vx";
}
}  // namespace R::drawable

namespace R::color {

#define VESK_COLOR(name, value)            \
    const Color& name() {                  \
        static const Color kColor = value; \
        return kColor;                     \
    }

VESK_COLOR(placeholder, Color::rgba(0, 0, 0, 0.3))
VESK_COLOR(itemTextColor, Color::rgba(0.2, 0.2, 0.2))
VESK_COLOR(telegramBackground, Color::rgba(c255(23), c255(156), c255(222)))
VESK_COLOR(vkBackground, Color::rgba(c255(81), c255(129), c255(184)))
VESK_COLOR(facebookBackground, Color::rgba(c255(59), c255(89), c255(152)))
VESK_COLOR(viderBackground, Color::rgba(c255(103), c255(92), c255(167)))
VESK_COLOR(disabled, Color::grey(c255(173)))
VESK_COLOR(placeholderTextColor, Color::grey(c255(179)))
VESK_COLOR(gray153153153, Color::fromHexString("999999").value_or(Color::rgba(1, 0, 0)))

#undef VESK_COLOR

const std::optional<Color>& gray179179179() {
    static const std::optional<Color> kColor = Color::fromHexString("B3B3B3");
    return kColor;
}

}  // namespace R::color

namespace R::string {

#define VESK_TEXT(name, key)                               \
    const std::string& name() {                            \
        static const std::string kText = libraryText(key); \
        return kText;                                      \
    }

VESK_TEXT(enterMessage, "vx_sdk.messages.write_message")
VESK_TEXT(vkLabel, "vx_sdk.button.write_us_vkontakte")
VESK_TEXT(viberLabel, "vx_sdk.button.write_us_viber")
VESK_TEXT(telegramLabel, "vx_sdk.button.write_us_telegram")
VESK_TEXT(facebookLabel, "vx_sdk.button.write_us_facebook")
VESK_TEXT(dialogHistory, "vx_sdk.dialogs.title")
VESK_TEXT(dialogsEmpty, "vx_sdk.dialogs.empty")
VESK_TEXT(dialogsEmptyDesc, "vx_sdk.dialogs.empty_details")
VESK_TEXT(rateOperator, "vx_sdk.messages.operator_feedback")
VESK_TEXT(poweredBy, "vx_sdk.powered_by")
VESK_TEXT(disabledInputBar, "Отправка заблокирована")
VESK_TEXT(noInternet, "vx_lib.no_internet")
VESK_TEXT(noInternetDesc, "vx_lib.no_internet_details")
VESK_TEXT(retry, "vx_lib.retry")
VESK_TEXT(somethingWrong, "vx_lib.server_error")
VESK_TEXT(somethingWrongDesc, "vx_lib.server_error_details")

#undef VESK_TEXT

}  // namespace R::string

std::string accentColor(const std::optional<std::string>& messengerColor) {
    if (messengerColor && Color::fromHexString(*messengerColor)) {
        return messengerColor->starts_with('#') ? *messengerColor : '#' + *messengerColor;
    }
    return "#000000";
}

Color mainColor(const std::optional<std::string>& messengerColor) {
    if (messengerColor) {
        if (auto parsed = Color::fromHexString(*messengerColor)) {
            return *parsed;
        }
    }
    return Color::rgba(0, 0, 0);
}

}  // namespace vesk
