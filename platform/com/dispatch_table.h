// Late binding from static type information: a module describes the members
// of a dual interface in a table (name, DISPID, kind, parameter names, the
// C++ member function) and the table answers GetIDsOfNames and Invoke the
// way the automation type-information dispatch of Windows does:
//
//   - arguments arrive right to left in DISPPARAMS::rgvarg, named arguments
//     first; names are matched without regard to ASCII letter case;
//   - each argument is converted with VariantChangeType to the parameter's
//     type; a failure returns the conversion's code with *puArgErr set to
//     the argument's index in rgvarg;
//   - a property put takes its value from the named argument
//     DISPID_PROPERTYPUT;
//   - a member that fails makes Invoke return DISP_E_EXCEPTION with the
//     member's HRESULT in EXCEPINFO::scode;
//   - an omitted optional VARIANT parameter arrives as VT_ERROR
//     DISP_E_PARAMNOTFOUND.
//
// Parameter types: the integer and floating types (LONG is VT_I4, a C++
// long also travels as VT_I4), enumerations (VT_I4), BSTR, VARIANT,
// VARIANT*, IDispatch*, IUnknown* and other interface pointers. A return
// value ([out, retval]) is the last parameter, a pointer to one of these.
#pragma once

#include "platform/com/comptr.h"
#include "platform/com/object.h"
#include "platform/com/variant.h"

#include <cstddef>
#include <initializer_list>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace platform::com {

/// The member's C++ entry: self is the dual interface pointer; args holds
/// one variant per declared parameter (never null; an omitted optional one
/// is VT_ERROR DISP_E_PARAMNOTFOUND). When an argument does not convert,
/// the member is not called and *failedParam becomes the parameter's
/// position; otherwise *failedParam is left as it was.
using DispThunk = HRESULT (*)(void* self, VARIANT* const* args, VARIANT* result, UINT* failedParam);

/// One row of the table. Property get and put of one property share the
/// name and DISPID.
struct DispMember {
    const char16_t* name;
    DISPID dispid;
    WORD kind;  ///< DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT
    std::vector<const char16_t*> paramNames;
    UINT paramCount;     ///< parameters without the return value, a put's value included
    UINT requiredCount;  ///< leading parameters that may not be left out
    DispThunk thunk;
};

