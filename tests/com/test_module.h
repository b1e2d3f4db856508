// The class of the runtime's test module (libcom_test_module.so): a small
// dual interface with methods, properties, an indexed property, an optional
// argument, a failing member, child objects and an enumerator.
#pragma once

#include "platform/com/com.h"

inline constexpr CLSID CLSID_TestCalc = {0xE8FCDA2E, 0xF720, 0x47C6, {0xB0, 0xCF, 0x1F, 0xC3, 0x0B, 0x8B, 0x06, 0x59}};
inline constexpr IID IID_ITestCalc = {0x82BC7B9E, 0x73C7, 0x470A, {0x95, 0xD7, 0xE4, 0xB0, 0x5E, 0xA2, 0x79, 0xDB}};
inline constexpr GUID LIBID_TestCalc = {0xE4B2562B, 0xB7C5, 0x4351, {0x93, 0xBD, 0x5E, 0x2A, 0x38, 0xE8, 0xF8, 0x8E}};
inline constexpr const char* kTestCalcProgId = "MirofotoTest.Calc";
inline constexpr const char* kTestCalcProgIdVersion = "MirofotoTest.Calc.1";

/// The item values the enumerator hands out.
inline constexpr LONG kTestCalcItems[] = {10, 20, 30};

struct ITestCalc : IDispatch {
    /// DISPID 1: "first|second|number".
    STDMETHOD(Join)(BSTR first, BSTR second, LONG number, BSTR* result) = 0;
    /// DISPID 2.
    STDMETHOD(get_Total)(LONG* value) = 0;
    STDMETHOD(put_Total)(LONG value) = 0;
    /// DISPID 3: returns code as its result.
    STDMETHOD(Fail)(LONG code) = 0;
    /// DISPID 4: the variant types of its arguments, "I4|missing" style;
    /// second is optional.
    STDMETHOD(Describe)(VARIANT* first, VARIANT* second, BSTR* result) = 0;
    /// DISPID 0 (default member): the total.
    STDMETHOD(get_Value)(LONG* value) = 0;
    /// DISPID 5: a new object of the class whose total is this one's + 1.
    STDMETHOD(get_Child)(ITestCalc** child) = 0;
    /// DISPID 6: indexed property over three slots; 0x800A017D outside.
    STDMETHOD(get_Item)(LONG index, VARIANT* value) = 0;
    STDMETHOD(put_Item)(LONG index, VARIANT value) = 0;
    /// DISPID -4: an enumerator over kTestCalcItems.
    STDMETHOD(get__NewEnum)(IUnknown** enumerator) = 0;
    /// DISPID 7: small + wide + ratio, after the argument conversions.
    STDMETHOD(Mix)(BYTE small, ULONG wide, double ratio, double* result) = 0;
};

MIROFOTO_COM_INTERFACE(ITestCalc, IDispatch, IID_ITestCalc);
