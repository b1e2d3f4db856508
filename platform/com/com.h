// The COM and OLE Automation runtime of this platform: the Windows types,
// result codes, structures and interfaces with their Windows layouts and
// vtable order, so that ordinary COM client and server code compiles and
// in-process modules built here interoperate with their hosts.
//
// As on Windows these names live in the global namespace. Text is UTF-16
// (OLECHAR is char16_t: write u"..." where Windows code writes L"..."), and
// LONG is 32 bits wide as on Windows, unlike the C++ long of this platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// ---------------------------------------------------------------------------
// Base types

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using INT = int;
using UINT = unsigned int;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using CHAR = char;
using FLOAT = float;
using DOUBLE = double;
using BOOL = int;
using PVOID = void*;
using LPVOID = void*;
using HRESULT = LONG;
using SCODE = LONG;
using LCID = DWORD;
using DISPID = LONG;
using MEMBERID = DISPID;
using VARTYPE = unsigned short;
using VARIANT_BOOL = short;
using DATE = double;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
/// A length-prefixed UTF-16 string: the 32-bit byte length sits in the four
/// bytes before the first character, a NUL follows the last. Made and freed
/// only by the Sys… functions.
using BSTR = OLECHAR*;

#define STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// ---------------------------------------------------------------------------
// GUIDs

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool IsEqualGUID(REFGUID a, REFGUID b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
constexpr bool IsEqualIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }
constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return IsEqualGUID(a, b); }
constexpr bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_NULL = GUID_NULL;
inline constexpr CLSID CLSID_NULL = GUID_NULL;

// ---------------------------------------------------------------------------
// Result codes

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT MAKE_HRESULT(unsigned severity, unsigned facility, unsigned code) {
    return static_cast<HRESULT>((severity << 31) | (facility << 16) | (code & 0xFFFFu));
}
constexpr HRESULT HRESULT_FROM_WIN32(unsigned long error) {
    return static_cast<LONG>(error) <= 0 ? static_cast<HRESULT>(error)
                                         : static_cast<HRESULT>((error & 0xFFFFu) | 0x80070000u);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

inline constexpr unsigned long ERROR_FILE_NOT_FOUND = 2;
inline constexpr unsigned long ERROR_PATH_NOT_FOUND = 3;
inline constexpr unsigned long ERROR_ACCESS_DENIED = 5;
inline constexpr unsigned long ERROR_DISK_FULL = 112;
inline constexpr unsigned long ERROR_MOD_NOT_FOUND = 126;
inline constexpr unsigned long ERROR_PROC_NOT_FOUND = 127;
inline constexpr unsigned long ERROR_BAD_EXE_FORMAT = 193;

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
inline constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
inline constexpr HRESULT DISP_E_UNKNOWNLCID = static_cast<HRESULT>(0x8002000Cu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = static_cast<HRESULT>(0x8002000Du);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000Fu);
inline constexpr HRESULT DISP_E_BADCALLEE = static_cast<HRESULT>(0x80020010u);
inline constexpr HRESULT DISP_E_NOTACOLLECTION = static_cast<HRESULT>(0x80020011u);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT REGDB_E_READREGDB = static_cast<HRESULT>(0x80040150u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = static_cast<HRESULT>(0x80040151u);
inline constexpr HRESULT REGDB_E_KEYMISSING = static_cast<HRESULT>(0x80040152u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);
inline constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200u);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
inline constexpr HRESULT RPC_E_WRONG_THREAD = static_cast<HRESULT>(0x8001010Eu);

// ---------------------------------------------------------------------------
// Automation structures

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_RECORD = 36,
    VT_VECTOR = 0x1000,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_RESERVED = 0x8000,
    VT_ILLEGAL = 0xFFFF,
    VT_TYPEMASK = 0x0FFF,
};

/// Flags of VariantChangeType.
inline constexpr unsigned short VARIANT_NOVALUEPROP = 0x01;
inline constexpr unsigned short VARIANT_ALPHABOOL = 0x02;
inline constexpr unsigned short VARIANT_NOUSEROVERRIDE = 0x04;
inline constexpr unsigned short VARIANT_LOCALBOOL = 0x10;

struct IUnknown;
struct IDispatch;
struct IRecordInfo;
struct ITypeInfo;

union CY {
    struct {
        ULONG Lo;
        LONG Hi;
    };
    LONGLONG int64;
};

struct DECIMAL {
    USHORT wReserved;
    BYTE scale;
    BYTE sign;
    ULONG Hi32;
    ULONGLONG Lo64;
};

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
};
using LPSAFEARRAY = SAFEARRAY*;

