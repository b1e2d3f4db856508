// C++ helpers around BSTR: an owning handle and conversions from and to the
// program's UTF-8 text.
#pragma once

#include "platform/com/com.h"

#include <string>
#include <string_view>
#include <utility>

namespace platform::com {

/// A new BSTR holding the UTF-8 text; null when memory runs out.
BSTR bstrFromUtf8(std::string_view utf8);
/// A new BSTR holding the UTF-16 text; null when memory runs out.
BSTR bstrFromUtf16(std::u16string_view utf16);
/// The characters of a BSTR (a null BSTR is the empty text).
std::u16string_view bstrView(BSTR b);
/// The text of a BSTR as UTF-8.
std::string utf8FromBstr(BSTR b);
/// A new BSTR naming a file: bytes of the path that are not UTF-8 travel as
/// escapes (platform::pathToUtf16), so pathFromBstr() gives back the same
/// bytes. Null when memory runs out.
BSTR bstrFromPath(std::string_view path);
/// The native path (bytes) a BSTR file name stands for.
std::string pathFromBstr(BSTR b);

/// Owns one BSTR and frees it with SysFreeString.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::string_view utf8) : m_bstr(bstrFromUtf8(utf8)) {}
    explicit Bstr(std::u16string_view utf16) : m_bstr(bstrFromUtf16(utf16)) {}
    /// A file name (see bstrFromPath).
    static Bstr ofPath(std::string_view path) { return adopt(bstrFromPath(path)); }
    /// Takes over a BSTR the caller owns.
    static Bstr adopt(BSTR b) {
        Bstr r;
        r.m_bstr = b;
        return r;
    }
    ~Bstr() { SysFreeString(m_bstr); }
    Bstr(Bstr&& o) noexcept : m_bstr(std::exchange(o.m_bstr, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) {
            SysFreeString(m_bstr);
            m_bstr = std::exchange(o.m_bstr, nullptr);
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return m_bstr; }
    /// Frees the current string and gives the slot to an out-parameter.
    BSTR* put() {
        SysFreeString(std::exchange(m_bstr, nullptr));
        return &m_bstr;
    }
    /// Gives the string away; the handle is empty afterwards.
    BSTR detach() { return std::exchange(m_bstr, nullptr); }
    UINT length() const { return SysStringLen(m_bstr); }
    std::u16string_view view() const { return bstrView(m_bstr); }
    std::string utf8() const { return utf8FromBstr(m_bstr); }

private:
    BSTR m_bstr = nullptr;
};

}  // namespace platform::com
