#include "app/settings/ini_store.h"

#include "platform/ini.h"

namespace mirofoto {

std::string ReadIniValue(std::string_view section, std::string_view key, std::int16_t bufferSize,
                         std::string_view file) {
    return CutAtNul(platform::readProfileString(section, EscapeIniKey(key), "", bufferSize, file));
}

std::string WriteIniValue(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view file) {
    return platform::writeProfileString(section, EscapeIniKey(key), value, file) ? "1" : "0";
}

std::string EscapeIniKey(std::string_view key) {
    std::string out(key);
    for (char& c : out) {
        if (c == '=') c = ':';
        else if (c == '[') c = '<';
        else if (c == ']') c = '>';
    }
    return out;
}

std::string CutAtNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

std::string readWholeIniValue(std::string_view section, std::string_view key, std::string_view file) {
    return CutAtNul(platform::readProfileValue(section, EscapeIniKey(key), file).value_or(""));
}

}  // namespace mirofoto
