// One-dimensional safe arrays. The descriptor sits in a block behind a
// 16-byte prefix whose last four bytes hold the element type, as Windows
// keeps it for arrays with FADF_HAVEVARTYPE.
#include "platform/com/com.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kPrefix = 16;

ULONG elementSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN: return sizeof(void*);
    case VT_DECIMAL: return sizeof(DECIMAL);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
    }
}

USHORT featuresFor(VARTYPE vt) {
    USHORT f = FADF_HAVEVARTYPE;
    if (vt == VT_BSTR) f |= FADF_BSTR;
    if (vt == VT_UNKNOWN) f |= FADF_UNKNOWN;
    if (vt == VT_DISPATCH) f |= FADF_DISPATCH;
    if (vt == VT_VARIANT) f |= FADF_VARIANT;
    return f;
}

void storeVartype(SAFEARRAY* psa, VARTYPE vt) {
    const DWORD v = vt;
    std::memcpy(reinterpret_cast<unsigned char*>(psa) - 4, &v, 4);
}

VARTYPE loadVartype(const SAFEARRAY* psa) {
    DWORD v;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(psa) - 4, 4);
    return static_cast<VARTYPE>(v);
}

bool validArray(const SAFEARRAY* psa) { return psa && psa->cDims == 1; }

// Releases what the elements own (strings, references, variants).
void releaseElements(SAFEARRAY* psa) {
    const ULONG n = psa->rgsabound[0].cElements;
    if (!psa->pvData) return;
    if (psa->fFeatures & FADF_BSTR) {
        auto* p = static_cast<BSTR*>(psa->pvData);
        for (ULONG i = 0; i < n; ++i) SysFreeString(p[i]), p[i] = nullptr;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* p = static_cast<IUnknown**>(psa->pvData);
        for (ULONG i = 0; i < n; ++i)
            if (p[i]) p[i]->Release(), p[i] = nullptr;
    } else if (psa->fFeatures & FADF_VARIANT) {
        auto* p = static_cast<VARIANT*>(psa->pvData);
        for (ULONG i = 0; i < n; ++i) VariantClear(&p[i]);
    }
}

