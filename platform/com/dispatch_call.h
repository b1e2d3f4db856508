// Calling automation objects by name from host code: GetIDsOfNames, then
// Invoke with the arguments laid out right to left as DISPPARAMS wants.
#pragma once

#include "platform/com/variant.h"

#include <initializer_list>
#include <span>
#include <string_view>

namespace platform::com {

/// The DISPID of a member; DISP_E_UNKNOWNNAME when the object has none.
HRESULT dispIdOf(IDispatch* object, std::string_view name, DISPID* id);

/// Calls a member by name. args are in their natural order (first parameter
/// first); a property put passes its value as the last argument. When the
/// member itself fails (DISP_E_EXCEPTION), its own HRESULT from EXCEPINFO
/// is returned, so callers see the same code as through the vtable. result
/// may be null.
HRESULT invokeByName(IDispatch* object, std::string_view name, WORD flags, std::span<const Variant> args,
                     Variant* result);

inline HRESULT callMethod(IDispatch* object, std::string_view name, std::initializer_list<Variant> args = {},
                          Variant* result = nullptr) {
    return invokeByName(object, name, DISPATCH_METHOD, std::span<const Variant>(args.begin(), args.size()), result);
}

/// A property value; index holds the arguments of an indexed property.
inline HRESULT getProperty(IDispatch* object, std::string_view name, Variant* result,
                           std::initializer_list<Variant> index = {}) {
    return invokeByName(object, name, DISPATCH_PROPERTYGET, std::span<const Variant>(index.begin(), index.size()),
                        result);
}

/// Sets a property; index holds the arguments of an indexed property.
HRESULT putProperty(IDispatch* object, std::string_view name, const Variant& value,
                    std::initializer_list<Variant> index = {});

}  // namespace platform::com
