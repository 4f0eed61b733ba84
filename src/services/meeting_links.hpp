// Recognition of links to meeting and booking services (the predicates are
// declared in vesk/integrations.hpp).
//
// Each pattern is searched anywhere in the text, so a link among other words
// counts. A link counts only where it starts: at the start of the text or
// after a character that cannot be part of a URL (a blank, an emoji, most
// brackets), so "notzoom.us/j/1" or "https://x.example/zoom.us/j/1" are not
// Zoom links; the host must end where the service's host ends.
// Threading: pure functions; the compiled patterns are immutable.
#pragma once

#include <string>
#include <string_view>

namespace vesk::links {

// Whether `pattern` (RE2 syntax, no options) finds a match anywhere in `text`;
// false when the pattern does not compile.
bool checkRegExpr(std::string_view text, const std::string& pattern);

extern const char* const kSkypePattern;
extern const char* const kHangoutsPattern;
extern const char* const kWherebyPattern;
extern const char* const kGoogleMeetPattern;
extern const char* const kZoomPattern;
extern const char* const kCalendlyPattern;

}  // namespace vesk::links