namespace detail {

template <class F>
struct MemberFunction;
template <class C, class... P>
struct MemberFunction<HRESULT (C::*)(P...)> {
    using Class = C;
    using Params = std::tuple<P...>;
};
template <class C, class... P>
struct MemberFunction<HRESULT (C::*)(P...) noexcept> : MemberFunction<HRESULT (C::*)(P...)> {};

template <class T>
constexpr VARTYPE scalarVartype() {
    if constexpr (std::is_enum_v<T>) return VT_I4;
    else if constexpr (std::is_same_v<T, bool>) return VT_BOOL;
    else if constexpr (std::is_same_v<T, char> || std::is_same_v<T, signed char>) return VT_I1;
    else if constexpr (std::is_same_v<T, unsigned char>) return VT_UI1;
    else if constexpr (std::is_same_v<T, short>) return VT_I2;
    else if constexpr (std::is_same_v<T, unsigned short>) return VT_UI2;
    else if constexpr (std::is_same_v<T, int> || std::is_same_v<T, long>) return VT_I4;
    else if constexpr (std::is_same_v<T, unsigned int> || std::is_same_v<T, unsigned long>) return VT_UI4;
    else if constexpr (std::is_same_v<T, long long>) return VT_I8;
    else if constexpr (std::is_same_v<T, unsigned long long>) return VT_UI8;
    else if constexpr (std::is_same_v<T, float>) return VT_R4;
    else if constexpr (std::is_same_v<T, double>) return VT_R8;
    else return VT_ILLEGAL;
}

template <class T>
constexpr bool isScalar = scalarVartype<T>() != VT_ILLEGAL;

template <class T>
T scalarFrom(const VARIANT& v) {
    if constexpr (std::is_enum_v<T>) return static_cast<T>(v.lVal);
    else if constexpr (std::is_same_v<T, bool>) return v.boolVal != VARIANT_FALSE;
    else {
        switch (v.vt) {
        case VT_I1: return static_cast<T>(v.cVal);
        case VT_UI1: return static_cast<T>(v.bVal);
        case VT_I2: return static_cast<T>(v.iVal);
        case VT_UI2: return static_cast<T>(v.uiVal);
        case VT_I4: return static_cast<T>(v.lVal);
        case VT_UI4: return static_cast<T>(v.ulVal);
        case VT_I8: return static_cast<T>(v.llVal);
        case VT_UI8: return static_cast<T>(v.ullVal);
        case VT_R4: return static_cast<T>(v.fltVal);
        case VT_R8: return static_cast<T>(v.dblVal);
        default: return T{};
        }
    }
}

template <class T>
void scalarTo(T value, VARIANT& v) {
    VariantInit(&v);
    v.vt = scalarVartype<T>();
    if constexpr (std::is_enum_v<T>) v.lVal = static_cast<LONG>(value);
    else if constexpr (std::is_same_v<T, bool>) v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    else {
        switch (v.vt) {
        case VT_I1: v.cVal = static_cast<CHAR>(value); break;
        case VT_UI1: v.bVal = static_cast<BYTE>(value); break;
        case VT_I2: v.iVal = static_cast<SHORT>(value); break;
        case VT_UI2: v.uiVal = static_cast<USHORT>(value); break;
        case VT_I4: v.lVal = static_cast<LONG>(value); break;
        case VT_UI4: v.ulVal = static_cast<ULONG>(value); break;
        case VT_I8: v.llVal = static_cast<LONGLONG>(value); break;
        case VT_UI8: v.ullVal = static_cast<ULONGLONG>(value); break;
        case VT_R4: v.fltVal = static_cast<FLOAT>(value); break;
        case VT_R8: v.dblVal = static_cast<DOUBLE>(value); break;
        default: break;
        }
    }
}

template <class T>
constexpr bool isInterfacePointer =
    std::is_pointer_v<T> && std::is_base_of_v<IUnknown, std::remove_pointer_t<T>>;

/// Holds one converted argument for the duration of the call.
template <class T>
class Arg {
    static_assert(isScalar<T> || std::is_same_v<T, BSTR> || std::is_same_v<T, VARIANT> ||
                      std::is_same_v<T, VARIANT*> || isInterfacePointer<T>,
                  "parameter type has no automation form");

public:
    HRESULT load(VARIANT* source) {
        if constexpr (std::is_same_v<T, VARIANT*>) {
            m_pointer = source;
            return S_OK;
        } else if constexpr (std::is_same_v<T, VARIANT>) {
            return VariantCopyInd(&m_holder, source);
        } else if constexpr (isScalar<T>) {
            return VariantChangeType(&m_holder, source, 0, scalarVartype<T>());
        } else if constexpr (std::is_same_v<T, BSTR>) {
            return VariantChangeType(&m_holder, source, 0, VT_BSTR);
        } else {
            using I = std::remove_pointer_t<T>;
            constexpr VARTYPE wanted = std::is_base_of_v<IDispatch, I> ? VT_DISPATCH : VT_UNKNOWN;
            HRESULT hr = VariantChangeType(&m_holder, source, 0, wanted);
            if (FAILED(hr)) return hr;
            if constexpr (std::is_same_v<I, IUnknown> || std::is_same_v<I, IDispatch>) {
                m_object = ComPtr<I>::share(reinterpret_cast<I*>(m_holder.punkVal));
            } else {
                if (m_holder.punkVal) {
                    hr = m_holder.punkVal->QueryInterface(uuidOf<I>(), m_object.putVoid());
                    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
                }
            }
            return S_OK;
        }
    }
    T get() {
        if constexpr (std::is_same_v<T, VARIANT*>) return m_pointer;
        else if constexpr (std::is_same_v<T, VARIANT>) return static_cast<VARIANT&>(m_holder);
        else if constexpr (isScalar<T>) return scalarFrom<T>(m_holder);
        else if constexpr (std::is_same_v<T, BSTR>) return m_holder.bstrVal;
        else return m_object.get();
    }

private:
    Variant m_holder;
    VARIANT* m_pointer = nullptr;
    ComPtr<std::conditional_t<isInterfacePointer<T>, std::remove_pointer_t<T>, IUnknown>> m_object;
};

/// Receives the [out, retval] value and hands it over as a VARIANT.
template <class R>
class Ret {
    static_assert(isScalar<R> || std::is_same_v<R, BSTR> || std::is_same_v<R, VARIANT> || isInterfacePointer<R>,
                  "return type has no automation form");

public:
    Ret() {
        if constexpr (std::is_same_v<R, VARIANT>) VariantInit(&m_value);
        else m_value = R{};
    }
    ~Ret() { discard(); }
    R* out() { return &m_value; }
    /// Moves the value into *result, or drops it when result is null.
    void deliver(VARIANT* result) {
        if (!result) {
            discard();
            return;
        }
        if constexpr (std::is_same_v<R, VARIANT>) {
            *result = m_value;
            VariantInit(&m_value);
        } else if constexpr (isScalar<R>) {
            scalarTo(m_value, *result);
        } else if constexpr (std::is_same_v<R, BSTR>) {
            VariantInit(result);
            result->vt = VT_BSTR;
            result->bstrVal = std::exchange(m_value, nullptr);
        } else {
            using I = std::remove_pointer_t<R>;
            VariantInit(result);
            result->vt = std::is_base_of_v<IDispatch, I> ? VT_DISPATCH : VT_UNKNOWN;
            result->punkVal = std::exchange(m_value, nullptr);
        }
    }

private:
    void discard() {
        if constexpr (std::is_same_v<R, VARIANT>) VariantClear(&m_value);
        else if constexpr (std::is_same_v<R, BSTR>) SysFreeString(std::exchange(m_value, nullptr));
        else if constexpr (isInterfacePointer<R>) {
            if (R p = std::exchange(m_value, nullptr)) p->Release();
        }
    }
    R m_value;
};

template <auto Fn, bool HasResult, std::size_t... I>
HRESULT callMember(void* self, VARIANT* const* args, VARIANT* result, UINT* failedParam,
                   std::index_sequence<I...>) {
    using F = MemberFunction<decltype(Fn)>;
    using Params = typename F::Params;
    std::tuple<Arg<std::tuple_element_t<I, Params>>...> held;
    HRESULT hr = S_OK;
    UINT failed = 0;
    const bool loaded = ((failed = UINT(I), SUCCEEDED(hr = std::get<I>(held).load(args[I]))) && ...);
    if (!loaded) {
        if (failedParam) *failedParam = failed;
        return hr;
    }
    auto* object = static_cast<typename F::Class*>(self);
    if constexpr (HasResult) {
        using R = std::remove_pointer_t<std::tuple_element_t<sizeof...(I), Params>>;
        Ret<R> ret;
        hr = (object->*Fn)(std::get<I>(held).get()..., ret.out());
        if (SUCCEEDED(hr)) ret.deliver(result);
        return hr;
    } else {
        hr = (object->*Fn)(std::get<I>(held).get()...);
        if (SUCCEEDED(hr) && result) VariantInit(result);
        return hr;
    }
}

template <auto Fn, bool HasResult>
HRESULT thunkFor(void* self, VARIANT* const* args, VARIANT* result, UINT* failedParam) {
    constexpr std::size_t all = std::tuple_size_v<typename MemberFunction<decltype(Fn)>::Params>;
    static_assert(!HasResult || all > 0, "a member with a return value needs its out-parameter");
    constexpr std::size_t inputs = HasResult ? all - 1 : all;
    return callMember<Fn, HasResult>(self, args, result, failedParam, std::make_index_sequence<inputs>{});
}

template <auto Fn, bool HasResult>
constexpr UINT inputCount() {
    constexpr std::size_t all = std::tuple_size_v<typename MemberFunction<decltype(Fn)>::Params>;
    return UINT(HasResult ? all - 1 : all);
}

}  // namespace detail

