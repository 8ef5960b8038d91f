#pragma once

#include <cstdint>
#include <vector>

// A fixed-size cache of search results keyed by BitboardPosition::Key(), so that a position
// reached by another move order, or searched again one ply deeper, starts from what is known.
//
// One entry per slot; a new result replaces the slot's entry unless that entry is for the same
// position and was searched deeper. Keys are never 0, so 0 marks an empty slot.
// Single-threaded: owned and used by one searcher.
class TranspositionTable {
public:
    // How a stored score relates to the position's value at that depth.
    enum class Bound : std::uint8_t {
        Exact,  // the value
        Lower,  // the value is at least the score (the search stopped at a cut)
        Upper,  // the value is at most the score (no move reached alpha)
    };
    struct Entry {
        std::uint64_t key = 0;
        std::int16_t score = 0;
        std::uint8_t depth = 0;
        Bound bound = Bound::Exact;
        std::uint8_t move = 0;  // best column found, 1..7, or 0
    };

    // A table of 2^log2Slots entries (16 bytes each). Precondition: 1 <= log2Slots <= 30.
    explicit TranspositionTable(int log2Slots);

    // Records a result. Preconditions: key != 0, 0 <= depth <= 255, |score| < 32768.
    void Store(std::uint64_t key, int depth, int score, Bound bound, int move);
    // The entry for exactly this key, or null. Valid until the next Store or Clear.
    const Entry* Probe(std::uint64_t key) const;
    // Empties every slot.
    void Clear();

    std::size_t SlotCount() const { return m_entries.size(); }

private:
    std::size_t SlotOf(std::uint64_t key) const;

    std::vector<Entry> m_entries;
    int m_shift;
};
