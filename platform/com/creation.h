// Creating objects of registered classes from C++ code, the cache of loaded
// modules, and registering a module (what regsvr does).
#pragma once

#include "platform/com/comptr.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::com {

/// The class named by a ProgID ("Kelpo.Kelpo") or by its braced CLSID text.
HRESULT classIdOf(std::string_view progIdOrClsid, CLSID* clsid);

/// Creates an object of a registered in-process class, named as classIdOf
/// accepts, and asks it for riid.
HRESULT createObject(std::string_view progIdOrClsid, REFIID riid, void** ppv);

template <class T>
HRESULT createObject(std::string_view progIdOrClsid, ComPtr<T>& out) {
    return createObject(progIdOrClsid, uuidOf<T>(), out.putVoid());
}

/// Whether this process has the module loaded through the runtime.
bool isModuleLoaded(std::string_view modulePath);
/// The number of modules the runtime holds loaded.
std::size_t loadedModuleCount();

/// Loads the module, calls its DllRegisterServer (or DllUnregisterServer)
/// and lets it go again when DllCanUnloadNow agrees. The module's path is
/// made absolute first, since the module writes it into the registry. On
/// failure, message (when given) says what went wrong.
HRESULT registerServer(std::string_view modulePath, bool unregister, std::string* message = nullptr);

}  // namespace platform::com
