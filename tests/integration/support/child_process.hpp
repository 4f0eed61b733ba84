// A program run by a test: lines written to its stdin, lines read from its
// stdout with a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vesk::testing {

class ChildProcess {
  public:
    // Starts `program` with `args`; stderr stays the test's.
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    // Closes its stdin and waits for it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void writeLine(const std::string& line);
    // The next line, or none when the program ended or `timeout` passed.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Reads lines until one satisfies `wanted` (returned), or none by `timeout`.
    std::optional<std::string> readUntil(const std::function<bool(const std::string&)>& wanted,
                                         std::chrono::milliseconds timeout);

    // Every line read so far, for failure messages.
    [[nodiscard]] const std::vector<std::string>& transcript() const { return transcript_; }

  private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffer_;
    std::vector<std::string> transcript_;
};

}  // namespace vesk::testing
