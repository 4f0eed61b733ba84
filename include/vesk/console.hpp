// Where the library's diagnostic lines go.
//
// Threading: `write` may be called from any thread; a sink must be thread-safe.
#pragma once

#include <memory>
#include <string_view>

namespace vesk {

class ConsoleSink {
  public:
    virtual ~ConsoleSink() = default;

    // One diagnostic line. `subsystem` is the host's bundle identifier (or "Vesk"),
    // `category` names the caller (e.g. "VeskPush").
    virtual void write(std::string_view subsystem, std::string_view category,
                       std::string_view text) = 0;
};

// Replaces the sink every console line goes to (default: syslog at debug level).
// Passing nullptr silences the console.
void setConsoleSink(std::shared_ptr<ConsoleSink> sink);

}  // namespace vesk
