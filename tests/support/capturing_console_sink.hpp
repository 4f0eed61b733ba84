// A console sink that keeps every line, for tests; installed for the life of a
// ScopedConsoleCapture, which puts the previous sink back.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vesk/console.hpp"

namespace vesk::testing {

struct ConsoleRecord {
    std::string subsystem;
    std::string category;
    std::string text;
};

class CapturingConsoleSink final : public ConsoleSink {
public:
    void write(std::string_view subsystem, std::string_view category,
               std::string_view text) override;
    [[nodiscard]] std::vector<ConsoleRecord> lines() const;
    [[nodiscard]] std::vector<ConsoleRecord> lines(std::string_view category) const;

private:
    mutable std::mutex mutex_;
    std::vector<ConsoleRecord> lines_;
};

class ScopedConsoleCapture {
public:
    ScopedConsoleCapture();
    ~ScopedConsoleCapture();
    ScopedConsoleCapture(const ScopedConsoleCapture&) = delete;
    ScopedConsoleCapture& operator=(const ScopedConsoleCapture&) = delete;

    [[nodiscard]] const CapturingConsoleSink& sink() const { return *sink_; }
    [[nodiscard]] std::vector<ConsoleRecord> lines(std::string_view category) const {
        return sink_->lines(category);
    }

private:
    std::shared_ptr<ConsoleSink> previous_;
    std::shared_ptr<CapturingConsoleSink> sink_;
};

}  // namespace vesk::testing
