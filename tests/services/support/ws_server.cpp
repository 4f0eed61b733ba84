// The WebSocket test server is shared with the net tests.
#include "tests/net/support/ws_server.cpp"  // NOLINT(bugprone-suspicious-include)
