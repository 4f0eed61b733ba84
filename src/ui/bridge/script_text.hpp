// Text inserted into a script the page evaluates. Whatever it holds, inserted text
// stays one JavaScript value: it never ends a string early, never ends a line in
// older engines (U+2028, U+2029), never closes a surrounding <script> element, and
// is valid UTF-8.
//
// Threading: pure functions; call from any thread.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

// `text` as a JSON string literal in double quotes, with "<", U+2028 and U+2029
// escaped as \uXXXX and each byte that is not UTF-8 read as U+FFFD. Reads back as
// `text` with the project's JSON parser when `text` is UTF-8.
[[nodiscard]] std::string scriptStringLiteral(std::string_view text);

// A JSON text made safe the same way; its value is unchanged.
// Requires: `json` is a JSON text (the encoding of a JsonValue).
[[nodiscard]] std::string scriptSafeJson(std::string_view json);

}  // namespace vesk
