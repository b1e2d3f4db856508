// Small text forms shared by the tools and messages.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// A 32-bit code (an HRESULT, a status) as "0x" and eight upper-case hex
/// digits: "0x800A017D".
std::string hexCode(std::uint32_t code);

}  // namespace platform
