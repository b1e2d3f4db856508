// Building blocks of in-process COM servers: the module's lock count,
// reference-counted objects answering a fixed list of interfaces, class
// factories and the body of DllGetClassObject / DllCanUnloadNow.
#pragma once

#include "platform/com/comptr.h"

#include <atomic>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace platform::com {

/// The counts of the module this code is linked into. Every module links
/// its own copy of the runtime and so keeps its own counts; the host's copy
/// counts the host's own objects.
void objectCreated() noexcept;
void objectDestroyed() noexcept;
/// Objects of this module alive now.
LONG liveObjectCount() noexcept;
/// IClassFactory::LockServer.
HRESULT lockServer(bool lock) noexcept;
/// What DllCanUnloadNow answers: S_OK when no object is alive and no server
/// lock is held, else S_FALSE.
HRESULT moduleCanUnloadNow() noexcept;

namespace detail {

template <class I>
constexpr bool interfaceChainHas(REFIID riid) {
    if constexpr (std::is_void_v<I>) {
        return false;
    } else {
        return IsEqualIID(riid, uuidOf<I>()) || interfaceChainHas<typename InterfaceInfo<I>::Base>(riid);
    }
}

template <class First, class...>
struct FirstOf {
    using type = First;
};

}  // namespace detail

/// A reference-counted object implementing the listed interfaces (and
/// their base interfaces). QueryInterface answers the first listed
/// interface whose chain holds the IID; Derived may answer more with
/// `void* queryOther(REFIID)`. Every live object holds the module.
template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        void* p = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            using First = typename detail::FirstOf<Interfaces...>::type;
            p = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            ((detail::interfaceChainHas<Interfaces>(riid) ? (p = static_cast<Interfaces*>(this), true) : false) ||
             ...);
        }
        if (!p) p = static_cast<Derived*>(this)->queryOther(riid);
        if (!p) return E_NOINTERFACE;
        AddRef();
        *ppv = p;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

    /// Interfaces beyond the listed ones; none by default.
    void* queryOther(REFIID) { return nullptr; }

protected:
    ComObject() { objectCreated(); }
    virtual ~ComObject() { objectDestroyed(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    std::atomic<ULONG> m_refs{1};
};

/// A new object with its first reference adopted; empty when memory runs
/// out or the constructor throws.
template <class T, class... Args>
ComPtr<T> makeObject(Args&&... args) noexcept {
    try {
        return ComPtr<T>::adopt(new T(std::forward<Args>(args)...));
    } catch (...) {
        return {};
    }
}

/// The class factory of a class T with a default constructor.
template <class T>
class ClassFactory final : public ComObject<ClassFactory<T>, IClassFactory> {
public:
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (pUnkOuter) return CLASS_E_NOAGGREGATION;
        ComPtr<T> object = makeObject<T>();
        if (!object) return E_OUTOFMEMORY;
        return object->QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL fLock) override { return lockServer(fLock != 0); }
};

/// One creatable class of a module.
struct ClassEntry {
    const CLSID* clsid;
    HRESULT (*getFactory)(REFIID riid, void** ppv);
};

/// ClassEntry::getFactory for a class with a default constructor.
template <class T>
HRESULT factoryOf(REFIID riid, void** ppv) {
    ComPtr<ClassFactory<T>> factory = makeObject<ClassFactory<T>>();
    if (!factory) return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, ppv);
}

/// The body of DllGetClassObject for the module's classes.
HRESULT getClassObject(std::span<const ClassEntry> classes, REFCLSID rclsid, REFIID riid, void** ppv) noexcept;

}  // namespace platform::com
