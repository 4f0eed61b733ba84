// Diagnostic lines, written through the installed ConsoleSink.
//
// Threading: thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

class SystemConsole {
  public:
    static SystemConsole& shared();

    // One line at debug level; the subsystem is the host's bundle identifier
    // ("Bundle identifier" of the main bundle) or "Vesk".
    void write(std::string_view text, std::string_view category) const;
    // "--------------------" + text + "--------------------".
    void writeSeparator(std::string_view text, std::string_view category) const;
};

namespace SystemData {
// The part of `name` before its first "(", or all of it.
std::string functionNameByStrippingParameters(std::string_view name);
}  // namespace SystemData

}  // namespace vesk
