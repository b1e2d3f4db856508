#include "platform/com/error_info.h"

#include "platform/com/bstr.h"
#include "platform/com/object.h"

#include <dlfcn.h>

namespace {

// The thread's error information. Its layout is the same in every copy of
// the runtime, since all are built from this file.
struct ErrorSlot {
    bool set = false;
    GUID iid{};
    platform::com::Bstr source;
    platform::com::Bstr description;
};

thread_local ErrorSlot t_slot;

}  // namespace

// Every module links its own copy of the runtime; all of them use the slot
// of the host program, which every executable exports under this name.
extern "C" __attribute__((visibility("default"))) void* mirofoto_com_error_slot() { return &t_slot; }

namespace {

ErrorSlot& slot() {
    using Slot = void* (*)();
    static const auto host = reinterpret_cast<Slot>(::dlsym(RTLD_DEFAULT, "mirofoto_com_error_slot"));
    if (host && host != &mirofoto_com_error_slot) return *static_cast<ErrorSlot*>(host());
    return t_slot;
}

class ErrorInfoObject final : public platform::com::ComObject<ErrorInfoObject, IErrorInfo> {
public:
    // Takes over the two strings.
    ErrorInfoObject(const GUID& iid, BSTR source, BSTR description)
        : m_iid(iid),
          m_source(platform::com::Bstr::adopt(source)),
          m_description(platform::com::Bstr::adopt(description)) {}

    STDMETHODIMP GetGUID(GUID* pGUID) override {
        if (!pGUID) return E_POINTER;
        *pGUID = m_iid;
        return S_OK;
    }
    STDMETHODIMP GetSource(BSTR* out) override { return copy(m_source.get(), out); }
    STDMETHODIMP GetDescription(BSTR* out) override { return copy(m_description.get(), out); }
    STDMETHODIMP GetHelpFile(BSTR* out) override { return copy(nullptr, out); }
    STDMETHODIMP GetHelpContext(DWORD* out) override {
        if (!out) return E_POINTER;
        *out = 0;
        return S_OK;
    }

private:
    static HRESULT copy(BSTR text, BSTR* out) {
        if (!out) return E_POINTER;
        *out = platform::com::bstrFromUtf16(platform::com::bstrView(text));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    GUID m_iid;
    platform::com::Bstr m_source, m_description;
};

}  // namespace

HRESULT SetErrorInfo(ULONG, IErrorInfo* perrinfo) {
    ErrorSlot& s = slot();
    s.set = false;
    s.source = {};
    s.description = {};
    if (!perrinfo) return S_OK;
    GUID iid{};
    BSTR source = nullptr, description = nullptr;
    perrinfo->GetGUID(&iid);
    perrinfo->GetSource(&source);
    perrinfo->GetDescription(&description);
    s.iid = iid;
    s.source = platform::com::Bstr::adopt(source);
    s.description = platform::com::Bstr::adopt(description);
    s.set = true;
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_POINTER;
    *pperrinfo = nullptr;
    ErrorSlot& s = slot();
    if (!s.set) return S_FALSE;
    s.set = false;
    auto info = platform::com::makeObject<ErrorInfoObject>(s.iid, s.source.detach(), s.description.detach());
    if (!info) return E_OUTOFMEMORY;
    *pperrinfo = info.detach();
    return S_OK;
}

namespace platform::com {

void setErrorText(REFIID iid, std::string_view source, std::string_view description) noexcept {
    try {
        ErrorSlot& s = slot();
        s.iid = iid;
        s.source = Bstr(source);
        s.description = Bstr(description);
        s.set = true;
    } catch (...) {
        // Out of memory: the call fails without its reason.
    }
}

std::optional<std::string> takeErrorText() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return std::nullopt;
    Bstr description;
    if (FAILED(info->GetDescription(description.put()))) return std::nullopt;
    return description.utf8();
}

}  // namespace platform::com
