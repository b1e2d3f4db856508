// The registry entries of in-process servers: what DllRegisterServer writes
// and DllUnregisterServer removes, described by tables in the module.
#pragma once

#include "platform/com/registry.h"

#include <span>
#include <string>
#include <string_view>

namespace platform::com {

/// One creatable class. Registration writes, under the classes root:
///   <progId>                     = description, CLSID = {clsid}
///   <versionIndependentProgId>   = description, CLSID = {clsid}, CurVer = <progId>
///   CLSID\{clsid}                = description (the key is removed and
///                                  rewritten), with ProgID,
///                                  VersionIndependentProgID, Programmable,
///                                  InprocServer32 = module path
///                                  (ThreadingModel), TypeLib = {typeLib}
/// and for a control also Control, Insertable, ToolboxBitmap32 =
/// "<module path>, <toolboxBitmap>", MiscStatus = "0" with subkey
/// "1" = miscStatus, and Version.
struct ClassRegistration {
    CLSID clsid;
    const char* description;
    const char* progId;
    const char* versionIndependentProgId;
    GUID typeLib;
    const char* threadingModel = "Apartment";
    bool control = false;
    const char* toolboxBitmap = nullptr;
    const char* miscStatus = nullptr;
    const char* version = nullptr;
};

/// An interface described by the module's type library.
struct InterfaceRegistration {
    IID iid;
    const char* name;
};

/// The type library of a module. Registration writes
///   TypeLib\{libid}\<version> = helpString, FLAGS, HELPDIR and
///   0\linux = module path,
/// and for each interface Interface\{iid} = name with ProxyStubClsid32 and
/// TypeLib (Version).
struct TypeLibRegistration {
    GUID libid;
    const char* version;
    const char* helpString;
    const char* flags;  ///< "0", or "2" for a library of controls
    std::span<const InterfaceRegistration> interfaces;
};

void registerClass(RegistryTree& tree, const ClassRegistration& entry, std::string_view modulePath);
/// Removes the ProgID keys and the class's key; the "CLSID" key stays.
void unregisterClass(RegistryTree& tree, const ClassRegistration& entry);
void registerTypeLib(RegistryTree& tree, const TypeLibRegistration& lib, std::string_view modulePath);
void unregisterTypeLib(RegistryTree& tree, const TypeLibRegistration& lib);

/// The absolute path of the shared object that holds the address (a
/// function or variable of the module).
std::string modulePathOf(const void* addressInModule);

/// The body of DllRegisterServer: writes the classes and the type library
/// (may be null) of the module holding addressInModule into the registry
/// file in force. A registry file that cannot be written gives the
/// registry's code (for example E_ACCESSDENIED).
HRESULT registerModule(std::span<const ClassRegistration> classes, const TypeLibRegistration* typeLib,
                       const void* addressInModule) noexcept;
/// The body of DllUnregisterServer.
HRESULT unregisterModule(std::span<const ClassRegistration> classes, const TypeLibRegistration* typeLib) noexcept;

}  // namespace platform::com
