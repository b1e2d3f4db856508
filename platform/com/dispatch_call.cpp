#include "platform/com/dispatch_call.h"

#include "platform/codepage.h"

#include <vector>

namespace platform::com {

HRESULT dispIdOf(IDispatch* object, std::string_view name, DISPID* id) {
    if (!object || !id) return E_POINTER;
    std::u16string wide = platform::utf8ToUtf16(name);
    LPOLESTR names[1] = {wide.data()};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

namespace {

HRESULT invokeWith(IDispatch* object, DISPID id, WORD flags, std::span<const Variant> args, Variant* result) {
    // DISPPARAMS wants the last argument first. The copies are shallow: the
    // callee never frees its arguments.
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{reversed.data(), put ? &putId : nullptr, UINT(reversed.size()), put ? 1u : 0u};

    EXCEPINFO exception{};
    UINT argErr = 0;
    Variant value;
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result ? &value : nullptr,
                                &exception, &argErr);
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        if (FAILED(exception.scode)) hr = exception.scode;
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    if (SUCCEEDED(hr) && result) *result = std::move(value);
    return hr;
}

}  // namespace

HRESULT invokeByName(IDispatch* object, std::string_view name, WORD flags, std::span<const Variant> args,
                     Variant* result) {
    if (!object) return E_POINTER;
    DISPID id;
    const HRESULT hr = dispIdOf(object, name, &id);
    if (FAILED(hr)) return hr;
    return invokeWith(object, id, flags, args, result);
}

HRESULT putProperty(IDispatch* object, std::string_view name, const Variant& value,
                    std::initializer_list<Variant> index) {
    std::vector<Variant> args(index);
    args.push_back(value);
    return invokeByName(object, name, DISPATCH_PROPERTYPUT, args, nullptr);
}

}  // namespace platform::com
