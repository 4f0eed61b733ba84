#include "tests/support/capturing_console_sink.hpp"

#include "core/console_line.hpp"

namespace vesk::testing {

void CapturingConsoleSink::write(std::string_view subsystem, std::string_view category,
                                 std::string_view text) {
    std::lock_guard lock(mutex_);
    lines_.push_back({std::string(subsystem), std::string(category), std::string(text)});
}

std::vector<ConsoleRecord> CapturingConsoleSink::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<ConsoleRecord> CapturingConsoleSink::lines(std::string_view category) const {
    std::lock_guard lock(mutex_);
    std::vector<ConsoleRecord> matching;
    for (const auto& line : lines_) {
        if (line.category == category) {
            matching.push_back(line);
        }
    }
    return matching;
}

ScopedConsoleCapture::ScopedConsoleCapture()
    : previous_(currentConsoleSink()), sink_(std::make_shared<CapturingConsoleSink>()) {
    setConsoleSink(sink_);
}

ScopedConsoleCapture::~ScopedConsoleCapture() { setConsoleSink(previous_); }

}  // namespace vesk::testing
