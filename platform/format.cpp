#include "platform/format.h"

#include <cstdio>

namespace platform {

std::string hexCode(std::uint32_t code) {
    char buffer[11];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(code));
    return buffer;
}

}  // namespace platform
