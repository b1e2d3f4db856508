// One memory budget for every picture being decoded at once. A picture is
// admitted with what its decoding is estimated to take, and waits while
// the pictures already admitted leave too little; so parallel workers can
// never together take more than the budget, however many there are. A
// picture that alone needs more than the whole budget is never admitted.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>

namespace mirofoto {

/// The environment variable that sets the budget, in MiB.
inline constexpr std::string_view kDecodeMemoryVariable = "MIROFOTO_DECODE_MEMORY_MIB";
inline constexpr std::uint64_t kDefaultDecodeMemory = std::uint64_t(1) << 30;  // 1 GiB

/// The budget a value of the variable gives: a whole number of MiB from 1
/// on; anything else (unset, empty, 0, not a number) gives the default.
std::uint64_t decodeMemoryFromText(const char* text);

class DecodeMemoryBudget {
public:
    explicit DecodeMemoryBudget(std::uint64_t total) : m_total(total) {}
    DecodeMemoryBudget(const DecodeMemoryBudget&) = delete;
    DecodeMemoryBudget& operator=(const DecodeMemoryBudget&) = delete;

    /// Memory held while a picture is decoded; given back when it goes.
    class Reservation {
    public:
        Reservation(Reservation&& o) noexcept : m_budget(o.m_budget), m_bytes(o.m_bytes) { o.m_budget = nullptr; }
        Reservation& operator=(Reservation&&) = delete;
        ~Reservation();
        std::uint64_t bytes() const { return m_bytes; }

    private:
        friend class DecodeMemoryBudget;
        Reservation(DecodeMemoryBudget* budget, std::uint64_t bytes) : m_budget(budget), m_bytes(bytes) {}
        DecodeMemoryBudget* m_budget;
        std::uint64_t m_bytes;
    };

    /// Waits until bytes fit beside what is held, then holds them; nothing
    /// (at once) when bytes alone exceed the whole budget.
    std::optional<Reservation> reserve(std::uint64_t bytes);

    std::uint64_t total() const;
    /// A new total; waiters are looked at again.
    void setTotal(std::uint64_t total);
    /// What the reservations hold now, and the most they ever held together.
    std::uint64_t inUse() const;
    std::uint64_t peak() const;

private:
    void release(std::uint64_t bytes);

    mutable std::mutex m_mutex;
    std::condition_variable m_freed;
    std::uint64_t m_total;
    std::uint64_t m_inUse = 0;
    std::uint64_t m_peak = 0;
};

/// The program's one budget, its total taken from the environment variable
/// at every call (so a test or a script may change it between runs).
DecodeMemoryBudget& decodeMemoryBudget();

}  // namespace mirofoto
