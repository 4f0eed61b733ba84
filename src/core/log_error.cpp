#include "core/log_error.hpp"

#include <array>
#include <cstdio>
#include <ctime>

#include "core/system_console.hpp"

namespace vesk {

namespace {

std::string timestamp(std::chrono::system_clock::time_point now) {
    const auto seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    std::array<char, 32> date{};
    std::strftime(date.data(), date.size(), "%Y-%m-%d %H:%M:%S", &local);
    std::array<char, 48> out{};
    std::snprintf(out.data(), out.size(), "%s.%03d", date.data(), static_cast<int>(millis));
    return out.data();
}

}  // namespace

LogError::LogError(std::string_view message, std::string_view file, std::string_view function,
                   long line, std::chrono::system_clock::time_point now) {
    auto name = file.substr(
        file.find_last_of('/') == std::string_view::npos ? 0 : file.find_last_of('/') + 1);
    name = name.substr(0, name.find('.'));
    message_ = timestamp(now) + " " + std::string(name) + "." +
               SystemData::functionNameByStrippingParameters(function) +
               " line:" + std::to_string(line) + " - " + std::string(message);
}

}  // namespace vesk
