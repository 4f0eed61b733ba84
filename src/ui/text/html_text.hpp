// The plain text of an HTML document or fragment.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk::text {

// Reads `html` as an HTML document (UTF-8) and returns its text: character references
// decoded, tags dropped, white space collapsed as a browser does (kept inside <pre> and
// <textarea>), a line break for <br> and around block elements (p, div, li, headings,
// rows...), a tab between table cells, nothing from head, script, style and template;
// surrounding white space removed. Absent only when the parser fails.
//
// A document nested deeper than 256 elements is read flat (tags dropped, breaks kept), so
// hostile markup costs linear time.
[[nodiscard]] std::optional<std::string> htmlEncodedString(std::string_view html);

}  // namespace vesk::text