/// fFeatures of a SAFEARRAY.
inline constexpr USHORT FADF_AUTO = 0x0001;
inline constexpr USHORT FADF_STATIC = 0x0002;
inline constexpr USHORT FADF_EMBEDDED = 0x0004;
inline constexpr USHORT FADF_FIXEDSIZE = 0x0010;
inline constexpr USHORT FADF_RECORD = 0x0020;
inline constexpr USHORT FADF_HAVEIID = 0x0040;
inline constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
inline constexpr USHORT FADF_BSTR = 0x0100;
inline constexpr USHORT FADF_UNKNOWN = 0x0200;
inline constexpr USHORT FADF_DISPATCH = 0x0400;
inline constexpr USHORT FADF_VARIANT = 0x0800;

struct VARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                SAFEARRAY* parray;
                BYTE* pbVal;
                SHORT* piVal;
                LONG* plVal;
                LONGLONG* pllVal;
                FLOAT* pfltVal;
                DOUBLE* pdblVal;
                VARIANT_BOOL* pboolVal;
                SCODE* pscode;
                CY* pcyVal;
                DATE* pdate;
                BSTR* pbstrVal;
                IUnknown** ppunkVal;
                IDispatch** ppdispVal;
                SAFEARRAY** pparray;
                VARIANT* pvarVal;
                PVOID byref;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                DECIMAL* pdecVal;
                CHAR* pcVal;
                USHORT* puiVal;
                ULONG* pulVal;
                ULONGLONG* pullVal;
                INT* pintVal;
                UINT* puintVal;
                struct {
                    PVOID pvRecord;
                    IRecordInfo* pRecInfo;
                };
            };
        };
        DECIMAL decVal;
    };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;

#define V_VT(X) ((X)->vt)
#define V_ISBYREF(X) (V_VT(X) & VT_BYREF)
#define V_ISARRAY(X) (V_VT(X) & VT_ARRAY)
#define V_UI1(X) ((X)->bVal)
#define V_I1(X) ((X)->cVal)
#define V_I2(X) ((X)->iVal)
#define V_UI2(X) ((X)->uiVal)
#define V_I4(X) ((X)->lVal)
#define V_UI4(X) ((X)->ulVal)
#define V_I8(X) ((X)->llVal)
#define V_UI8(X) ((X)->ullVal)
#define V_INT(X) ((X)->intVal)
#define V_UINT(X) ((X)->uintVal)
#define V_R4(X) ((X)->fltVal)
#define V_R8(X) ((X)->dblVal)
#define V_BOOL(X) ((X)->boolVal)
#define V_ERROR(X) ((X)->scode)
#define V_BSTR(X) ((X)->bstrVal)
#define V_UNKNOWN(X) ((X)->punkVal)
#define V_DISPATCH(X) ((X)->pdispVal)
#define V_ARRAY(X) ((X)->parray)
#define V_BYREF(X) ((X)->byref)
#define V_VARIANTREF(X) ((X)->pvarVal)

struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

struct SIZEL {
    LONG cx;
    LONG cy;
};

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;
inline constexpr DISPID DISPID_EVALUATE = -5;

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

/// Draw aspect of the extent calls.
inline constexpr DWORD DVASPECT_CONTENT = 1;

static_assert(sizeof(GUID) == 16);
static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*));
static_assert(offsetof(VARIANT, lVal) == 8);
static_assert(sizeof(SAFEARRAY) == (sizeof(void*) == 8 ? 32 : 24));
static_assert(offsetof(SAFEARRAY, pvData) == (sizeof(void*) == 8 ? 16 : 12));

// ---------------------------------------------------------------------------
// Interface identifiers and the trait that ties an interface to its IID

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IEnumVARIANT = {0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
/// Ours: the size of a control on its host form (see IControlExtent).
inline constexpr IID IID_IControlExtent = {0xD051EC3D, 0xAB3E, 0x463F, {0x9D, 0xAF, 0xC3, 0xD8, 0x1C, 0x49, 0xEC, 0x55}};

namespace platform::com {

/// InterfaceInfo<I>::iid is the IID of the interface I and Base its direct
/// base interface. Declare it with MIROFOTO_COM_INTERFACE at global scope.
template <class I>
struct InterfaceInfo;

/// The IID of the interface I (what MSVC spells __uuidof(I)).
template <class I>
constexpr const IID& uuidOf() {
    return InterfaceInfo<I>::iid;
}

}  // namespace platform::com

/// Declares the IID and the direct base of an interface. Use at global scope.
#define MIROFOTO_COM_INTERFACE(Interface, BaseInterface, IidConstant)        \
    template <>                                                               \
    struct platform::com::InterfaceInfo<Interface> {                          \
        static constexpr const IID& iid = IidConstant;                        \
        using Base = BaseInterface;                                           \
    }

/// The IID and the pointer of a typed out-pointer: IID_PPV_ARGS(&p).
#define IID_PPV_ARGS(pp)                                                                  \
    ::platform::com::uuidOf<std::remove_pointer_t<std::remove_pointer_t<decltype(pp)>>>(), \
        reinterpret_cast<void**>(pp)

// ---------------------------------------------------------------------------
// Interfaces, in Windows vtable order

struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) = 0;
    STDMETHOD_(ULONG, AddRef)() = 0;
    STDMETHOD_(ULONG, Release)() = 0;

    /// Typed QueryInterface (not in the vtable).
    template <class Q>
    HRESULT QueryInterface(Q** pp) {
        return QueryInterface(platform::com::uuidOf<Q>(), reinterpret_cast<void**>(pp));
    }
};

