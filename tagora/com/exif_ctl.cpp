// The ExifCtl control: the object a host places on its form to open JPEG
// files, with the parts of a control a host on this platform can use (its
// extent, the persistence of that extent, its face and its class).
#include "tagora/com/exif_ctl.h"

#include "platform/com/error_info.h"
#include "platform/com/variant.h"
#include "platform/twips.h"
#include "tagora/com/conversions.h"
#include "tagora/com/objects.h"
#include "tagora/com/type_library.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tagora::com {
namespace {

using platform::com::dispMethod;
using platform::com::makeObject;
using platform::com::Returns;
using platform::com::Variant;

// The module's icon, 32 × 32 in the 16 colours of the standard palette: a
// camera with a red tag on a string. '.' is transparent; 0-9 and A-F index
// kPalette.
constexpr const char* kIcon[kIconSize] = {
    "................................",
    "................................",
    "................................",
    "..0000000.......................",
    ".0999FFF0.......................",
    ".09F999900......................",
    ".099FFFF0.0.....................",
    "..0000000..0....................",
    "...........0....................",
    "...........0000000000.00000.....",
    "...........0777777770.07770.....",
    "...........0777777770.07770.....",
    "...00000000077777777000777000...",
    "..0700000077777777777777777770..",
    "..070BBBB077770000077777777770..",
    "..070BBBB077007777700777777770..",
    "..0800000080770000077088888880..",
    "..0888888807700444007708888880..",
    "..0888888807044ECC440708888880..",
    "..088888807004EFCCC40070888880..",
    "..08888880704CECCCCC4070888880..",
    "..08888880704CCCCCCC4070888880..",
    "..08888880704CCCCCCC4070888880..",
    "..088888807004CCCCC40070888880..",
    "..0888888807044CCC440708888880..",
    "..0888888807700444007708888880..",
    "..0888888880770000077088888880..",
    "..0888888888007777700888888880..",
    "..0888888888880000088888888880..",
    "...00000000000000000000000000...",
    "................................",
    "................................",
};

// Black, maroon, green, olive, navy, purple, teal, silver, grey, red, lime,
// yellow, blue, fuchsia, aqua, white.
constexpr std::uint32_t kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                        0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                        0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

int paletteIndex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The natural and initial extent: 32 × 32 pixels of a 96-dpi screen.
LONG naturalExtent() { return platform::twipsToHimetric(platform::pixelsToTwips(kIconSize)); }

// Reads one extent property; a missing one keeps *value.
HRESULT readExtent(IPropertyBag* bag, const char16_t* name, IErrorLog* log, LONG* value) {
    Variant v;
    v.vt = VT_UI4;
    HRESULT hr = bag->Read(name, &v, log);
    if (hr == E_INVALIDARG) return S_OK;
    if (FAILED(hr)) return hr;
    if (FAILED(hr = v.changeType(VT_UI4))) return hr;
    if (v.ulVal > ULONG(std::numeric_limits<LONG>::max())) return DISP_E_OVERFLOW;
    *value = LONG(v.ulVal);
    return S_OK;
}

HRESULT writeExtent(IPropertyBag* bag, const char16_t* name, LONG value) {
    Variant v;
    v.vt = VT_UI4;
    v.ulVal = ULONG(value);
    return bag->Write(name, &v);
}

class ExifCtlObject final : public platform::com::DualObject<ExifCtlObject, IExifCtl, IControlExtent,
                                                              IPersistPropertyBag, IControlFace, ISupportErrorInfo> {
public:
    static const platform::com::DispatchTable& dispatchTable() {
        static const platform::com::DispatchTable table = describedTable(IID_IExifCtl, {
            dispMethod<&IExifCtl::RotateExifFile>(nullptr, 0),
            dispMethod<&IExifCtl::LoadHeader, Returns::value>(nullptr, 0),
        });
        return table;
    }

    // IExifCtl

    STDMETHODIMP RotateExifFile(BSTR, LONG) override {
        showNotProvided();
        return S_OK;
    }

    STDMETHODIMP LoadHeader(BSTR filename, IExif** ppExif) override {
        if (!ppExif) return E_POINTER;
        *ppExif = nullptr;
        // The reason of a file that does not load goes to the thread's
        // error information; a call that loads leaves none behind.
        SetErrorInfo(0, nullptr);
        return guarded([&]() -> HRESULT {
            // A document whose directories cannot be made counts as a file
            // that does not load.
            ComPtr<ExifObject> exif = makeObject<ExifObject>();
            if (!exif) {
                platform::com::setErrorText(IID_IExifCtl, kExifCtlProgId, "out of memory");
                return S_FALSE;
            }
            if (!exif->load(nativePath(filename))) {
                platform::com::setErrorText(IID_IExifCtl, kExifCtlProgId, exif->failureText());
                return S_FALSE;
            }
            *ppExif = exif.detach();
            return S_OK;
        });
    }

    // IControlExtent

    STDMETHODIMP SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override {
        if (!psizel) return E_POINTER;
        if (dwDrawAspect != DVASPECT_CONTENT) return E_INVALIDARG;
        if (psizel->cx < 0 || psizel->cy < 0) return E_INVALIDARG;
        m_extent = *psizel;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override {
        if (!psizel) return E_POINTER;
        if (dwDrawAspect != DVASPECT_CONTENT) return E_INVALIDARG;
        *psizel = m_extent;
        return S_OK;
    }

    // IPersistPropertyBag: the extent is the one persisted property, as
    // "_cx" and "_cy", unsigned 32-bit HIMETRIC values.

    STDMETHODIMP GetClassID(CLSID* pClassID) override {
        if (!pClassID) return E_POINTER;
        *pClassID = CLSID_ExifCtl;
        return S_OK;
    }
    STDMETHODIMP InitNew() override {
        m_extent = {naturalExtent(), naturalExtent()};
        return S_OK;
    }
    STDMETHODIMP Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) override {
        if (!pPropBag) return E_POINTER;
        return guarded([&]() -> HRESULT {
            SIZEL loaded = m_extent;
            HRESULT hr = readExtent(pPropBag, u"_cx", pErrorLog, &loaded.cx);
            if (SUCCEEDED(hr)) hr = readExtent(pPropBag, u"_cy", pErrorLog, &loaded.cy);
            // Both or neither: a half-read extent is not taken.
            if (SUCCEEDED(hr)) m_extent = loaded;
            return hr;
        });
    }
    STDMETHODIMP Save(IPropertyBag* pPropBag, BOOL, BOOL) override {
        if (!pPropBag) return E_POINTER;
        return guarded([&]() -> HRESULT {
            const HRESULT hr = writeExtent(pPropBag, u"_cx", m_extent.cx);
            return FAILED(hr) ? hr : writeExtent(pPropBag, u"_cy", m_extent.cy);
        });
    }

    // IControlFace: the icon at the top-left corner, clipped to the area.

    STDMETHODIMP Draw(BYTE* rgba, LONG width, LONG height, LONG stride) override {
        if (!rgba) return E_POINTER;
        if (width < 0 || height < 0 || std::int64_t(stride) < std::int64_t(width) * 4) return E_INVALIDARG;
        const int w = std::min<LONG>(width, kIconSize), h = std::min<LONG>(height, kIconSize);
        for (int y = 0; y < h; ++y) {
            BYTE* row = rgba + std::int64_t(y) * stride;
            for (int x = 0; x < w; ++x) {
                const int index = paletteIndex(kIcon[y][x]);
                if (index < 0) continue;
                const std::uint32_t c = kPalette[index];
                BYTE* p = row + x * 4;
                p[0] = BYTE(c >> 16), p[1] = BYTE(c >> 8), p[2] = BYTE(c), p[3] = 0xFF;
            }
        }
        return S_OK;
    }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return supportsErrorInfo<IExifCtl>(riid); }

private:
    SIZEL m_extent{naturalExtent(), naturalExtent()};
};

}  // namespace

HRESULT exifCtlFactory(REFIID riid, void** ppv) { return platform::com::factoryOf<ExifCtlObject>(riid, ppv); }

}  // namespace tagora::com
