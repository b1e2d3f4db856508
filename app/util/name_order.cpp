#include "app/util/name_order.h"

#include "platform/codepage.h"

#include <algorithm>

namespace mirofoto {
namespace {

char16_t foldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

}  // namespace

int compareNames(std::string_view a, std::string_view b) {
    // Names that are not UTF-8 compare by their escapes, so two such names
    // never count as equal.
    const std::u16string ua = platform::pathToUtf16(a);
    const std::u16string ub = platform::pathToUtf16(b);
    const std::size_t n = std::min(ua.size(), ub.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t ca = foldAscii(ua[i]), cb = foldAscii(ub[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (ua.size() != ub.size()) return ua.size() < ub.size() ? -1 : 1;
    // Equal but for letter case: a fixed tie-break keeps the order stable.
    const int tie = ua.compare(ub);
    return tie < 0 ? -1 : (tie > 0 ? 1 : 0);
}

void sortNames(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return nameLess(a, b); });
}

}  // namespace mirofoto
