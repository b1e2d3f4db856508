// Object creation through the registry. A module is loaded once per process
// with dlopen and stays loaded until CoFreeUnusedLibraries finds that its
// DllCanUnloadNow agrees: code of a module must never go while one of its
// objects is alive.
#include "platform/com/creation.h"

#include "platform/codepage.h"
#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/registry.h"

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <vector>

namespace fs = std::filesystem;

namespace platform::com {
namespace {

struct LoadedModule {
    std::string path;
    void* handle;
    PFN_DllGetClassObject getClassObject;
    PFN_DllCanUnloadNow canUnloadNow;
};

// Recursive: a module may create objects of another class while it makes
// its class object.
std::recursive_mutex g_modulesMutex;
std::vector<LoadedModule> g_modules;

std::string normalPath(std::string_view path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(std::string(path)), ec);
    if (ec) return std::string(path);
    return p.lexically_normal().string();
}

// dlopen of a module file, with the reason it could not be opened.
HRESULT openModuleFile(const std::string& path, void** handle, std::string* message) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        if (message) *message = "module not found: " + path;
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    *handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!*handle) {
        if (message) *message = ::dlerror();
        return HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT);
    }
    return S_OK;
}

// Loads (or finds) the module; the caller holds g_modulesMutex.
HRESULT loadModule(const std::string& path, LoadedModule** out, std::string* message) {
    for (LoadedModule& m : g_modules)
        if (m.path == path) {
            *out = &m;
            return S_OK;
        }
    void* handle = nullptr;
    if (const HRESULT hr = openModuleFile(path, &handle, message); FAILED(hr)) return hr;
    auto get = reinterpret_cast<PFN_DllGetClassObject>(::dlsym(handle, "DllGetClassObject"));
    auto canUnload = reinterpret_cast<PFN_DllCanUnloadNow>(::dlsym(handle, "DllCanUnloadNow"));
    if (!get) {
        if (message) *message = "no DllGetClassObject in " + path;
        ::dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    g_modules.push_back({path, handle, get, canUnload});
    *out = &g_modules.back();
    return S_OK;
}

HRESULT readRegistry(RegistryTree& tree) { return RegistryFile().load(tree); }

}  // namespace

HRESULT classIdOf(std::string_view name, CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_NULL;
    if (name.empty()) return CO_E_CLASSSTRING;
    if (name.front() == '{') {
        const auto g = parseGuid(name);
        if (!g) return CO_E_CLASSSTRING;
        *clsid = *g;
        return S_OK;
    }
    const std::u16string wide = platform::utf8ToUtf16(name);
    return CLSIDFromProgID(wide.c_str(), clsid);
}

HRESULT createObject(std::string_view name, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    CLSID clsid;
    const HRESULT hr = classIdOf(name, &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, riid, ppv);
}

bool isModuleLoaded(std::string_view modulePath) {
    const std::string path = normalPath(modulePath);
    std::lock_guard lock(g_modulesMutex);
    for (const LoadedModule& m : g_modules)
        if (m.path == path) return true;
    return false;
}

std::size_t loadedModuleCount() {
    std::lock_guard lock(g_modulesMutex);
    return g_modules.size();
}

HRESULT registerServer(std::string_view modulePath, bool unregister, std::string* message) {
    const std::string path = normalPath(modulePath);
    void* handle = nullptr;
    if (const HRESULT hr = openModuleFile(path, &handle, message); FAILED(hr)) return hr;
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto function = reinterpret_cast<PFN_DllRegisterServer>(::dlsym(handle, entry));
    if (!function) {
        if (message) *message = std::string("no ") + entry + " in " + path;
        ::dlclose(handle);
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    const HRESULT hr = function();
    if (FAILED(hr) && message) *message = std::string(entry) + " failed";
    auto canUnload = reinterpret_cast<PFN_DllCanUnloadNow>(::dlsym(handle, "DllCanUnloadNow"));
    // A module that still has objects alive stays loaded for the rest of
    // the process.
    if (canUnload && canUnload() == S_OK) ::dlclose(handle);
    return hr;
}

}  // namespace platform::com

using namespace platform::com;

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
    if (!lpclsid) return E_INVALIDARG;
    *lpclsid = CLSID_NULL;
    if (!lpszProgID) return E_INVALIDARG;
    std::u16string_view name(lpszProgID);
    const std::string progId = platform::utf16ToUtf8(name);
    if (!RegistryTree::validPath(progId) || progId.find('\\') != std::string::npos) return CO_E_CLASSSTRING;
    RegistryTree tree;
    if (FAILED(readRegistry(tree))) return REGDB_E_READREGDB;
    const auto text = tree.queryValue(progId + "\\CLSID");
    if (!text) return CO_E_CLASSSTRING;
    const auto clsid = parseGuid(*text);
    if (!clsid) return CO_E_CLASSSTRING;
    *lpclsid = *clsid;
    return S_OK;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
    if (!lplpszProgID) return E_INVALIDARG;
    *lplpszProgID = nullptr;
    RegistryTree tree;
    if (FAILED(readRegistry(tree))) return REGDB_E_READREGDB;
    const auto progId = tree.queryValue("CLSID\\" + guidToString(clsid) + "\\ProgID");
    if (!progId) return REGDB_E_CLASSNOTREG;
    const std::u16string wide = platform::utf8ToUtf16(*progId);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!out) return E_OUTOFMEMORY;
    std::memcpy(out, wide.c_str(), (wide.size() + 1) * sizeof(OLECHAR));
    *lplpszProgID = out;
    return S_OK;
}

HRESULT CoInitialize(LPVOID) { return S_OK; }
HRESULT CoInitializeEx(LPVOID, DWORD) { return S_OK; }
void CoUninitialize() { CoFreeUnusedLibraries(); }

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    // Only in-process servers exist on this platform.
    if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    RegistryTree tree;
    if (FAILED(readRegistry(tree))) return REGDB_E_READREGDB;
    const auto path = tree.queryValue("CLSID\\" + guidToString(rclsid) + "\\InprocServer32");
    if (!path || path->empty()) return REGDB_E_CLASSNOTREG;

    std::lock_guard lock(g_modulesMutex);
    LoadedModule* module = nullptr;
    const HRESULT hr = loadModule(normalPath(*path), &module, nullptr);
    if (FAILED(hr)) return hr;
    return module->getClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, factory.putVoid());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(pUnkOuter, riid, ppv);
}

void CoFreeUnusedLibraries() {
    std::lock_guard lock(g_modulesMutex);
    for (auto it = g_modules.begin(); it != g_modules.end();) {
        if (it->canUnloadNow && it->canUnloadNow() == S_OK) {
            ::dlclose(it->handle);
            it = g_modules.erase(it);
        } else {
            ++it;
        }
    }
}
