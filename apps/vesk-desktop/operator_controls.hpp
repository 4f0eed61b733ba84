// The operator's side of the demo: commands that drive the development
// server's operator controls (/_dev/operator/...) for the user of the host.
//
// Threading: GTK main thread (requests are made there, over loopback).
#pragma once

#include <string>

namespace vesk::desktop {

class OperatorControls {
  public:
    // `serverUrl`: the development server ("http://127.0.0.1:PORT/");
    // `hostUserId`: the host's id of the user the operator talks to.
    OperatorControls(std::string serverUrl, std::string hostUserId);

    // Runs one command line; what happened, for the console.
    std::string run(const std::string& line);

    static const char* const kUsage;

  private:
    std::string post(const std::string& path, const std::string& json);
    std::string userId();
    std::string conversationId();

    std::string serverUrl_;
    std::string hostUserId_;
    std::string userId_;
};

}  // namespace vesk::desktop
