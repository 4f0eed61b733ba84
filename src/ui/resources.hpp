// The resource catalogue: image names by brand, fixed colours and the
// library's localized texts. Values are made once, on first use.
//
// Threading: thread-safe.
#pragma once

#include <optional>
#include <string>

#include "ui/color.hpp"

namespace vesk::R {

namespace drawable {
// "Norra" as the configured provider name picks the sibling brand's images.
std::string chat();
std::string logo();
}  // namespace drawable

namespace color {
const Color& placeholder();
const Color& itemTextColor();
const Color& telegramBackground();
const Color& vkBackground();
const Color& facebookBackground();
const Color& viderBackground();
const Color& disabled();
const Color& placeholderTextColor();
const std::optional<Color>& gray179179179();
const Color& gray153153153();
}  // namespace color

namespace string {
const std::string& enterMessage();
const std::string& vkLabel();
const std::string& viberLabel();
const std::string& telegramLabel();
const std::string& facebookLabel();
const std::string& dialogHistory();
const std::string& dialogsEmpty();
const std::string& dialogsEmptyDesc();
const std::string& rateOperator();
const std::string& poweredBy();
const std::string& disabledInputBar();
const std::string& noInternet();
const std::string& noInternetDesc();
const std::string& retry();
const std::string& somethingWrong();
const std::string& somethingWrongDesc();
}  // namespace string

}  // namespace vesk::R

namespace vesk {
// The messenger's colour setting parsed alpha-first; black when there is no
// setting or it does not parse.
Color mainColor(const std::optional<std::string>& messengerColor);
// The same as "#" and the setting's text, as views take it; "#000000" for black.
std::string accentColor(const std::optional<std::string>& messengerColor);
}  // namespace vesk
