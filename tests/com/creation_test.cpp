#include "platform/com/bstr.h"
#include "platform/com/dispatch_call.h"
#include "platform/com/guid.h"
#include "platform/com/registry.h"
#include "tests/com/com_fixture.h"
#include "tests/com/test_module.h"

#include <filesystem>

using namespace platform::com;
using testing_support::writeBytes;

namespace {

constexpr HRESULT kBadIndex = static_cast<HRESULT>(0x800A017Du);

RegistryTree currentRegistry() {
    RegistryTree tree;
    RegistryFile().load(tree);
    return tree;
}

const std::string kClassKey = "CLSID\\" + guidToString(CLSID_TestCalc);

class Creation : public ComFixture {
protected:
    void SetUp() override {
        ComFixture::SetUp();
        registerTestModule();
    }
    ComPtr<IDispatch> create() {
        ComPtr<IDispatch> object;
        EXPECT_EQ(createObject(kTestCalcProgId, object), S_OK);
        return object;
    }
};

}  // namespace

TEST_F(Creation, RegistrationWritesTheClassKeys) {
    const RegistryTree tree = currentRegistry();
    const std::string clsid = guidToString(CLSID_TestCalc);
    EXPECT_EQ(tree.queryValue("MirofotoTest.Calc.1"), "TestCalc Class");
    EXPECT_EQ(tree.queryValue("MirofotoTest.Calc.1\\CLSID"), clsid);
    EXPECT_EQ(tree.queryValue("MirofotoTest.Calc\\CLSID"), clsid);
    EXPECT_EQ(tree.queryValue("MirofotoTest.Calc\\CurVer"), "MirofotoTest.Calc.1");
    EXPECT_EQ(tree.queryValue(kClassKey), "TestCalc Class");
    EXPECT_EQ(tree.queryValue(kClassKey + "\\ProgID"), "MirofotoTest.Calc.1");
    EXPECT_EQ(tree.queryValue(kClassKey + "\\VersionIndependentProgID"), "MirofotoTest.Calc");
    EXPECT_TRUE(tree.keyExists(kClassKey + "\\Programmable"));
    EXPECT_EQ(tree.queryValue(kClassKey + "\\InprocServer32"), std::filesystem::path(COM_TEST_MODULE).string());
    EXPECT_EQ(tree.queryValue(kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(tree.queryValue(kClassKey + "\\TypeLib"), guidToString(LIBID_TestCalc));
    EXPECT_FALSE(tree.keyExists(kClassKey + "\\Control"));
    const std::string lib = "TypeLib\\" + guidToString(LIBID_TestCalc) + "\\1.0";
    EXPECT_EQ(tree.queryValue(lib), "TestCalc 1.0");
    EXPECT_EQ(tree.queryValue(lib + "\\0\\linux"), COM_TEST_MODULE);
    EXPECT_EQ(tree.queryValue("Interface\\" + guidToString(IID_ITestCalc)), "ITestCalc");
}

TEST_F(Creation, ReregistrationReplacesTheClassKeyAndUnregistrationRemovesIt) {
    RegistryFile().update([](RegistryTree& t) {
        t.setValue(kClassKey + "\\Stale", "", "old");
        return t.setValue("Unrelated", "", "kept");
    });
    registerTestModule();
    EXPECT_FALSE(currentRegistry().keyExists(kClassKey + "\\Stale"));

    ASSERT_EQ(registerServer(COM_TEST_MODULE, true), S_OK);
    const RegistryTree tree = currentRegistry();
    EXPECT_FALSE(tree.keyExists(kClassKey));
    EXPECT_FALSE(tree.keyExists("MirofotoTest.Calc"));
    EXPECT_FALSE(tree.keyExists("MirofotoTest.Calc.1"));
    EXPECT_FALSE(tree.keyExists("TypeLib\\" + guidToString(LIBID_TestCalc)));
    EXPECT_TRUE(tree.keyExists("CLSID"));
    EXPECT_EQ(tree.queryValue("Unrelated"), "kept");
    ComPtr<IDispatch> object;
    EXPECT_EQ(createObject(kTestCalcProgId, object), CO_E_CLASSSTRING);
}

TEST_F(Creation, ObjectsAreCreatedByProgIdOrClassId) {
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(u"MirofotoTest.Calc", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestCalc);
    ASSERT_EQ(CLSIDFromProgID(u"mirofotoTEST.calc.1", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestCalc);

    ComPtr<ITestCalc> byClsid;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(byClsid.put())), S_OK);
    ASSERT_TRUE(byClsid);
    EXPECT_EQ(byClsid->put_Total(9), S_OK);
    LONG total = 0;
    byClsid->get_Total(&total);
    EXPECT_EQ(total, 9);

    ComPtr<IUnknown> byText;
    EXPECT_EQ(createObject(guidToString(CLSID_TestCalc), byText), S_OK);

    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_TestCalc, &progId), S_OK);
    EXPECT_EQ(std::u16string_view(progId), u"MirofotoTest.Calc.1");
    CoTaskMemFree(progId);
}

