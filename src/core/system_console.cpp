#include "core/system_console.hpp"

#include "core/config/info_plist.hpp"
#include "core/console_line.hpp"

namespace vesk {

SystemConsole& SystemConsole::shared() {
    static SystemConsole instance;
    return instance;
}

void SystemConsole::write(std::string_view text, std::string_view category) const {
    const auto sink = currentConsoleSink();
    if (!sink) {
        return;
    }
    const auto subsystem =
        InfoPlist::shared().getValue(InfoPlist::Keys::bundleIdentifier, AppType::app);
    sink->write(subsystem ? std::string_view(*subsystem) : std::string_view("Vesk"), category,
                text);
}

void SystemConsole::writeSeparator(std::string_view text, std::string_view category) const {
    static constexpr std::string_view kRule = "--------------------";
    std::string line;
    line.reserve(text.size() + 2 * kRule.size());
    line.append(kRule).append(text).append(kRule);
    write(line, category);
}

std::string SystemData::functionNameByStrippingParameters(std::string_view name) {
    return std::string(name.substr(0, name.find('(')));
}

}  // namespace vesk
