#include "services/meeting_links.hpp"

#include <re2/re2.h>

#include "vesk/integrations.hpp"

namespace vesk {

namespace links {

// Where a link may start: the start of the text, or a character that is not
// part of a URL. Brackets and quotes that commonly wrap links are allowed.
#define VESK_LINK_START R"((?:^|[^A-Za-z0-9_.~:/?#@!$&*+,;=%-]))"

const char* const kSkypePattern =
    VESK_LINK_START R"((https?:)\/\/(join\.skype\.com)\/?((invite)?\/?([\d\w]+)?)?(?:$|[^\w.:@-]))";
const char* const kHangoutsPattern = VESK_LINK_START
    R"((https?:)\/\/(hangouts\.google\.com)\/(call|hangouts|)\/(_\/calendar\/)?(.+))";
const char* const kWherebyPattern = VESK_LINK_START R"((https?:)\/\/(whereby\.com)\/.+)";
const char* const kGoogleMeetPattern = VESK_LINK_START R"((https?:)\/\/(meet\.google\.com)\/.+)";
// Zoom also serves meetings from regional ("us02web.") and company subdomains.
const char* const kZoomPattern = VESK_LINK_START
    R"(((https?:)\/\/)?((us[0-9]{1,2}web\.)?(?:[A-Za-z0-9-]+\.)*zoom\.us)\/(\w{1})\/(\d*).*)";
const char* const kCalendlyPattern = VESK_LINK_START R"((https?:)\/\/(calendly\.com)\/.+)";

#undef VESK_LINK_START

namespace {

RE2::Options quiet() {
    RE2::Options options;
    options.set_log_errors(false);
    return options;
}

bool search(std::string_view text, const RE2& expression) {
    return expression.ok() && RE2::PartialMatch(text, expression);
}

}  // namespace

bool checkRegExpr(std::string_view text, const std::string& pattern) {
    const RE2 expression(pattern, quiet());
    return search(text, expression);
}

}  // namespace links

// Each pattern is compiled once; matching a const RE2 is thread-safe.
bool isLinkToSkype(std::string_view text) {
    static const RE2 expression(links::kSkypePattern, links::quiet());
    return links::search(text, expression);
}

bool isLinkToHangouts(std::string_view text) {
    static const RE2 expression(links::kHangoutsPattern, links::quiet());
    return links::search(text, expression);
}

bool isLinkToWhereby(std::string_view text) {
    static const RE2 expression(links::kWherebyPattern, links::quiet());
    return links::search(text, expression);
}

bool isLinkToGoToMeeting(std::string_view text) {
    static const RE2 expression(links::kGoogleMeetPattern, links::quiet());
    return links::search(text, expression);
}

bool isLinkToZoom(std::string_view text) {
    static const RE2 expression(links::kZoomPattern, links::quiet());
    return links::search(text, expression);
}

bool isLinkToCalendly(std::string_view text) {
    static const RE2 expression(links::kCalendlyPattern, links::quiet());
    return links::search(text, expression);
}

}  // namespace vesk
