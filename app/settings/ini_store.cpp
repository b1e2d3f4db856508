#include "app/settings/ini_store.h"

#include "app/settings/settings_write_report.h"
#include "app/util/paths.h"
#include "app/util/storage_location.h"
#include "platform/ini.h"

#include <cerrno>
#include <unordered_map>

namespace mirofoto {
namespace {

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

using KeyValues = std::vector<std::pair<std::string, std::string>>;

bool writeValues(std::string_view section, const KeyValues& keyValues, std::string_view file, int& error) {
    errno = 0;
    const bool ok = platform::writeProfileStrings(section, keyValues, file);
    error = errno;
    return ok;
}

std::string writeEscaped(std::string_view section, const KeyValues& escaped, std::string_view file) {
    int error = 0;
    if (writeValues(section, escaped, file, error)) return "1";
    // A text that cannot be one line is refused by design; the file system
    // did not fail.
    if (hasLineBreak(section)) return "0";
    for (const auto& [key, value] : escaped)
        if (hasLineBreak(key) || hasLineBreak(value)) return "0";
    // Files the user chose (album settings files) report through their
    // command; the program's own settings through the failure report.
    const StorageLocation at = storageLocation();
    if (!file.starts_with(at.settingsFolder)) return "0";
    // The user's settings folder is made by the first write into it.
    if (GetParentPath(file) + "/" == at.settingsFolder && !FolderExists(at.settingsFolder) &&
        ensureSettingsFolder(at) && writeValues(section, escaped, file, error))
        return "1";
    noteSettingsWriteFailure(file, error);
    return "0";
}

}  // namespace

std::string ReadIniValue(std::string_view section, std::string_view key, std::int16_t bufferSize,
                         std::string_view file) {
    return CutAtNul(platform::readProfileString(section, EscapeIniKey(key), "", bufferSize, file));
}

std::string WriteIniValue(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view file) {
    return writeEscaped(section, {{EscapeIniKey(key), std::string(value)}}, file);
}

std::string WriteIniValues(std::string_view section, const KeyValues& keyValues, std::string_view file) {
    KeyValues escaped;
    escaped.reserve(keyValues.size());
    for (const auto& [key, value] : keyValues) escaped.emplace_back(EscapeIniKey(key), value);
    return writeEscaped(section, escaped, file);
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

std::string storedKeyForm(std::string_view key) {
    std::string out = EscapeIniKey(key);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!out.empty() && blank(out.back())) out.pop_back();
    std::size_t start = 0;
    while (start < out.size() && blank(out[start])) ++start;
    out.erase(0, start);
    // Only ASCII letters fold: the bytes of other characters are at 0x80
    // and above in UTF-8, and a CP932 file never folds a trail byte.
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::vector<std::vector<std::size_t>> keysSharingStorage(const std::vector<std::string>& keys) {
    std::unordered_map<std::string, std::vector<std::size_t>> byForm;
    for (std::size_t i = 0; i < keys.size(); ++i) byForm[storedKeyForm(keys[i])].push_back(i);
    std::vector<std::vector<std::size_t>> shared(keys.size());
    for (const auto& [form, positions] : byForm) {
        if (positions.size() < 2) continue;
        for (const std::size_t i : positions)
            for (const std::size_t j : positions)
                if (i != j) shared[i].push_back(j);
    }
    return shared;
}

std::string CutAtNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

std::string readWholeIniValue(std::string_view section, std::string_view key, std::string_view file) {
    return CutAtNul(platform::readProfileValue(section, EscapeIniKey(key), file).value_or(""));
}

}  // namespace mirofoto
