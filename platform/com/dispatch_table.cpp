#include "platform/com/dispatch_table.h"

#include <cstring>
#include <new>
#include <string_view>

namespace platform::com {
namespace {

constexpr UINT kNoParam = ~UINT(0);

char16_t foldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; }

bool sameName(const char16_t* a, const OLECHAR* b) {
    if (!a || !b) return false;
    for (; *a && *b; ++a, ++b)
        if (foldAscii(*a) != foldAscii(*b)) return false;
    return *a == *b;
}

}  // namespace

HRESULT DispatchTable::getIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) const noexcept {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (!names || !ids) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const DispMember* found = nullptr;
    for (const DispMember& m : m_members)
        if (sameName(m.name, names[0])) {
            found = &m;
            break;
        }
    if (!found) return DISP_E_UNKNOWNNAME;
    ids[0] = found->dispid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        // A property's get and put may name their parameters differently:
        // look through every row of the member.
        for (const DispMember& m : m_members) {
            if (m.dispid != found->dispid) continue;
            for (std::size_t k = 0; k < m.paramNames.size(); ++k)
                if (sameName(m.paramNames[k], names[i])) ids[i] = DISPID(k);
            if (ids[i] != DISPID_UNKNOWN) break;
        }
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchTable::invoke(void* self, DISPID member, REFIID riid, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argErr) const noexcept {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs && !params->rgvarg) || params->cNamedArgs > params->cArgs ||
        (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_INVALIDARG;

    // The row: a put for put calls; for the others a method when the caller
    // allows one, else a property get.
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    const DispMember* row = nullptr;
    for (WORD kind : {DISPATCH_PROPERTYPUT, DISPATCH_METHOD, DISPATCH_PROPERTYGET}) {
        if (row) break;
        if ((kind == DISPATCH_PROPERTYPUT) != put) continue;
        if (kind != DISPATCH_PROPERTYPUT && !(flags & kind)) continue;
        for (const DispMember& m : m_members) {
            if (m.dispid == member && m.kind == kind) {
                row = &m;
                break;
            }
        }
    }
    if (!row) return DISP_E_MEMBERNOTFOUND;

    try {
        const UINT count = row->paramCount;
        std::vector<VARIANT*> slots(count, nullptr);
        std::vector<UINT> origin(count, 0);  // index in rgvarg of each parameter
        const UINT named = params->cNamedArgs;
        const UINT positional = params->cArgs - named;

        // Named arguments come first in rgvarg.
        bool haveValue = false;
        for (UINT i = 0; i < named; ++i) {
            const DISPID id = params->rgdispidNamedArgs[i];
            UINT index;
            if (id == DISPID_PROPERTYPUT && put && count > 0) {
                index = count - 1;
                haveValue = true;
            } else if (id >= 0 && UINT(id) < count && !(put && UINT(id) == count - 1)) {
                index = UINT(id);
            } else {
                if (argErr) *argErr = i;
                return DISP_E_PARAMNOTFOUND;
            }
            if (slots[index]) {
                if (argErr) *argErr = i;
                return DISP_E_PARAMNOTFOUND;
            }
            slots[index] = &params->rgvarg[i];
            origin[index] = i;
        }
        if (put && !haveValue) return DISP_E_PARAMNOTFOUND;

        // Positional arguments, right to left: the last one in rgvarg is the
        // first parameter.
        const UINT positionalLimit = put ? count - 1 : count;
        if (positional > positionalLimit) return DISP_E_BADPARAMCOUNT;
        for (UINT k = 0; k < positional; ++k) {
            const UINT at = params->cArgs - 1 - k;
            if (slots[k]) {
                if (argErr) *argErr = at;
                return DISP_E_PARAMNOTFOUND;
            }
            slots[k] = &params->rgvarg[at];
            origin[k] = at;
        }

        // Parameters still missing: optional ones get the omitted marker.
        Variant omitted = Variant::missing();
        for (UINT k = 0; k < count; ++k) {
            if (slots[k]) continue;
            if (k < row->requiredCount) return DISP_E_BADPARAMCOUNT;
            slots[k] = &omitted;
        }

        VARIANT value;
        VariantInit(&value);
        UINT failed = kNoParam;
        const HRESULT hr = row->thunk(self, slots.data(), result ? &value : nullptr, &failed);
        if (FAILED(hr)) {
            VariantClear(&value);
            if (failed < count) {
                // An argument did not convert; the member did not run.
                if (argErr) *argErr = origin[failed];
                return hr;
            }
            if (exception) {
                std::memset(exception, 0, sizeof *exception);
                exception->scode = hr;
            }
            return DISP_E_EXCEPTION;
        }
        if (result) *result = value;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace platform::com
