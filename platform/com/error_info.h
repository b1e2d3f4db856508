// Error information of the calling thread: a server says why a call did not
// do what was asked (SetErrorInfo), the client reads it after the call
// (GetErrorInfo), as with the automation runtime. The host and every module
// share one slot per thread, which the host program exports; the texts are
// copied into it, so no object of a module outlives the call.
#pragma once

#include "platform/com/com.h"

#include <optional>
#include <string>
#include <string_view>

inline constexpr IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

struct IErrorInfo : IUnknown {
    STDMETHOD(GetGUID)(GUID* pGUID) = 0;
    STDMETHOD(GetSource)(BSTR* pBstrSource) = 0;
    STDMETHOD(GetDescription)(BSTR* pBstrDescription) = 0;
    STDMETHOD(GetHelpFile)(BSTR* pBstrHelpFile) = 0;
    STDMETHOD(GetHelpContext)(DWORD* pdwHelpContext) = 0;
};
MIROFOTO_COM_INTERFACE(IErrorInfo, IUnknown, IID_IErrorInfo);

/// Makes the object's interface, source and description the thread's error
/// information; null clears it. The object itself is not kept.
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
/// Hands the thread's error information to the caller and clears it;
/// S_FALSE and null when there is none.
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

namespace platform::com {

/// Sets the thread's error information: the interface of the failed call,
/// the source (a ProgID) and a description (UTF-8). Nothing is thrown.
void setErrorText(REFIID iid, std::string_view source, std::string_view description) noexcept;
/// The description of the thread's error information as UTF-8, taken (the
/// information is cleared); nothing when there is none.
std::optional<std::string> takeErrorText();

}  // namespace platform::com
