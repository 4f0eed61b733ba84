// The push tests share the app tests' fixture: a development server on loopback
// and the library's runtime on the test thread.
#include "tests/app/support/session_fixture.cpp"  // NOLINT(bugprone-suspicious-include)
