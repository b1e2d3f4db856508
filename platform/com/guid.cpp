#include "platform/com/guid.h"

#include "platform/com/bstr.h"

#include <cstdio>

namespace platform::com {

std::string guidToString(const GUID& g) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                  g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
    return buffer;
}

std::optional<GUID> parseGuid(std::string_view s) {
    // {8-4-4-4-12}: 38 characters with the braces.
    if (s.size() != 38 || s.front() != '{' || s.back() != '}') return std::nullopt;
    if (s[9] != '-' || s[14] != '-' || s[19] != '-' || s[24] != '-') return std::nullopt;
    auto hexValue = [&](std::size_t pos, std::size_t count, unsigned long long& out) {
        out = 0;
        for (std::size_t i = pos; i < pos + count; ++i) {
            const char c = s[i];
            int v;
            if (c >= '0' && c <= '9') v = c - '0';
            else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
            else return false;
            out = out * 16 + unsigned(v);
        }
        return true;
    };
    GUID g{};
    unsigned long long v;
    if (!hexValue(1, 8, v)) return std::nullopt;
    g.Data1 = static_cast<DWORD>(v);
    if (!hexValue(10, 4, v)) return std::nullopt;
    g.Data2 = static_cast<WORD>(v);
    if (!hexValue(15, 4, v)) return std::nullopt;
    g.Data3 = static_cast<WORD>(v);
    const std::size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!hexValue(bytePos[i], 2, v)) return std::nullopt;
        g.Data4[i] = static_cast<BYTE>(v);
    }
    return g;
}

}  // namespace platform::com

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < 39) return 0;
    const std::string text = platform::com::guidToString(rguid);
    for (std::size_t i = 0; i < text.size(); ++i) lpsz[i] = static_cast<OLECHAR>(text[i]);
    lpsz[text.size()] = 0;
    return static_cast<int>(text.size() + 1);
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
    if (!pclsid) return E_INVALIDARG;
    *pclsid = CLSID_NULL;
    if (!lpsz) return S_OK;  // a null string names the null class, as on Windows
    std::string text;
    for (const OLECHAR* p = lpsz; *p && text.size() <= 38; ++p) {
        if (*p > 0x7F) return CO_E_CLASSSTRING;
        text += static_cast<char>(*p);
    }
    const auto g = platform::com::parseGuid(text);
    if (!g) return CO_E_CLASSSTRING;
    *pclsid = *g;
    return S_OK;
}

HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid) {
    const HRESULT hr = CLSIDFromString(lpsz, lpiid);
    return hr == CO_E_CLASSSTRING ? E_INVALIDARG : hr;
}
