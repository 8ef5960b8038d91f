#include "solver/opening_book.h"

#include "solver/solver.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr char kMagic[8] = {'F', 'F', 'B', 'O', 'O', 'K', '1', '\n'};
constexpr int kScoreBias = 64;
constexpr int kStride = BitboardPosition::kRows + 1;
constexpr std::uint64_t kColumnBits = (std::uint64_t{1} << kStride) - 1;

// A position's key with its columns in the opposite order. Each column's seven bits of the key
// depend on that column alone (its discs of the side to move plus its discs plus its bottom bit
// stay below the next column), so mirroring the key mirrors the position.
std::uint64_t MirrorKey(std::uint64_t key) {
    std::uint64_t mirrored = 0;
    for (int column = 0; column < BitboardPosition::kColumns; ++column) {
        const std::uint64_t bits = (key >> (column * kStride)) & kColumnBits;
        mirrored |= bits << ((BitboardPosition::kColumns - 1 - column) * kStride);
    }
    return mirrored;
}

void PutLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

// A set of position keys (never 0, which marks a free slot), open addressing with linear probing:
// the walk of Frontier inserts millions of them, and a node-based set spends most of its time
// allocating.
class KeySet {
public:
    // Adds `key`; false when it was there already.
    bool Insert(std::uint64_t key) {
        if (2 * (m_size + 1) > m_slots.size()) {
            Grow();
        }
        std::size_t at = Slot(key);
        while (m_slots[at] != 0) {
            if (m_slots[at] == key) {
                return false;
            }
            at = (at + 1) & (m_slots.size() - 1);
        }
        m_slots[at] = key;
        ++m_size;
        return true;
    }

private:
    std::size_t Slot(std::uint64_t key) const {
        // The high bits of a multiplication by an odd constant spread nearby keys apart.
        return static_cast<std::size_t>((key * 0x9e3779b97f4a7c15) >> m_shift);
    }
    void Grow() {
        std::vector<std::uint64_t> old(std::max<std::size_t>(1024, 2 * m_slots.size()), 0);
        old.swap(m_slots);
        m_shift = 64 - std::countr_zero(m_slots.size());
        m_size = 0;
        for (const std::uint64_t key : old) {
            if (key != 0) {
                Insert(key);
            }
        }
    }

    std::vector<std::uint64_t> m_slots;
    std::size_t m_size = 0;
    int m_shift = 64;
};

std::uint64_t GetLittleEndian(const unsigned char* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= std::uint64_t{in[i]} << (8 * i);
    }
    return value;
}

}  // namespace

OpeningBook::OpeningBook(int depth, std::vector<Entry> entries)
    : m_depth(depth), m_entries(std::move(entries)) {}

std::uint64_t OpeningBook::CanonicalKey(const BitboardPosition& position) {
    const std::uint64_t key = position.Key();
    return std::min(key, MirrorKey(key));
}

std::optional<OpeningBook> OpeningBook::Load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the opening book " + path;
        return std::nullopt;
    }
    // Read whole at once: every program loads the book as it starts, and a stream iterator, a
    // character at a time, would spend tens of milliseconds on a book of 14 MB. What has no size
    // (a pipe, a device) is copied by blocks instead; a directory reads as empty.
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(path, sizeError);
    std::string bytes;
    if (!sizeError) {
        bytes.resize(size);
        in.read(bytes.data(), static_cast<std::streamsize>(size));
        bytes.resize(static_cast<std::size_t>(in.gcount()));  // shorter if it shrank meanwhile
    } else {
        std::ostringstream copy;
        copy << in.rdbuf();
        bytes = std::move(copy).str();
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    constexpr std::size_t kHeader = sizeof kMagic + 1 + 4;
    if (bytes.size() < kHeader || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        error = path + " is no opening book";
        return std::nullopt;
    }
    const int depth = data[sizeof kMagic];
    const std::uint64_t count = GetLittleEndian(data + sizeof kMagic + 1, 4);
    if (depth > kMaxDepth || bytes.size() != kHeader + 8 * count) {
        error = path + " is a damaged opening book (its size does not match its header)";
        return std::nullopt;
    }
    std::vector<Entry> entries;
    entries.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t word = GetLittleEndian(data + kHeader + 8 * i, 8);
        const Entry entry{word >> 8, static_cast<int>(word & 0xff) - kScoreBias};
        if ((!entries.empty() && entries.back().key >= entry.key) || entry.score < -21 ||
            entry.score > 21) {
            error = path + " is a damaged opening book (entry " + std::to_string(i + 1) +
                    " is out of order or range)";
            return std::nullopt;
        }
        entries.push_back(entry);
    }
    return OpeningBook(depth, std::move(entries));
}