TEST_F(Creation, ObjectIdentityAndUnknownInterfaces) {
    ComPtr<IDispatch> object = create();
    ComPtr<IUnknown> a = object.as<IUnknown>();
    ComPtr<IUnknown> b = object.as<ITestCalc>().as<IUnknown>();
    EXPECT_EQ(a, b);
    EXPECT_FALSE(object.as<IClassFactory>());
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->QueryInterface(IID_IPersist, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Creation, InvokeTakesTheArgumentsRightToLeft) {
    ComPtr<IDispatch> object = create();
    VARIANT args[3];
    for (auto& a : args) VariantInit(&a);
    args[0].vt = VT_I4, args[0].lVal = 3;                   // the last parameter
    args[1].vt = VT_BSTR, args[1].bstrVal = bstrFromUtf8("b");
    args[2].vt = VT_BSTR, args[2].bstrVal = bstrFromUtf8("a");  // the first parameter
    DISPPARAMS params{args, nullptr, 3, 0};
    Variant result;
    ASSERT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.toUtf8(), "a|b|3");
    for (auto& a : args) VariantClear(&a);

    Variant joined;
    ASSERT_EQ(callMethod(object.get(), "join", {Variant("写真"), Variant(""), Variant("12")}, &joined), S_OK);
    EXPECT_EQ(joined.toUtf8(), "写真||12");
}

TEST_F(Creation, NamedArgumentsGoToTheirParameters) {
    ComPtr<IDispatch> object = create();
    std::u16string names[] = {u"Join", u"NUMBER", u"first", u"nope"};
    LPOLESTR list[] = {names[0].data(), names[1].data(), names[2].data(), names[3].data()};
    DISPID ids[4];
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, list, 4, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 2);
    EXPECT_EQ(ids[2], 0);
    EXPECT_EQ(ids[3], DISPID_UNKNOWN);

    // Join(second: "y", number: 5, first: "x"): "second" positionally, the
    // other two by name.
    Variant args[3] = {Variant(5), Variant("x"), Variant("y")};
    DISPID named[2] = {2, 0};
    DISPPARAMS params{args, named, 3, 2};
    Variant result;
    EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);  // "y" lands on "first", which is named too
    Variant args2[3] = {Variant(5), Variant("y"), Variant("x")};
    DISPID named2[2] = {2, 1};
    DISPPARAMS params2{args2, named2, 3, 2};
    ASSERT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params2, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.toUtf8(), "x|y|5");
}

TEST_F(Creation, PropertiesTakeTheirValueFromTheNamedPutArgument) {
    ComPtr<IDispatch> object = create();
    Variant value(77);
    DISPPARAMS unnamed{&value, nullptr, 1, 0};
    EXPECT_EQ(object->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS named{&value, &put, 1, 1};
    ASSERT_EQ(object->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &named, nullptr, nullptr, nullptr), S_OK);
    Variant total;
    ASSERT_EQ(getProperty(object.get(), "Total", &total), S_OK);
    EXPECT_EQ(total.toLong(), 77);

    // An indexed property: the index comes first, the value last.
    ASSERT_EQ(putProperty(object.get(), "Item", Variant("two"), {Variant(2)}), S_OK);
    Variant item;
    ASSERT_EQ(getProperty(object.get(), "Item", &item, {Variant(2)}), S_OK);
    EXPECT_EQ(item.toUtf8(), "two");
    EXPECT_EQ(getProperty(object.get(), "Item", &item, {Variant(3)}), kBadIndex);

    // A default member answers VariantChangeType and DISPID_VALUE.
    Variant asObject(object.get());
    Variant number;
    ASSERT_EQ(VariantChangeType(&number, &asObject, 0, VT_I4), S_OK);
    EXPECT_EQ(number.lVal, 77);
}

