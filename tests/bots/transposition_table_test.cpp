#include "bots/transposition_table.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using Bound = TranspositionTable::Bound;

TEST(TranspositionTableTest, ReturnsWhatWasStoredForTheSameKeyOnly) {
    TranspositionTable table(10);
    EXPECT_EQ(table.SlotCount(), 1024u);
    EXPECT_EQ(table.Probe(12345), nullptr);
    table.Store(12345, 7, -958, Bound::Lower, 3);
    const TranspositionTable::Entry* entry = table.Probe(12345);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->score, -958);
    EXPECT_EQ(entry->depth, 7);
    EXPECT_EQ(entry->bound, Bound::Lower);
    EXPECT_EQ(entry->move, 3);
    EXPECT_EQ(table.Probe(12346), nullptr);
}

// With two slots, three keys must share one; the table must never answer for a key it does not
// hold, and keeps the deeper result only for the very same position.
TEST(TranspositionTableTest, ReplacesOtherPositionsButKeepsTheDeeperResultOfTheSame) {
    TranspositionTable table(1);
    const std::uint64_t keys[] = {0x1234567, 0x89abcdef, 0x13579bdf};
    for (const std::uint64_t key : keys) {
        table.Store(key, 20, static_cast<int>(key % 100), Bound::Exact, 4);
    }
    int held = 0;
    for (const std::uint64_t key : keys) {
        if (const TranspositionTable::Entry* entry = table.Probe(key)) {
            EXPECT_EQ(entry->key, key);
            EXPECT_EQ(entry->score, static_cast<int>(key % 100));
            ++held;
        }
    }
    EXPECT_LE(held, 2);

    const std::uint64_t last = keys[2];
    ASSERT_NE(table.Probe(last), nullptr);
    table.Store(last, 5, 1, Bound::Upper, 1);
    EXPECT_EQ(table.Probe(last)->depth, 20) << "a shallower result must not replace a deeper one";
    table.Store(last, 21, 2, Bound::Upper, 6);
    EXPECT_EQ(table.Probe(last)->depth, 21);
    EXPECT_EQ(table.Probe(last)->move, 6);
}

TEST(TranspositionTableTest, ClearForgetsEverything) {
    TranspositionTable table(4);
    for (std::uint64_t key = 1; key <= 16; ++key) {
        table.Store(key, 1, 0, Bound::Exact, 1);
    }
    table.Clear();
    for (std::uint64_t key = 1; key <= 16; ++key) {
        EXPECT_EQ(table.Probe(key), nullptr) << key;
    }
}

}  // namespace
