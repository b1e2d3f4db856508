#include "platform/com/bstr.h"

#include "platform/codepage.h"

#include <cstdlib>
#include <cstring>

namespace {

// Largest byte length whose block (prefix, text, two NUL bytes) still has a
// length that fits the 32-bit prefix.
constexpr std::size_t kMaxBytes = 0xFFFFFFFFu - 6;

BSTR allocateBytes(const void* data, std::size_t bytes) {
    if (bytes > kMaxBytes) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(4 + bytes + 2));
    if (!block) return nullptr;
    const auto length = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &length, 4);
    if (data)
        std::memcpy(block + 4, data, bytes);
    else
        std::memset(block + 4, 0, bytes);
    block[4 + bytes] = 0;
    block[4 + bytes + 1] = 0;
    return reinterpret_cast<BSTR>(block + 4);
}

std::size_t olestrLength(const OLECHAR* s) {
    std::size_t n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    return allocateBytes(psz, olestrLength(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    if (ui > kMaxBytes / sizeof(OLECHAR)) return nullptr;
    return allocateBytes(strIn, std::size_t(ui) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* psz, UINT len) { return allocateBytes(psz, len); }

int SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) return 0;
    // The new text may be (part of) the old string: copy before freeing.
    BSTR fresh = psz ? SysAllocString(psz) : SysAllocStringLen(nullptr, 0);
    if (!fresh) return 0;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return 1;
}

int SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, unsigned int len) {
    if (!pbstr) return 0;
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh) return 0;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return 1;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(reinterpret_cast<unsigned char*>(bstrString) - 4);
}

UINT SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    std::uint32_t length;
    std::memcpy(&length, reinterpret_cast<unsigned char*>(bstr) - 4, 4);
    return length;
}

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }

void* CoTaskMemAlloc(std::size_t cb) { return std::malloc(cb ? cb : 1); }
void CoTaskMemFree(void* pv) { std::free(pv); }

namespace platform::com {

BSTR bstrFromUtf16(std::u16string_view utf16) {
    if (utf16.size() > kMaxBytes / sizeof(OLECHAR)) return nullptr;
    return SysAllocStringLen(utf16.data(), static_cast<UINT>(utf16.size()));
}

BSTR bstrFromUtf8(std::string_view utf8) { return bstrFromUtf16(platform::utf8ToUtf16(utf8)); }

std::u16string_view bstrView(BSTR b) { return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view(); }

std::string utf8FromBstr(BSTR b) { return platform::utf16ToUtf8(bstrView(b)); }

BSTR bstrFromPath(std::string_view path) { return bstrFromUtf16(platform::pathToUtf16(path)); }

std::string pathFromBstr(BSTR b) { return platform::pathFromUtf16(bstrView(b)); }

}  // namespace platform::com