TEST_F(Creation, CallsThatDoNotFitTheMemberAreRefused) {
    ComPtr<IDispatch> object = create();
    Variant result;
    UINT argErr = 99;

    Variant two[2] = {Variant("b"), Variant("a")};
    DISPPARAMS tooFew{two, nullptr, 2, 0};
    EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &tooFew, &result, nullptr, &argErr),
              DISP_E_BADPARAMCOUNT);
    Variant four[4] = {Variant(1), Variant(2), Variant(3), Variant(4)};
    DISPPARAMS tooMany{four, nullptr, 4, 0};
    EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &tooMany, &result, nullptr, &argErr),
              DISP_E_BADPARAMCOUNT);

    // "number" (rgvarg[0]) does not convert: its index comes back.
    Variant bad[3] = {Variant("three"), Variant("b"), Variant("a")};
    DISPPARAMS mismatch{bad, nullptr, 3, 0};
    EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &mismatch, &result, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    // Mix(small: 300, ...): the first parameter overflows a byte.
    Variant mix[3] = {Variant(0.5), Variant(1), Variant(300)};
    DISPPARAMS overflow{mix, nullptr, 3, 0};
    EXPECT_EQ(object->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &overflow, &result, nullptr, &argErr),
              DISP_E_OVERFLOW);
    EXPECT_EQ(argErr, 2u);
    mix[2] = Variant("200");
    ASSERT_EQ(object->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &overflow, &result, nullptr, &argErr), S_OK);
    EXPECT_DOUBLE_EQ(result.dblVal, 201.5);

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(object->Invoke(999, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(object->Invoke(1, IID_IDispatch, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    // A property get is no method.
    EXPECT_EQ(object->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(callMethod(object.get(), "NoSuchMember"), DISP_E_UNKNOWNNAME);
}

TEST_F(Creation, AFailingMemberComesBackAsAnException) {
    ComPtr<IDispatch> object = create();
    Variant code(kBadIndex);
    DISPPARAMS params{&code, nullptr, 1, 0};
    EXCEPINFO info{};
    UINT argErr = 42;
    EXPECT_EQ(object->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &info, &argErr), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, kBadIndex);
    EXPECT_EQ(argErr, 42u);  // no argument was at fault
    // The host helper hands back the member's own code.
    EXPECT_EQ(callMethod(object.get(), "Fail", {Variant(E_OUTOFMEMORY)}), E_OUTOFMEMORY);
    EXPECT_EQ(callMethod(object.get(), "Fail", {Variant(S_FALSE)}), S_OK);
}

TEST_F(Creation, AnOmittedOptionalVariantArrivesAsTheMissingMarker) {
    ComPtr<IDispatch> object = create();
    Variant text;
    ASSERT_EQ(callMethod(object.get(), "Describe", {Variant(5)}, &text), S_OK);
    EXPECT_EQ(text.toUtf8(), "I4|missing");
    ASSERT_EQ(callMethod(object.get(), "Describe", {Variant(5), Variant("x")}, &text), S_OK);
    EXPECT_EQ(text.toUtf8(), "I4|BSTR");
    // A VARIANT* parameter sees a by-reference argument as it was passed.
    LONG n = 1;
    Variant ref;
    ref.vt = VT_I4 | VT_BYREF;
    ref.plVal = &n;
    ASSERT_EQ(callMethod(object.get(), "Describe", {ref}, &text), S_OK);
    EXPECT_EQ(text.toUtf8(), "I4&|missing");
}

TEST_F(Creation, ChildObjectsAndEnumeratorsKeepTheModuleLoaded) {
    ComPtr<IDispatch> parent = create();
    putProperty(parent.get(), "Total", Variant(4));
    Variant child;
    ASSERT_EQ(getProperty(parent.get(), "Child", &child), S_OK);
    ASSERT_EQ(child.vt, VT_DISPATCH);
    Variant enumerable;
    ASSERT_EQ(getProperty(parent.get(), "_NewEnum", &enumerable), S_OK);
    ASSERT_EQ(enumerable.vt, VT_UNKNOWN);
    parent.reset();

    CoFreeUnusedLibraries();
    EXPECT_TRUE(isModuleLoaded(COM_TEST_MODULE));
    Variant total;
    ASSERT_EQ(getProperty(child.pdispVal, "Total", &total), S_OK);
    EXPECT_EQ(total.toLong(), 5);

    ComPtr<IEnumVARIANT> items;
    ASSERT_EQ(enumerable.punkVal->QueryInterface(IID_PPV_ARGS(items.put())), S_OK);
    VARIANT got[4];
    ULONG fetched = 0;
    EXPECT_EQ(items->Next(4, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 3u);
    for (ULONG i = 0; i < fetched; ++i) {
        EXPECT_EQ(got[i].lVal, kTestCalcItems[i]);
        VariantClear(&got[i]);
    }
    EXPECT_EQ(items->Reset(), S_OK);
    EXPECT_EQ(items->Skip(2), S_OK);
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(items->Clone(clone.put()), S_OK);
    EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0].lVal, 30);
    VariantClear(&got[0]);
    EXPECT_EQ(clone->Skip(1), S_FALSE);
    EXPECT_EQ(items->Next(2, got, nullptr), E_POINTER);
}

TEST_F(Creation, DllCanUnloadNowDecidesWhenTheModuleGoes) {
    ComPtr<IDispatch> object = create();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(isModuleLoaded(COM_TEST_MODULE));
    object.reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(isModuleLoaded(COM_TEST_MODULE));
    EXPECT_EQ(loadedModuleCount(), 0u);

    // A server lock holds it too, and an unbalanced unlock cannot free it.
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TestCalc, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(factory.put())), S_OK);
    EXPECT_EQ(factory->LockServer(1), S_OK);
    IClassFactory* raw = factory.get();
    raw->AddRef();
    factory.reset();
    raw->Release();  // the factory is gone, the lock stays
    CoFreeUnusedLibraries();
    EXPECT_TRUE(isModuleLoaded(COM_TEST_MODULE));
    ASSERT_EQ(CoGetClassObject(CLSID_TestCalc, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(factory.put())), S_OK);
    EXPECT_EQ(factory->LockServer(0), S_OK);
    EXPECT_EQ(factory->LockServer(0), E_UNEXPECTED);
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(factory.get(), IID_IUnknown, aggregated.putVoid()), CLASS_E_NOAGGREGATION);
}

