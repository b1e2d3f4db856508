// ExifCtl as a control: its extent and the persistence of it, its face, its
// class, and only the interfaces it implements.
#include "tagora_fixture.h"

#include "platform/com/control.h"
#include "platform/com/object.h"
#include "platform/com/variant.h"
#include "platform/twips.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

using platform::com::Variant;

namespace {

// A container's property bag: named variants.
class PropertyBag final : public platform::com::ComObject<PropertyBag, IPropertyBag> {
public:
    std::map<std::u16string, Variant> values;
    HRESULT failWrites = S_OK;

    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        const auto it = values.find(name);
        if (it == values.end()) return E_INVALIDARG;
        VariantClear(value);
        return VariantCopy(value, &it->second);
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        if (FAILED(failWrites)) return failWrites;
        values[name] = Variant::copyOf(*value);
        return S_OK;
    }
};

SIZEL extentOf(IControlExtent* control) {
    SIZEL size{-1, -1};
    EXPECT_EQ(control->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    return size;
}

Variant ui4(ULONG v) {
    Variant r;
    r.vt = VT_UI4;
    r.ulVal = v;
    return r;
}

// The 16 colours of the standard palette.
const std::set<std::uint32_t> kStandardColours = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                                  0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                                  0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

}  // namespace

TEST_F(TagoraTest, TheControlStartsAtItsNaturalSizeOf32Pixels) {
    ComPtr<IControlExtent> extent = m_ctl.as<IControlExtent>();
    ASSERT_TRUE(extent);
    const SIZEL natural = extentOf(extent.get());
    EXPECT_EQ(natural.cx, platform::twipsToHimetric(platform::pixelsToTwips(32)));
    EXPECT_EQ(natural.cy, natural.cx);
    EXPECT_EQ(natural.cx, 847);

    SIZEL bigger{2000, 1000};
    ASSERT_EQ(extent->SetExtent(DVASPECT_CONTENT, &bigger), S_OK);
    EXPECT_EQ(extentOf(extent.get()).cx, 2000);
    EXPECT_EQ(extentOf(extent.get()).cy, 1000);
    SIZEL negative{-5, 10};
    EXPECT_EQ(extent->SetExtent(DVASPECT_CONTENT, &negative), E_INVALIDARG);
    EXPECT_EQ(extent->SetExtent(4, &bigger), E_INVALIDARG);
    EXPECT_EQ(extent->SetExtent(DVASPECT_CONTENT, nullptr), E_POINTER);
    EXPECT_EQ(extentOf(extent.get()).cx, 2000);

    ComPtr<IPersistPropertyBag> persist = m_ctl.as<IPersistPropertyBag>();
    ASSERT_TRUE(persist);
    ASSERT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(extentOf(extent.get()).cx, 847);
}

TEST_F(TagoraTest, TheExtentIsSavedAndLoadedAsUnsignedHimetric) {
    ComPtr<IPersistPropertyBag> persist = m_ctl.as<IPersistPropertyBag>();
    ComPtr<IControlExtent> extent = m_ctl.as<IControlExtent>();
    ASSERT_TRUE(persist && extent);
    auto bag = platform::com::makeObject<PropertyBag>();
    SIZEL size{1234, 567};
    extent->SetExtent(DVASPECT_CONTENT, &size);
    ASSERT_EQ(persist->Save(bag.get(), 1, 1), S_OK);
    ASSERT_EQ(bag->values.size(), 2u);
    EXPECT_EQ(bag->values[u"_cx"].vt, VT_UI4);
    EXPECT_EQ(bag->values[u"_cx"].ulVal, 1234u);
    EXPECT_EQ(bag->values[u"_cy"].ulVal, 567u);

    ComPtr<IPersistPropertyBag> other;
    ASSERT_EQ(platform::com::createObject(kExifCtlProgId, other), S_OK);
    bag->values[u"_cy"] = Variant("890");  // a container may keep text
    ASSERT_EQ(other->Load(bag.get(), nullptr), S_OK);
    const SIZEL loaded = extentOf(other.as<IControlExtent>().get());
    EXPECT_EQ(loaded.cx, 1234);
    EXPECT_EQ(loaded.cy, 890);

    // A value that is no size is refused and nothing is taken from the bag.
    bag->values[u"_cx"] = ui4(99);
    bag->values[u"_cy"] = Variant("tall");
    EXPECT_EQ(persist->Load(bag.get(), nullptr), DISP_E_TYPEMISMATCH);
    bag->values[u"_cy"] = ui4(0x80000000u);
    EXPECT_EQ(persist->Load(bag.get(), nullptr), DISP_E_OVERFLOW);
    EXPECT_EQ(extentOf(extent.get()).cx, 1234);
    // A bag without the properties keeps the extent.
    bag->values.clear();
    EXPECT_EQ(persist->Load(bag.get(), nullptr), S_OK);
    EXPECT_EQ(extentOf(extent.get()).cy, 567);
    bag->failWrites = E_OUTOFMEMORY;
    EXPECT_EQ(persist->Save(bag.get(), 0, 1), E_OUTOFMEMORY);
    EXPECT_EQ(persist->Load(nullptr, nullptr), E_POINTER);

    CLSID clsid{};
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_ExifCtl);
    ComPtr<IPersist> plain = m_ctl.as<IPersist>();
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->GetClassID(nullptr), E_POINTER);
}