bool OpeningBook::Save(const std::string& path, int depth, std::vector<Entry> entries,
                       std::string& error) {
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.key < b.key; });
    std::string bytes(kMagic, sizeof kMagic);
    bytes += static_cast<char>(depth);
    PutLittleEndian(bytes, entries.size(), 4);
    for (const Entry& entry : entries) {
        PutLittleEndian(bytes,
                        (entry.key << 8) | static_cast<std::uint64_t>(entry.score + kScoreBias), 8);
    }
    // Written whole beside the target and renamed over it, so that a reader never meets half a
    // book.
    const std::string temporary = path + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    std::error_code code;
    if (!out || (std::filesystem::rename(temporary, path, code), code)) {
        std::filesystem::remove(temporary, code);
        error = "cannot write the opening book " + path;
        return false;
    }
    return true;
}

std::string OpeningBook::DefaultPath() {
    std::error_code code;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", code);
    if (code) {
        return "opening.book";
    }
    return (program.parent_path().parent_path() / "share" / "fourfall" / "opening.book").string();
}

std::vector<BitboardPosition> OpeningBook::Frontier(int depth) {
    std::vector<BitboardPosition> frontier;
    KeySet seen;
    // Every game that nobody has won yet, each position once; a winning move ends a game, so it
    // is never played, but play goes on past a missed win.
    const auto walk = [&](const auto& self, const BitboardPosition& position) -> void {
        if (!seen.Insert(CanonicalKey(position))) {
            return;
        }
        if (position.MoveCount() == depth) {
            if (!position.CanWinNext()) {
                frontier.push_back(position);
            }
            return;
        }
        for (const int column : BitboardPosition::kCentreOut) {
            if (position.CanPlay(column) && !position.IsWinningMove(column)) {
                BitboardPosition child = position;
                child.Play(column);
                self(self, child);
            }
        }
    };
    walk(walk, BitboardPosition());
    return frontier;
}

std::optional<int> OpeningBook::Find(std::uint64_t key) const {
    const auto at =
        std::lower_bound(m_entries.begin(), m_entries.end(), key,
                         [](const Entry& entry, std::uint64_t k) { return entry.key < k; });
    if (at == m_entries.end() || at->key != key) {
        return std::nullopt;
    }
    return at->score;
}

std::optional<int> OpeningBook::Search(const BitboardPosition& position, int alpha,
                                       int beta) const {
    if (position.CanWinNext()) {
        return Solver::WinNowScore(position.MoveCount());
    }
    if (position.MoveCount() == m_depth) {
        return Find(CanonicalKey(position));
    }
    int best = INT_MIN;
    for (const int column : BitboardPosition::kCentreOut) {
        if (!position.CanPlay(column)) {
            continue;
        }
        BitboardPosition child = position;
        child.Play(column);
        const std::optional<int> score = Search(child, -beta, -alpha);
        if (!score) {
            return std::nullopt;
        }
        best = std::max(best, -*score);
        alpha = std::max(alpha, best);
        if (alpha >= beta) {
            break;
        }
    }
    return best;
}

std::optional<int> OpeningBook::Score(const BitboardPosition& position) const {
    if (position.MoveCount() > m_depth) {
        return std::nullopt;
    }
    return Search(position, -BitboardPosition::kCells, BitboardPosition::kCells);
}