TEST_F(Creation, MissingOrBrokenRegistrationsGiveTheirCodes) {
    ComPtr<IUnknown> object;
    const GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, object.putVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(createObject("No.Such.Class", object), CO_E_CLASSSTRING);
    EXPECT_EQ(createObject("{not a guid}", object), CO_E_CLASSSTRING);
    EXPECT_EQ(createObject("", object), CO_E_CLASSSTRING);

    auto pointModuleTo = [&](const std::string& path) {
        RegistryFile().update([&](RegistryTree& t) { return t.setValue(kClassKey + "\\InprocServer32", "", path); });
    };
    pointModuleTo(m_dir.str("missing.so"));
    EXPECT_EQ(createObject(kTestCalcProgId, object), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    writeBytes(m_dir / "text.so", "not a library");
    pointModuleTo(m_dir.str("text.so"));
    EXPECT_EQ(createObject(kTestCalcProgId, object), HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT));
    pointModuleTo("/lib/x86_64-linux-gnu/libm.so.6");
    EXPECT_EQ(createObject(kTestCalcProgId, object), CO_E_ERRORINDLL);
    EXPECT_EQ(loadedModuleCount(), 0u);

    // A registry file that is not readable text still yields clean codes.
    writeBytes(registryFile(), std::string("\0\xFF[[[\n=\"", 8));
    EXPECT_EQ(createObject(kTestCalcProgId, object), CO_E_CLASSSTRING);
}

TEST_F(Creation, GuidTextForms) {
    OLECHAR text[39];
    ASSERT_EQ(StringFromGUID2(CLSID_TestCalc, text, 39), 39);
    EXPECT_EQ(std::u16string_view(text), u"{E8FCDA2E-F720-47C6-B0CF-1FC30B8B0659}");
    EXPECT_EQ(StringFromGUID2(CLSID_TestCalc, text, 38), 0);
    CLSID back;
    ASSERT_EQ(CLSIDFromString(u"{e8fcda2e-f720-47c6-b0cf-1fc30b8b0659}", &back), S_OK);
    EXPECT_EQ(back, CLSID_TestCalc);
    for (const char16_t* bad : {u"", u"{E8FCDA2E-F720-47C6-B0CF-1FC30B8B065}", u"{E8FCDA2E-F720-47C6-B0CF-1FC30B8B06590}",
                                u"{E8FCDA2E_F720-47C6-B0CF-1FC30B8B0659}", u"{G8FCDA2E-F720-47C6-B0CF-1FC30B8B0659}"})
        EXPECT_EQ(CLSIDFromString(bad, &back), CO_E_CLASSSTRING);
}
