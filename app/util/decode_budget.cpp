#include "app/util/decode_budget.h"

#include <charconv>
#include <cstdlib>
#include <string>

namespace mirofoto {

std::uint64_t decodeMemoryFromText(const char* text) {
    if (!text || !*text) return kDefaultDecodeMemory;
    const std::string_view t(text);
    std::uint64_t mib = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), mib);
    // Past 2^44 MiB the bytes would not fit 64 bits.
    if (error != std::errc() || end != t.data() + t.size() || mib == 0 || mib > (std::uint64_t(1) << 44))
        return kDefaultDecodeMemory;
    return mib << 20;
}

DecodeMemoryBudget::Reservation::~Reservation() {
    if (m_budget) m_budget->release(m_bytes);
}

std::optional<DecodeMemoryBudget::Reservation> DecodeMemoryBudget::reserve(std::uint64_t bytes) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (bytes > m_total) return std::nullopt;
        if (bytes <= m_total - m_inUse) break;
        m_freed.wait(lock);
    }
    m_inUse += bytes;
    if (m_inUse > m_peak) m_peak = m_inUse;
    return Reservation(this, bytes);
}

void DecodeMemoryBudget::release(std::uint64_t bytes) {
    {
        std::lock_guard lock(m_mutex);
        m_inUse -= bytes;
    }
    m_freed.notify_all();
}

std::uint64_t DecodeMemoryBudget::total() const {
    std::lock_guard lock(m_mutex);
    return m_total;
}

void DecodeMemoryBudget::setTotal(std::uint64_t total) {
    {
        std::lock_guard lock(m_mutex);
        if (m_total == total) return;
        m_total = total;
    }
    m_freed.notify_all();
}

std::uint64_t DecodeMemoryBudget::inUse() const {
    std::lock_guard lock(m_mutex);
    return m_inUse;
}

std::uint64_t DecodeMemoryBudget::peak() const {
    std::lock_guard lock(m_mutex);
    return m_peak;
}

DecodeMemoryBudget& decodeMemoryBudget() {
    static DecodeMemoryBudget budget(kDefaultDecodeMemory);
    budget.setTotal(decodeMemoryFromText(std::getenv(std::string(kDecodeMemoryVariable).c_str())));
    return budget;
}

}  // namespace mirofoto
