// vesk-devserver: the development server as a program. Prints "api <url>" and "realtime <url>"
// once listening, then serves until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "dev_server.hpp"

namespace {

constexpr const char* kUsage =
    "usage: vesk-devserver [--port N] [--host ADDRESS] [--seed FILE.json]\n"
    "                      [--app API_KEY:APP_ID:USER_AUTH_KEY]...\n"
    "                      [--tls-cert CHAIN.pem --tls-key KEY.pem]\n";

int usage(const std::string& problem) {
    std::cerr << "vesk-devserver: " << problem << "\n" << kUsage;
    return 2;
}

bool parsePort(const std::string& text, std::uint16_t& port) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || n > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(n);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    vesk::dev::DevServerOptions options;
    std::string cert, key;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (i + 1 >= argc) {
            return usage("missing value after " + std::string(arg));
        }
        const std::string value = argv[++i];
        if (arg == "--port") {
            if (!parsePort(value, options.port)) {
                return usage("bad port: " + value);
            }
        } else if (arg == "--host") {
            options.host = value;
        } else if (arg == "--seed") {
            options.seedFile = value;
        } else if (arg == "--app") {
            const auto first = value.find(':');
            const auto second = value.find(':', first == std::string::npos ? first : first + 1);
            if (first == std::string::npos || second == std::string::npos) {
                return usage("--app needs API_KEY:APP_ID:USER_AUTH_KEY");
            }
            options.apps.push_back({value.substr(0, first),
                                    value.substr(first + 1, second - first - 1),
                                    value.substr(second + 1),
                                    {}});
        } else if (arg == "--tls-cert") {
            cert = value;
        } else if (arg == "--tls-key") {
            key = value;
        } else {
            return usage("unknown option " + std::string(arg));
        }
    }
    if (cert.empty() != key.empty()) {
        return usage("--tls-cert and --tls-key go together");
    }
    if (!cert.empty()) {
        options.tls = vesk::dev::TlsFiles{cert, key};
    }

    // Block the stop signals before the I/O thread starts so that only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::string error;
    auto server = vesk::dev::DevServer::start(options, &error);
    if (!server) {
        std::cerr << "vesk-devserver: " << error << "\n";
        return 1;
    }
    std::cout << "api " << server->apiBaseUrl() << "\n"
              << "realtime " << server->realtimeBaseUrl() << "\n"
              << std::flush;
    std::cerr << "vesk-devserver: demo app api key \"" << server->demoApiKey() << "\", app id \""
              << server->demoAppId() << "\", user auth key \"" << server->demoUserAuthKey()
              << "\"\n";
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.reset();
    return 0;
}
