// How request parameters become query strings and form bodies.
#pragma once

#include "net/url_encoding.hpp"
#include "services/network/vesk_target.hpp"

namespace vesk {

// Keys sorted; nested objects as key[sub]; arrays as key[]; booleans as 1/0;
// numbers in their plain text; null as an empty value. The HTTP client then
// percent-encodes every name and value.
net::Parameters flattenParameters(const Parameters& parameters);

}  // namespace vesk