/// Whether a method delivers an [out, retval] value through its last
/// parameter.
enum class Returns { nothing, value };

/// A method. `optional` trailing parameters may be left out (they must be
/// VARIANT or VARIANT*).
template <auto Fn, Returns R = Returns::nothing>
DispMember dispMethod(const char16_t* name, DISPID id, std::initializer_list<const char16_t*> params = {},
                      UINT optional = 0) {
    constexpr bool hasResult = R == Returns::value;
    constexpr UINT count = detail::inputCount<Fn, hasResult>();
    return {name, id, DISPATCH_METHOD, params, count, count - optional, &detail::thunkFor<Fn, hasResult>};
}

/// A property get; its last parameter delivers the value, the ones before
/// it are indexes.
template <auto Fn>
DispMember dispGet(const char16_t* name, DISPID id, std::initializer_list<const char16_t*> params = {}) {
    constexpr UINT count = detail::inputCount<Fn, true>();
    return {name, id, DISPATCH_PROPERTYGET, params, count, count, &detail::thunkFor<Fn, true>};
}

/// A property put; its last parameter takes the value, the ones before it
/// are indexes.
template <auto Fn>
DispMember dispPut(const char16_t* name, DISPID id, std::initializer_list<const char16_t*> params = {}) {
    constexpr UINT count = detail::inputCount<Fn, false>();
    return {name, id, DISPATCH_PROPERTYPUT, params, count, count, &detail::thunkFor<Fn, false>};
}

/// The members of one dual interface.
class DispatchTable {
public:
    DispatchTable(std::initializer_list<DispMember> members) : m_members(members) {}
    /// Rows assembled at run time (for instance named from a type description).
    explicit DispatchTable(std::vector<DispMember> members) : m_members(std::move(members)) {}

    /// IDispatch::GetIDsOfNames: the member's DISPID, then the positions of
    /// the named parameters. DISP_E_UNKNOWNNAME (with DISPID_UNKNOWN in the
    /// slots) when a name is not known.
    HRESULT getIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) const noexcept;
    /// IDispatch::Invoke on the dual interface pointer self.
    HRESULT invoke(void* self, DISPID member, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argErr) const noexcept;

    const std::vector<DispMember>& members() const { return m_members; }

private:
    std::vector<DispMember> m_members;
};

/// A ComObject whose first interface is a dual interface served from
/// Derived::dispatchTable() (a static function returning the table).
/// GetTypeInfoCount reports no type information object: hosts here bind by
/// name through GetIDsOfNames.
template <class Derived, class Dual, class... Others>
class DualObject : public ComObject<Derived, Dual, Others...> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_INVALIDARG;
        *pctinfo = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (ppTInfo) *ppTInfo = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) override {
        return Derived::dispatchTable().getIDsOfNames(riid, rgszNames, cNames, rgDispId);
    }
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
        return Derived::dispatchTable().invoke(static_cast<Dual*>(this), dispIdMember, riid, wFlags, pDispParams,
                                               pVarResult, pExcepInfo, puArgErr);
    }
};

}  // namespace platform::com
