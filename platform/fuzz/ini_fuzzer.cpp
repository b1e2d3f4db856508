// The INI engine over arbitrary files and names. The input is
// section NUL key NUL value NUL file bytes. Every write that is not refused
// for its names must read back exactly, must not change when done again,
// and must keep the value through a write of another key.
#include "platform/ini.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string_view nextPart(std::string_view& rest) {
    const std::size_t end = rest.find('\0');
    const std::string_view part = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return part;
}

bool refused(std::string_view section, std::string_view key, std::string_view value) {
    auto lineBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (lineBreak(section) || lineBreak(key) || lineBreak(value)) return true;
    const std::size_t b = key.find_first_not_of(" \t");
    const std::string_view trimmed = b == std::string_view::npos ? std::string_view() : key.substr(b);
    return trimmed.find('=') != std::string_view::npos || (!trimmed.empty() && trimmed.front() == '[');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view section = nextPart(rest);
    const std::string_view key = nextPart(rest);
    const std::string_view value = nextPart(rest);
    const std::string_view file = rest;

    if (const auto found = platform::profileValueIn(file, section, key)) {
        volatile std::size_t sink = platform::cp932Width(*found);
        (void)sink;
    }
    const auto written = platform::profileWithValue(file, section, key, value);
    if (!written) {
        if (!refused(section, key, value)) __builtin_trap();
        return 0;
    }
    if (refused(section, key, value)) __builtin_trap();
    if (platform::profileValueIn(*written, section, key) != value) __builtin_trap();
    if (platform::profileWithValue(*written, section, key, value) != *written) __builtin_trap();

    // Another key of the same section leaves this one as it was.
    const std::string otherKey = std::string(key) + "#2";
    const auto both = platform::profileWithValue(*written, section, otherKey, "2");
    if (!both) __builtin_trap();
    if (platform::profileValueIn(*both, section, key) != value) __builtin_trap();
    if (platform::profileValueIn(*both, section, otherKey) != "2") __builtin_trap();
    return 0;
}
