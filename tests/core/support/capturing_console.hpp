// Captures console lines for the lifetime of the object.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vesk/console.hpp"

namespace vesk::test {

class CapturingConsole {
public:
    struct Line {
        std::string subsystem, category, text;
    };

    CapturingConsole() : sink_(std::make_shared<Sink>()) { setConsoleSink(sink_); }
    ~CapturingConsole() { setConsoleSink(nullptr); }
    CapturingConsole(const CapturingConsole&) = delete;
    CapturingConsole& operator=(const CapturingConsole&) = delete;

    [[nodiscard]] std::vector<Line> lines() const {
        std::lock_guard lock(sink_->mutex);
        return sink_->lines;
    }

private:
    struct Sink : ConsoleSink {
        void write(std::string_view subsystem, std::string_view category,
                   std::string_view text) override {
            std::lock_guard lock(mutex);
            lines.push_back({std::string(subsystem), std::string(category), std::string(text)});
        }
        mutable std::mutex mutex;
        std::vector<Line> lines;
    };
    std::shared_ptr<Sink> sink_;
};

}  // namespace vesk::test