struct IDispatch : IUnknown {
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) = 0;
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) = 0;
    STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                      VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
};

struct IEnumVARIANT : IUnknown {
    STDMETHOD(Next)(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) = 0;
    STDMETHOD(Skip)(ULONG celt) = 0;
    STDMETHOD(Reset)() = 0;
    STDMETHOD(Clone)(IEnumVARIANT** ppEnum) = 0;
};

struct IClassFactory : IUnknown {
    STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    STDMETHOD(LockServer)(BOOL fLock) = 0;
};

struct ISupportErrorInfo : IUnknown {
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) = 0;
};

struct IPersist : IUnknown {
    STDMETHOD(GetClassID)(CLSID* pClassID) = 0;
};

/// The size of a control on its host form, in HIMETRIC units (0.01 mm) as
/// OLE controls measure it. The in-place activation interfaces of Windows
/// containers have no counterpart here; this is the part of them a host on
/// this platform uses. SetExtent proposes a size; the control may keep
/// another, which GetExtent then reports.
struct IControlExtent : IUnknown {
    STDMETHOD(SetExtent)(DWORD dwDrawAspect, SIZEL* psizel) = 0;
    STDMETHOD(GetExtent)(DWORD dwDrawAspect, SIZEL* psizel) = 0;
};

MIROFOTO_COM_INTERFACE(IUnknown, void, IID_IUnknown);
MIROFOTO_COM_INTERFACE(IDispatch, IUnknown, IID_IDispatch);
MIROFOTO_COM_INTERFACE(IEnumVARIANT, IUnknown, IID_IEnumVARIANT);
MIROFOTO_COM_INTERFACE(IClassFactory, IUnknown, IID_IClassFactory);
MIROFOTO_COM_INTERFACE(ISupportErrorInfo, IUnknown, IID_ISupportErrorInfo);
MIROFOTO_COM_INTERFACE(IPersist, IUnknown, IID_IPersist);
MIROFOTO_COM_INTERFACE(IControlExtent, IUnknown, IID_IControlExtent);

// ---------------------------------------------------------------------------
// OLE Automation functions (as in oleauto.h)

BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
BSTR SysAllocStringByteLen(const char* psz, UINT len);
int SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
int SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, unsigned int len);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);
UINT SysStringByteLen(BSTR bstr);

void VariantInit(VARIANTARG* pvarg);
HRESULT VariantClear(VARIANTARG* pvarg);
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);
HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid, USHORT wFlags, VARTYPE vt);

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
UINT SafeArrayGetDim(SAFEARRAY* psa);
UINT SafeArrayGetElemsize(SAFEARRAY* psa);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);

// ---------------------------------------------------------------------------
// COM library functions (as in objbase.h)

/// Writes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and a NUL; returns the
/// characters written with the NUL, or 0 when cchMax is below 39.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
/// Parses the braced form; CO_E_CLASSSTRING when the text is not one.
HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid);
/// The class identifier registered for the ProgID (its "CLSID" subkey).
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);
/// The version-dependent ProgID of the class, allocated with CoTaskMemAlloc.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

/// Accepted for source compatibility: this runtime needs no per-thread start.
HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
/// Unloads every module that agrees to go (as CoFreeUnusedLibraries).
void CoUninitialize();
/// The class object of a registered in-process class: reads
/// CLSID\{clsid}\InprocServer32, loads the module once and asks its
/// DllGetClassObject.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
/// Unloads the loaded modules whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();
void* CoTaskMemAlloc(std::size_t cb);
void CoTaskMemFree(void* pv);

// ---------------------------------------------------------------------------
// The exports of an in-process module

using PFN_DllGetClassObject = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using PFN_DllCanUnloadNow = HRESULT (*)();
using PFN_DllRegisterServer = HRESULT (*)();
using PFN_DllUnregisterServer = HRESULT (*)();

/// Marks the module exports; everything else in a module stays hidden.
#define MIROFOTO_COM_EXPORT extern "C" __attribute__((visibility("default")))
