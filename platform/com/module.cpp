#include "platform/com/object.h"

namespace platform::com {
namespace {

std::atomic<LONG> g_objects{0};
std::atomic<LONG> g_serverLocks{0};

}  // namespace

void objectCreated() noexcept { ++g_objects; }
void objectDestroyed() noexcept { --g_objects; }
LONG liveObjectCount() noexcept { return g_objects.load(); }

HRESULT lockServer(bool lock) noexcept {
    if (lock) {
        ++g_serverLocks;
        return S_OK;
    }
    // An unbalanced unlock must not let the module go while it is in use.
    LONG current = g_serverLocks.load();
    while (current > 0)
        if (g_serverLocks.compare_exchange_weak(current, current - 1)) return S_OK;
    return E_UNEXPECTED;
}

HRESULT moduleCanUnloadNow() noexcept { return g_objects.load() == 0 && g_serverLocks.load() == 0 ? S_OK : S_FALSE; }

HRESULT getClassObject(std::span<const ClassEntry> classes, REFCLSID rclsid, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const ClassEntry& entry : classes)
        if (IsEqualCLSID(*entry.clsid, rclsid)) return entry.getFactory(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace platform::com
