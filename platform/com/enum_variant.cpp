#include "platform/com/enum_variant.h"

#include "platform/com/object.h"

#include <memory>

namespace platform::com {
namespace {

class VariantEnumerator final : public ComObject<VariantEnumerator, IEnumVARIANT> {
public:
    VariantEnumerator(std::shared_ptr<const std::vector<Variant>> items, std::size_t position)
        : m_items(std::move(items)), m_position(position) {}

    STDMETHODIMP Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override {
        if (pCeltFetched) *pCeltFetched = 0;
        if (celt == 0) return S_OK;
        if (!rgVar || (celt > 1 && !pCeltFetched)) return E_POINTER;
        ULONG fetched = 0;
        while (fetched < celt && m_position < m_items->size()) {
            VariantInit(&rgVar[fetched]);
            const HRESULT hr = VariantCopy(&rgVar[fetched], &(*m_items)[m_position]);
            if (FAILED(hr)) {
                for (ULONG i = 0; i < fetched; ++i) VariantClear(&rgVar[i]);
                m_position -= fetched;
                return hr;
            }
            ++fetched;
            ++m_position;
        }
        if (pCeltFetched) *pCeltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG celt) override {
        const std::size_t left = m_items->size() - m_position;
        if (celt > left) {
            m_position = m_items->size();
            return S_FALSE;
        }
        m_position += celt;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        m_position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        auto copy = makeObject<VariantEnumerator>(m_items, m_position);
        if (!copy) return E_OUTOFMEMORY;
        *ppEnum = copy.detach();
        return S_OK;
    }

private:
    std::shared_ptr<const std::vector<Variant>> m_items;
    std::size_t m_position;
};

}  // namespace

HRESULT createVariantEnumerator(std::vector<Variant> items, IEnumVARIANT** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        auto shared = std::make_shared<const std::vector<Variant>>(std::move(items));
        auto enumerator = makeObject<VariantEnumerator>(std::move(shared), std::size_t(0));
        if (!enumerator) return E_OUTOFMEMORY;
        *out = enumerator.detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace platform::com
