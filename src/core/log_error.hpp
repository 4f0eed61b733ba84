// An error carrying a dated, located diagnostic text.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace vesk {

class LogError {
  public:
    // "yyyy-MM-dd HH:mm:ss.SSS <file stem>.<function> line:<n> - <message>".
    LogError(std::string_view message, std::string_view file, std::string_view function, long line,
             std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

    [[nodiscard]] const std::string& message() const noexcept { return message_; }

  private:
    std::string message_;
};

}  // namespace vesk
