#pragma once

#include "bots/bitboard_position.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The exact scores of the positions at the start of a game, read from a file that
// fourfall-book generates once, so that they need no search.
//
// The book holds the score of every position with exactly Depth() discs that nobody has won and
// in which the side to move cannot win at once, each stored once for itself and its mirror image
// (the same score). A position with fewer discs is scored by a short search down to that depth,
// whose leaves are the book's entries.
//
// The file: the 8 bytes "FFBOOK1\n", the depth as one byte, the number of entries as 4 bytes
// little-endian, then the entries ascending, each 8 bytes little-endian: the smaller of the
// position's key and its mirror's key (BitboardPosition::Key) shifted left by 8, plus the score
// plus 64.
//
// Immutable once loaded: any number of threads may score positions at once.
class OpeningBook {
public:
    struct Entry {
        std::uint64_t key = 0;  // CanonicalKey of the position
        int score = 0;
    };

    // The largest depth a book may have.
    static constexpr int kMaxDepth = 16;

    // Reads a book. Nothing, with a one-line message in `error`, for a file that cannot be read
    // or is no well-formed book.
    static std::optional<OpeningBook> Load(const std::string& path, std::string& error);

    // Writes a book of `depth` with `entries` (any order, each key once). False, with a one-line
    // message in `error`, when the file cannot be written.
    static bool Save(const std::string& path, int depth, std::vector<Entry> entries,
                     std::string& error);

    // Where the programs look for the book when told no other: share/fourfall/opening.book
    // beside the directory of the running program (both installed and in the build tree).
    static std::string DefaultPath();

    // The positions a book of `depth` must score, each once (the first of a mirror pair met),
    // in the order a depth-first walk of the games meets them, so that neighbours share work.
    static std::vector<BitboardPosition> Frontier(int depth);

    // The same number for a position and its mirror image.
    static std::uint64_t CanonicalKey(const BitboardPosition& position);

    // Precondition: `entries` ascending by key, as Load checks them.
    OpeningBook(int depth, std::vector<Entry> entries);

    int Depth() const { return m_depth; }
    std::size_t Size() const { return m_entries.size(); }

    // The score of `position` (nobody has won yet, the board is not full) when it has at most
    // Depth() discs; nothing when it has more, or when the book lacks an entry it needs (a
    // damaged book).
    std::optional<int> Score(const BitboardPosition& position) const;

private:
    // Negamax down to the book's depth; nothing when an entry is missing.
    std::optional<int> Search(const BitboardPosition& position, int alpha, int beta) const;
    std::optional<int> Find(std::uint64_t key) const;

    int m_depth = 0;
    std::vector<Entry> m_entries;  // ascending by key
};
