// The flat index under the message store, against a plain multimap.
#include "core/slot_index.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

namespace vesk::testing {
namespace {

using detail::SlotIndex;

std::vector<std::size_t> slotsOf(const SlotIndex& index, std::uint64_t hash) {
    std::vector<std::size_t> out;
    (void)index.find(hash, [&](std::size_t slot) {
        out.push_back(slot);
        return false;
    });
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::size_t> slotsOf(const std::multimap<std::uint64_t, std::size_t>& model,
                                 std::uint64_t hash) {
    std::vector<std::size_t> out;
    const auto [from, to] = model.equal_range(hash);
    for (auto it = from; it != to; ++it) {
        out.push_back(it->second);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Few distinct hashes, so long runs of colliding entries wrap around the
// table's end and deletions have to shift entries back across it.
TEST(SlotIndexTest, AgreesWithAMultimapThroughGrowthCollisionsAndDeletions) {
    std::mt19937_64 random(7);
    SlotIndex index;
    std::multimap<std::uint64_t, std::size_t> model;
    std::size_t nextSlot = 0;
    for (int step = 0; step < 20000; ++step) {
        const std::uint64_t hash = random() % 37;
        if (model.empty() || random() % 3 != 0) {
            index.insert(hash, nextSlot);
            model.emplace(hash, nextSlot);
            ++nextSlot;
        } else {
            auto victim = model.begin();
            std::advance(victim, static_cast<long>(random() % model.size()));
            ASSERT_TRUE(index.erase(victim->first, victim->second));
            ASSERT_FALSE(index.erase(victim->first, nextSlot));
            model.erase(victim);
        }
        ASSERT_EQ(index.size(), model.size());
        if (step % 97 == 0) {
            for (std::uint64_t h = 0; h < 37; ++h) {
                ASSERT_EQ(slotsOf(index, h), slotsOf(model, h)) << "hash " << h << " step " << step;
            }
        }
    }
}

TEST(SlotIndexTest, ReassignAndRemapMoveOnlyTheEntriesAsked) {
    SlotIndex index;
    for (std::size_t slot = 0; slot < 100; ++slot) {
        index.insert(slot % 10, slot);
    }
    EXPECT_TRUE(index.reassign(
        3, [](std::size_t s) { return s == 53; }, 1000));
    EXPECT_FALSE(index.reassign(
        3, [](std::size_t s) { return s == 54; }, 1001));
    EXPECT_EQ(index.find(3, [](std::size_t s) { return s == 1000; }), 1000U);
    EXPECT_EQ(index.find(3, [](std::size_t s) { return s == 53; }), SlotIndex::kNone);

    index.remap([](std::size_t s) { return s + 1; });
    EXPECT_EQ(slotsOf(index, 0), (std::vector<std::size_t>{1, 11, 21, 31, 41, 51, 61, 71, 81, 91}));
    index.clear();
    EXPECT_EQ(index.size(), 0U);
    EXPECT_EQ(slotsOf(index, 0), std::vector<std::size_t>{});
    index.insert(0, 5);
    EXPECT_EQ(slotsOf(index, 0), std::vector<std::size_t>{5});
}

}  // namespace
}  // namespace vesk::testing