// The element's address, or null when the index lies outside the bounds.
unsigned char* elementAt(SAFEARRAY* psa, LONG index) {
    const LONGLONG offset = LONGLONG(index) - psa->rgsabound[0].lLbound;
    if (offset < 0 || offset >= LONGLONG(psa->rgsabound[0].cElements)) return nullptr;
    return static_cast<unsigned char*>(psa->pvData) + std::size_t(offset) * psa->cbElements;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    // This runtime keeps one-dimensional arrays only.
    if (cDims != 1 || !rgsabound) return nullptr;
    const ULONG size = elementSize(vt);
    if (size == 0) return nullptr;
    const ULONG count = rgsabound[0].cElements;
    const LONG lower = rgsabound[0].lLbound;
    // The upper bound must be a LONG too, and the data must be addressable.
    if (count > 0 && LONGLONG(lower) + LONGLONG(count) - 1 > LONGLONG(INT32_MAX)) return nullptr;
    if (count > std::numeric_limits<std::size_t>::max() / size) return nullptr;

    auto* block = static_cast<unsigned char*>(std::calloc(1, kPrefix + sizeof(SAFEARRAY)));
    if (!block) return nullptr;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefix);
    psa->cDims = 1;
    psa->fFeatures = featuresFor(vt);
    psa->cbElements = size;
    psa->cLocks = 0;
    psa->rgsabound[0] = rgsabound[0];
    storeVartype(psa, vt);
    // Zeroed elements are valid ones: null strings and pointers, VT_EMPTY.
    psa->pvData = std::calloc(count ? count : 1, size);
    if (!psa->pvData) {
        std::free(block);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (!validArray(psa)) return E_INVALIDARG;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    releaseElements(psa);
    std::free(psa->pvData);
    std::free(reinterpret_cast<unsigned char*>(psa) - kPrefix);
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (!validArray(psa) || !plLbound) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (!validArray(psa) || !plUbound) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    // An empty array has an upper bound one below its lower bound.
    *plUbound = static_cast<LONG>(LONGLONG(psa->rgsabound[0].lLbound) + psa->rgsabound[0].cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (!psa || !pvt) return E_INVALIDARG;
    if (psa->fFeatures & FADF_HAVEVARTYPE) *pvt = loadVartype(psa);
    else if (psa->fFeatures & FADF_BSTR) *pvt = VT_BSTR;
    else if (psa->fFeatures & FADF_UNKNOWN) *pvt = VT_UNKNOWN;
    else if (psa->fFeatures & FADF_DISPATCH) *pvt = VT_DISPATCH;
    else if (psa->fFeatures & FADF_VARIANT) *pvt = VT_VARIANT;
    else return E_INVALIDARG;
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0xFFFF) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!validArray(psa) || !rgIndices || !pv) return E_INVALIDARG;
    unsigned char* element = elementAt(psa, rgIndices[0]);
    if (!element) return DISP_E_BADINDEX;
    if (psa->fFeatures & FADF_BSTR) {
        BSTR source = *reinterpret_cast<BSTR*>(element);
        BSTR copy = nullptr;
        if (source) {
            copy = SysAllocStringByteLen(reinterpret_cast<const char*>(source), SysStringByteLen(source));
            if (!copy) return E_OUTOFMEMORY;
        }
        *static_cast<BSTR*>(pv) = copy;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown* p = *reinterpret_cast<IUnknown**>(element);
        if (p) p->AddRef();
        *static_cast<IUnknown**>(pv) = p;
    } else if (psa->fFeatures & FADF_VARIANT) {
        auto* out = static_cast<VARIANT*>(pv);
        VariantInit(out);
        return VariantCopy(out, reinterpret_cast<VARIANT*>(element));
    } else {
        std::memcpy(pv, element, psa->cbElements);
    }
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!validArray(psa) || !rgIndices) return E_INVALIDARG;
    unsigned char* element = elementAt(psa, rgIndices[0]);
    if (!element) return DISP_E_BADINDEX;
    if (psa->fFeatures & FADF_BSTR) {
        // pv is the BSTR itself.
        auto source = static_cast<BSTR>(pv);
        BSTR copy = nullptr;
        if (source) {
            copy = SysAllocStringByteLen(reinterpret_cast<const char*>(source), SysStringByteLen(source));
            if (!copy) return E_OUTOFMEMORY;
        }
        auto& slot = *reinterpret_cast<BSTR*>(element);
        SysFreeString(slot);
        slot = copy;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        // pv is the interface pointer itself.
        auto* p = static_cast<IUnknown*>(pv);
        if (p) p->AddRef();
        auto& slot = *reinterpret_cast<IUnknown**>(element);
        if (slot) slot->Release();
        slot = p;
    } else if (psa->fFeatures & FADF_VARIANT) {
        if (!pv) return E_INVALIDARG;
        VARIANT copy;
        VariantInit(&copy);
        const HRESULT hr = VariantCopy(&copy, static_cast<VARIANT*>(pv));
        if (FAILED(hr)) return hr;
        auto* slot = reinterpret_cast<VARIANT*>(element);
        VariantClear(slot);
        *slot = copy;
    } else {
        if (!pv) return E_INVALIDARG;
        std::memcpy(element, pv, psa->cbElements);
    }
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    if (!validArray(psa)) return E_INVALIDARG;
    VARTYPE vt;
    if (FAILED(SafeArrayGetVartype(psa, &vt))) return E_INVALIDARG;
    SAFEARRAY* copy = SafeArrayCreate(vt, 1, psa->rgsabound);
    if (!copy) return E_OUTOFMEMORY;
    const LONG lower = psa->rgsabound[0].lLbound;
    if (!(psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT))) {
        std::memcpy(copy->pvData, psa->pvData, std::size_t(psa->rgsabound[0].cElements) * psa->cbElements);
    } else {
        for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
            LONG index = static_cast<LONG>(LONGLONG(lower) + i);
            unsigned char* from = elementAt(psa, index);
            void* value = (psa->fFeatures & FADF_VARIANT) ? static_cast<void*>(from) : *reinterpret_cast<void**>(from);
            const HRESULT hr = SafeArrayPutElement(copy, &index, value);
            if (FAILED(hr)) {
                SafeArrayDestroy(copy);
                return hr;
            }
        }
    }
    *ppsaOut = copy;
    return S_OK;
}