TEST_F(TagoraTest, TheFaceIsA32PixelIconInSixteenColoursAtTheTopLeft) {
    ComPtr<IControlFace> face = m_ctl.as<IControlFace>();
    ASSERT_TRUE(face);
    constexpr int width = 40, height = 36, stride = width * 4 + 8;
    std::vector<BYTE> pixels(stride * height, 0x11);
    ASSERT_EQ(face->Draw(pixels.data(), width, height, stride), S_OK);

    std::set<std::uint32_t> colours;
    int opaque = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < stride / 4; ++x) {
            const BYTE* p = &pixels[y * stride + x * 4];
            const bool untouched = p[0] == 0x11 && p[1] == 0x11 && p[2] == 0x11 && p[3] == 0x11;
            if (x >= 32 || y >= 32) {
                EXPECT_TRUE(untouched) << x << "," << y;
                continue;
            }
            if (untouched) continue;
            EXPECT_EQ(p[3], 0xFF) << x << "," << y;
            colours.insert(std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2]);
            ++opaque;
        }
    for (std::uint32_t c : colours) EXPECT_TRUE(kStandardColours.count(c)) << std::hex << c;
    EXPECT_GE(colours.size(), 5u);
    EXPECT_GT(opaque, 32 * 32 / 2);
    // The corner is transparent: whatever was there stays.
    EXPECT_EQ(pixels[0], 0x11);

    if (const char* dir = std::getenv("MIROFOTO_SCREENSHOT_DIR")) {
        std::ofstream ppm(std::string(dir) + "/ExifCtl-face.ppm", std::ios::binary);
        ppm << "P6\n32 32\n255\n";
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) ppm.write(reinterpret_cast<const char*>(&pixels[y * stride + x * 4]), 3);
    }

    // A smaller area clips the icon; nothing is written outside it.
    std::vector<BYTE> small(8 * 4 * 8 + 4, 0x11);
    ASSERT_EQ(face->Draw(small.data(), 8, 8, 8 * 4), S_OK);
    EXPECT_EQ(small.back(), 0x11);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(std::memcmp(&small[y * 32 + x * 4], &pixels[y * stride + x * 4], 4), 0) << x << "," << y;
    EXPECT_EQ(face->Draw(nullptr, 8, 8, 32), E_POINTER);
    EXPECT_EQ(face->Draw(small.data(), 8, 8, 31), E_INVALIDARG);
    EXPECT_EQ(face->Draw(small.data(), -1, 8, 32), E_INVALIDARG);
    EXPECT_EQ(face->Draw(small.data(), 0, 0, 0), S_OK);
}

TEST_F(TagoraTest, TheControlAnswersOnlyTheInterfacesItImplements) {
    for (const IID& iid : {IID_IExifCtl, IID_IDispatch, IID_IUnknown, IID_IControlExtent, IID_IPersistPropertyBag,
                           IID_IPersist, IID_IControlFace, IID_ISupportErrorInfo}) {
        void* p = nullptr;
        EXPECT_EQ(m_ctl->QueryInterface(iid, &p), S_OK);
        ASSERT_NE(p, nullptr);
        static_cast<IUnknown*>(p)->Release();
    }
    // IViewObjectEx, IViewObject2, IViewObject, IOleInPlaceObjectWindowless,
    // IOleInPlaceObject, IOleWindow, IOleInPlaceActiveObject, IOleControl,
    // IOleObject, IPersistStreamInit, ISpecifyPropertyPages, IQuickActivate,
    // IPersistStorage, IDataObject, IProvideClassInfo, IProvideClassInfo2,
    // IConnectionPointContainer: no counterpart here.
    const GUID ole = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const auto oleIid = [&](DWORD data1) {
        GUID g = ole;
        g.Data1 = data1;
        return g;
    };
    const IID absent[] = {
        {0x3AF24292, 0x0C96, 0x11CE, {0xA0, 0xCF, 0x00, 0xAA, 0x00, 0x60, 0x0A, 0xB8}},
        oleIid(0x00000127), oleIid(0x0000010D),
        {0x2A26E8F8, 0xD8FB, 0x4A5F, {0xA2, 0x2B, 0x25, 0x8E, 0xF6, 0x4C, 0xAB, 0x67}},
        oleIid(0x00000113), oleIid(0x00000114), oleIid(0x00000117),
        {0xB196B288, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}},
        oleIid(0x00000112),
        {0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}},
        {0xB196B28B, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}},
        {0xCF51ED10, 0x62FE, 0x11CF, {0xBF, 0x86, 0x00, 0xA0, 0xC9, 0x03, 0x48, 0x36}},
        oleIid(0x0000010A), oleIid(0x0000010E),
        {0xB196B283, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}},
        {0xA6BC3AC0, 0xDBAA, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}},
        {0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}},
        IID_IEnumVARIANT, IID_IExif,
    };
    for (const IID& iid : absent) {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(m_ctl->QueryInterface(iid, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    // The other classes are no controls.
    ComPtr<IUnknown> exif;
    ASSERT_EQ(platform::com::createObject("Tagora.Exif", exif), S_OK);
    EXPECT_FALSE(exif.as<IControlExtent>());
    EXPECT_FALSE(exif.as<IPersist>());
}
