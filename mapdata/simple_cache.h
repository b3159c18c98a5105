// A small fixed cache with round-robin replacement. A miss calls the
// loader and stores its result in the slot the marker points at (releasing
// what was there) and moves the marker on. A failed load is remembered like
// a value, so the key answers "nothing" until its slot is reused.
#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace velka {

template <class Value>
class SimpleCache {
public:
    // The loader returns nothing on failure.
    using Loader = std::function<std::optional<Value>(int nKey)>;

    SimpleCache(std::size_t cSize, Loader loader) : m_slots(cSize), m_loader(std::move(loader)) {}

    // The value of the key, loading it on a miss; null when its load failed.
    Value* Get(int nKey) {
        for (Slot& s : m_slots)
            if (s.nKey == nKey) return s.value ? &*s.value : nullptr;
        if (m_slots.empty()) return nullptr;
        Slot& s = m_slots[m_nMarker];
        m_nMarker = (m_nMarker + 1) % m_slots.size();
        s.value.reset(); // released before the load, so two values never overlap in the slot
        s.nKey = nKey;
        s.value = m_loader(nKey);
        return s.value ? &*s.value : nullptr;
    }
    // Releases every value and empties all slots.
    void Clear() {
        for (Slot& s : m_slots) {
            s.value.reset();
            s.nKey = -1;
        }
        m_nMarker = 0;
    }
    // Slots holding a loaded value.
    std::size_t Loaded() const {
        std::size_t n = 0;
        for (const Slot& s : m_slots) n += s.value.has_value();
        return n;
    }
    std::size_t Marker() const { return m_nMarker; }

private:
    struct Slot {
        int nKey = -1;
        std::optional<Value> value;
    };
    std::vector<Slot> m_slots;
    std::size_t m_nMarker = 0;
    Loader m_loader;
};

} // namespace velka
