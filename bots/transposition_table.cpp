#include "bots/transposition_table.h"

TranspositionTable::TranspositionTable(int log2Slots)
    : m_entries(std::size_t{1} << log2Slots), m_shift(64 - log2Slots) {}

void TranspositionTable::Store(std::uint64_t key, int depth, int score, Bound bound, int move) {
    Entry& entry = m_entries[SlotOf(key)];
    if (entry.key == key && entry.depth > depth) {
        return;  // keep the deeper result for the same position
    }
    entry.key = key;
    entry.score = static_cast<std::int16_t>(score);
    entry.depth = static_cast<std::uint8_t>(depth);
    entry.bound = bound;
    entry.move = static_cast<std::uint8_t>(move);
}

const TranspositionTable::Entry* TranspositionTable::Probe(std::uint64_t key) const {
    const Entry& entry = m_entries[SlotOf(key)];
    return entry.key == key ? &entry : nullptr;
}

void TranspositionTable::Clear() {
    m_entries.assign(m_entries.size(), Entry{});
}

std::size_t TranspositionTable::SlotOf(std::uint64_t key) const {
    // Fibonacci hashing: keys of nearby positions differ in few low bits, and the multiply spreads
    // them over the top bits, which pick the slot.
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> m_shift);
}
