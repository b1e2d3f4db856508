// One smart pointer for COM interfaces. It never takes a raw pointer
// implicitly: the caller says whether it adopts a reference it already owns
// or shares the object by adding one.
#pragma once

#include "platform/com/com.h"

#include <cstddef>
#include <utility>

namespace platform::com {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    /// Takes over a reference the caller owns (a fresh object, an
    /// out-parameter just filled).
    static ComPtr adopt(T* p) {
        ComPtr r;
        r.m_p = p;
        return r;
    }
    /// Adds a reference of its own.
    static ComPtr share(T* p) {
        ComPtr r;
        r.m_p = p;
        if (p) p->AddRef();
        return r;
    }
    ComPtr(const ComPtr& o) : m_p(o.m_p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    /// Releases the current object and hands out the slot for an
    /// out-parameter that delivers a new reference.
    T** put() {
        reset();
        return &m_p;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    /// Gives the reference away; the pointer is empty afterwards.
    T* detach() { return std::exchange(m_p, nullptr); }
    void reset() {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }

    /// The object's interface U, or an empty pointer when it has none.
    template <class U>
    ComPtr<U> as() const {
        ComPtr<U> r;
        if (m_p) m_p->QueryInterface(uuidOf<U>(), r.putVoid());
        return r;
    }

private:
    T* m_p = nullptr;
};

template <class T, class U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) {
    return static_cast<const void*>(a.get()) == static_cast<const void*>(b.get());
}

}  // namespace platform::com
