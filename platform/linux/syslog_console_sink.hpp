// The default console sink: the system log at debug level, ident = the subsystem,
// each line "<category>: <text>".
//
// syslog keeps the ident pointer given to openlog, so idents are interned for the life
// of the process. The ident is process-wide: a host that logs to syslog under its own
// ident should install its own sink.
//
// Threading: any thread.
#pragma once

#include <string_view>

#include "vesk/console.hpp"

namespace vesk {

class SyslogConsoleSink final : public ConsoleSink {
public:
    void write(std::string_view subsystem, std::string_view category,
               std::string_view text) override;
};

// A C string equal to `ident` (up to its first NUL) that stays valid until the process
// ends; equal idents give the same pointer. After many distinct idents, "Vesk".
const char* internSyslogIdent(std::string_view ident);

}  // namespace vesk
