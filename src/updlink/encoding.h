// Text helpers of the server dialogue that need no machine: query values
// and the figures the server writes.
#pragma once

#include <string>
#include <string_view>

namespace updlink {

// Percent-encodes the bytes that would break or rewrite a query: space and
// control bytes, "&", "#", "%", "+", DEL and every non-ASCII byte. Anything
// else passes unchanged.
std::string EncodeQueryValue(std::string_view value);
// The decimal figure at the start of `text` after blanks, saturating; 0 when none.
int LeadingInt(std::string_view text);

}  // namespace updlink
