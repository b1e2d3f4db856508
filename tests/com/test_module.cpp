// A COM module for the runtime's tests, built like the real ones.
#include "tests/com/test_module.h"

#include "platform/com/bstr.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/enum_variant.h"
#include "platform/com/object.h"
#include "platform/com/registration.h"

#include <string>

using namespace platform::com;

namespace {

constexpr HRESULT kBadIndex = static_cast<HRESULT>(0x800A017Du);

const char* typeName(const VARIANT* v) {
    if (!v) return "null";
    switch (v->vt) {
    case VT_EMPTY: return "empty";
    case VT_I4: return "I4";
    case VT_BSTR: return "BSTR";
    case VT_R8: return "R8";
    case VT_BOOL: return "BOOL";
    case VT_DISPATCH: return "DISPATCH";
    case VT_ERROR: return v->scode == DISP_E_PARAMNOTFOUND ? "missing" : "ERROR";
    case VT_I4 | VT_BYREF: return "I4&";
    default: return "other";
    }
}

class TestCalc final : public DualObject<TestCalc, ITestCalc> {
public:
    static const DispatchTable& dispatchTable() {
        static const DispatchTable table{
            dispMethod<&ITestCalc::Join, Returns::value>(u"Join", 1, {u"first", u"second", u"number"}),
            dispGet<&ITestCalc::get_Total>(u"Total", 2),
            dispPut<&ITestCalc::put_Total>(u"Total", 2),
            dispMethod<&ITestCalc::Fail>(u"Fail", 3, {u"code"}),
            dispMethod<&ITestCalc::Describe, Returns::value>(u"Describe", 4, {u"first", u"second"}, 1),
            dispGet<&ITestCalc::get_Value>(u"Value", DISPID_VALUE),
            dispGet<&ITestCalc::get_Child>(u"Child", 5),
            dispGet<&ITestCalc::get_Item>(u"Item", 6, {u"index"}),
            dispPut<&ITestCalc::put_Item>(u"Item", 6, {u"index"}),
            dispGet<&ITestCalc::get__NewEnum>(u"_NewEnum", DISPID_NEWENUM),
            dispMethod<&ITestCalc::Mix, Returns::value>(u"Mix", 7, {u"small", u"wide", u"ratio"}),
        };
        return table;
    }

    STDMETHODIMP Join(BSTR first, BSTR second, LONG number, BSTR* result) override {
        if (!result) return E_POINTER;
        const std::string text = utf8FromBstr(first) + "|" + utf8FromBstr(second) + "|" + std::to_string(number);
        *result = bstrFromUtf8(text);
        return *result ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_Total(LONG* value) override {
        if (!value) return E_POINTER;
        *value = m_total;
        return S_OK;
    }
    STDMETHODIMP put_Total(LONG value) override {
        m_total = value;
        return S_OK;
    }
    STDMETHODIMP Fail(LONG code) override { return code; }
    STDMETHODIMP Describe(VARIANT* first, VARIANT* second, BSTR* result) override {
        if (!result) return E_POINTER;
        *result = bstrFromUtf8(std::string(typeName(first)) + "|" + typeName(second));
        return S_OK;
    }
    STDMETHODIMP get_Value(LONG* value) override { return get_Total(value); }
    STDMETHODIMP get_Child(ITestCalc** child) override {
        if (!child) return E_POINTER;
        *child = nullptr;
        auto object = makeObject<TestCalc>();
        if (!object) return E_OUTOFMEMORY;
        object->m_total = m_total + 1;
        *child = object.detach();
        return S_OK;
    }
    STDMETHODIMP get_Item(LONG index, VARIANT* value) override {
        if (!value) return E_POINTER;
        if (index < 0 || index >= 3) return kBadIndex;
        VariantInit(value);
        return VariantCopy(value, &m_items[index]);
    }
    STDMETHODIMP put_Item(LONG index, VARIANT value) override {
        if (index < 0 || index >= 3) return kBadIndex;
        return VariantCopy(&m_items[index], &value);
    }
    STDMETHODIMP get__NewEnum(IUnknown** enumerator) override {
        if (!enumerator) return E_POINTER;
        std::vector<Variant> items;
        for (LONG v : kTestCalcItems) items.emplace_back(v);
        IEnumVARIANT* e = nullptr;
        const HRESULT hr = createVariantEnumerator(std::move(items), &e);
        *enumerator = e;
        return hr;
    }
    STDMETHODIMP Mix(BYTE small, ULONG wide, double ratio, double* result) override {
        if (!result) return E_POINTER;
        *result = small + double(wide) + ratio;
        return S_OK;
    }

private:
    LONG m_total = 0;
    Variant m_items[3];
};

const ClassEntry kClasses[] = {{&CLSID_TestCalc, &factoryOf<TestCalc>}};

const ClassRegistration kRegistration[] = {{
    .clsid = CLSID_TestCalc,
    .description = "TestCalc Class",
    .progId = kTestCalcProgIdVersion,
    .versionIndependentProgId = kTestCalcProgId,
    .typeLib = LIBID_TestCalc,
}};

const InterfaceRegistration kInterfaces[] = {{IID_ITestCalc, "ITestCalc"}};
const TypeLibRegistration kTypeLib{LIBID_TestCalc, "1.0", "TestCalc 1.0", "0", kInterfaces};

}  // namespace

MIROFOTO_COM_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return getClassObject(kClasses, rclsid, riid, ppv);
}
MIROFOTO_COM_EXPORT HRESULT DllCanUnloadNow() { return moduleCanUnloadNow(); }
MIROFOTO_COM_EXPORT HRESULT DllRegisterServer() {
    return registerModule(kRegistration, &kTypeLib, reinterpret_cast<const void*>(&DllRegisterServer));
}
MIROFOTO_COM_EXPORT HRESULT DllUnregisterServer() { return unregisterModule(kRegistration, &kTypeLib); }
