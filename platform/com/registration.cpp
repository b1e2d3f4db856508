#include "platform/com/registration.h"

#include "platform/com/guid.h"

#include <dlfcn.h>
#include <filesystem>

namespace fs = std::filesystem;

namespace platform::com {
namespace {

// The universal marshaler, the proxy of every automation interface.
constexpr const char* kAutomationProxy = "{00020424-0000-0000-C000-000000000046}";

void set(RegistryTree& tree, const std::string& path, std::string_view name, std::string_view data) {
    tree.setValue(path, name, data);
}

}  // namespace

void registerClass(RegistryTree& tree, const ClassRegistration& e, std::string_view modulePath) {
    const std::string clsid = guidToString(e.clsid);
    const std::string description = e.description ? e.description : "";
    if (e.progId) {
        set(tree, e.progId, "", description);
        set(tree, std::string(e.progId) + "\\CLSID", "", clsid);
    }
    if (e.versionIndependentProgId) {
        set(tree, e.versionIndependentProgId, "", description);
        set(tree, std::string(e.versionIndependentProgId) + "\\CLSID", "", clsid);
        if (e.progId) set(tree, std::string(e.versionIndependentProgId) + "\\CurVer", "", e.progId);
    }
    const std::string key = "CLSID\\" + clsid;
    tree.deleteTree(key);
    set(tree, key, "", description);
    if (e.progId) set(tree, key + "\\ProgID", "", e.progId);
    if (e.versionIndependentProgId) set(tree, key + "\\VersionIndependentProgID", "", e.versionIndependentProgId);
    tree.createKey(key + "\\Programmable");
    set(tree, key + "\\InprocServer32", "", modulePath);
    set(tree, key + "\\InprocServer32", "ThreadingModel", e.threadingModel ? e.threadingModel : "Apartment");
    set(tree, key + "\\TypeLib", "", guidToString(e.typeLib));
    if (e.control) {
        tree.createKey(key + "\\Control");
        tree.createKey(key + "\\Insertable");
        if (e.toolboxBitmap)
            set(tree, key + "\\ToolboxBitmap32", "", std::string(modulePath) + ", " + e.toolboxBitmap);
        if (e.miscStatus) {
            set(tree, key + "\\MiscStatus", "", "0");
            set(tree, key + "\\MiscStatus\\1", "", e.miscStatus);
        }
        if (e.version) set(tree, key + "\\Version", "", e.version);
    }
}

void unregisterClass(RegistryTree& tree, const ClassRegistration& e) {
    if (e.progId) tree.deleteTree(e.progId);
    if (e.versionIndependentProgId) tree.deleteTree(e.versionIndependentProgId);
    tree.deleteTree("CLSID\\" + guidToString(e.clsid));
}

void registerTypeLib(RegistryTree& tree, const TypeLibRegistration& lib, std::string_view modulePath) {
    const std::string libid = guidToString(lib.libid);
    const std::string key = "TypeLib\\" + libid + "\\" + lib.version;
    tree.deleteTree(key);
    set(tree, key, "", lib.helpString ? lib.helpString : "");
    set(tree, key + "\\FLAGS", "", lib.flags ? lib.flags : "0");
    set(tree, key + "\\0\\linux", "", modulePath);
    set(tree, key + "\\HELPDIR", "", fs::path(std::string(modulePath)).parent_path().string());
    for (const InterfaceRegistration& i : lib.interfaces) {
        const std::string ikey = "Interface\\" + guidToString(i.iid);
        tree.deleteTree(ikey);
        set(tree, ikey, "", i.name ? i.name : "");
        set(tree, ikey + "\\ProxyStubClsid32", "", kAutomationProxy);
        set(tree, ikey + "\\TypeLib", "", libid);
        set(tree, ikey + "\\TypeLib", "Version", lib.version);
    }
}

void unregisterTypeLib(RegistryTree& tree, const TypeLibRegistration& lib) {
    const std::string libKey = "TypeLib\\" + guidToString(lib.libid);
    tree.deleteTree(libKey + "\\" + lib.version);
    if (tree.subkeys(libKey).empty()) tree.deleteTree(libKey);
    for (const InterfaceRegistration& i : lib.interfaces) tree.deleteTree("Interface\\" + guidToString(i.iid));
}

std::string modulePathOf(const void* addressInModule) {
    Dl_info info{};
    if (!::dladdr(addressInModule, &info) || !info.dli_fname) return {};
    std::error_code ec;
    const fs::path p = fs::absolute(info.dli_fname, ec);
    return ec ? std::string(info.dli_fname) : p.lexically_normal().string();
}

HRESULT registerModule(std::span<const ClassRegistration> classes, const TypeLibRegistration* typeLib,
                       const void* addressInModule) noexcept {
    try {
        const std::string path = modulePathOf(addressInModule);
        if (path.empty()) return SELFREG_E_CLASS;
        const HRESULT hr = RegistryFile().update([&](RegistryTree& tree) {
            for (const ClassRegistration& c : classes) registerClass(tree, c, path);
            if (typeLib) registerTypeLib(tree, *typeLib, path);
            return S_OK;
        });
        // The registry's own code says more than SELFREG_E_CLASS would
        // (a folder that cannot be made, a file that cannot be written).
        return FAILED(hr) ? hr : S_OK;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

HRESULT unregisterModule(std::span<const ClassRegistration> classes, const TypeLibRegistration* typeLib) noexcept {
    try {
        const HRESULT hr = RegistryFile().update([&](RegistryTree& tree) {
            for (const ClassRegistration& c : classes) unregisterClass(tree, c);
            if (typeLib) unregisterTypeLib(tree, *typeLib);
            return S_OK;
        });
        return FAILED(hr) ? hr : S_OK;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

}  // namespace platform::com
