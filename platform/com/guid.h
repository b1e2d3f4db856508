// GUID text forms for C++ code ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}").
#pragma once

#include "platform/com/com.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform::com {

/// The braced upper-case form, as the registry stores it.
std::string guidToString(const GUID& guid);
/// Parses the braced form (either letter case); nothing for any other text.
std::optional<GUID> parseGuid(std::string_view text);

}  // namespace platform::com
