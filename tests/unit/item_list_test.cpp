// Tests of ItemList: construction rules, growth in whole steps, insertion, removal, failed growth.
#include "store/item_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Reallocation that counts its calls and can be told to fail, so failure paths really run.
struct Allocations {
    int calls = 0;
    bool fail = false;
};
Allocations g_allocations;

void* ControlledReallocate(void* block, std::size_t bytes) {
    ++g_allocations.calls;
    if (g_allocations.fail) return nullptr;
    return std::realloc(block, bytes);
}

std::string Contents(const ItemList& list) {
    return std::string(reinterpret_cast<const char*>(list.Data()),
                       static_cast<std::size_t>(list.Size()));
}

ItemList* MakeListHolding(const std::string& bytes, std::int32_t step = 128) {
    auto* list = new ItemList(0, step);
    EXPECT_TRUE(list->Append(bytes.data(), static_cast<std::int32_t>(bytes.size())));
    return list;
}

class ItemListTest : public ::testing::Test {
protected:
    void SetUp() override { g_allocations = Allocations(); }
    void TearDown() override { g_allocations = Allocations(); }
};

struct ConstructionCase {
    std::int32_t initial_capacity;
    std::int32_t growth_step;
    std::int32_t expected_step;
    std::int32_t expected_capacity;
};

TEST_F(ItemListTest, ConstructionChoosesStepAndFirstCapacity) {
    const ConstructionCase cases[] = {
        {0, 0, 128, 128},          // defaults
        {0, 16385, 128, 128},      // step above the largest allowed
        {0, -4, 128, 128},         // negative step
        {0, 16384, 16384, 16384},  // largest allowed step
        {48, 48, 48, 48},          // grid column array
        {11, 11, 11, 11},          // grid layout lines
        {1024, 1024, 1024, 1024},  // output buffers
        {1, 1, 1, 1},
        {200, 128, 128, 256},  // rounded up to the step
        {256, 128, 128, 256},  // already a multiple
        {-5, 48, 48, 48},      // negative capacity is one step
    };
    for (const ConstructionCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "(" << c.initial_capacity << ", " << c.growth_step << ")");
        ItemList list(c.initial_capacity, c.growth_step);
        EXPECT_EQ(list.GrowthStep(), c.expected_step);
        EXPECT_EQ(list.Capacity(), c.expected_capacity);
        EXPECT_EQ(list.Size(), 0);
        ASSERT_NE(list.Data(), nullptr);
    }
}

TEST_F(ItemListTest, FirstBlockIsZeroFilled) {
    ItemList list(4096, 1024);
    const std::vector<std::uint8_t> zeros(4096, 0);
    EXPECT_EQ(std::memcmp(list.Data(), zeros.data(), zeros.size()), 0);
}

TEST_F(ItemListTest, AppendGrowsInWholeSteps) {
    ItemList list(48, 48);
    std::vector<std::uint8_t> record(49);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<std::uint8_t>(i + 1);
    ASSERT_TRUE(list.Append(record.data(), 49));
    EXPECT_EQ(list.Capacity(), 96);
    EXPECT_EQ(list.Size(), 49);
    EXPECT_EQ(std::memcmp(list.Data(), record.data(), record.size()), 0);
}

TEST_F(ItemListTest, AppendWithoutSourceWritesZeros) {
    ItemList list(16, 16);
    ASSERT_TRUE(list.Append("abcdefgh", 8));
    list.MakeEmpty();
    // The old bytes are still in the block; an append without source must overwrite them.
    ASSERT_TRUE(list.Append(nullptr, 5));
    EXPECT_EQ(Contents(list), std::string(5, '\0'));
}

TEST_F(ItemListTest, AppendOfNothingSucceedsWithoutChange) {
    ItemList list(0, 0);
    ASSERT_TRUE(list.Append("xy", 2));
    std::uint8_t* data = list.Data();
    EXPECT_TRUE(list.Append(nullptr, 0));
    EXPECT_TRUE(list.Insert(1, "z", 0));
    EXPECT_EQ(Contents(list), "xy");
    EXPECT_EQ(list.Data(), data);
}

TEST_F(ItemListTest, NegativeCountsAndPositionsAreRefused) {
    std::unique_ptr<ItemList> list(MakeListHolding("abcd"));
    EXPECT_FALSE(list->Append("x", -1));
    EXPECT_FALSE(list->Insert(-1, "x", 1));
    EXPECT_FALSE(list->Insert(0, "x", -3));
    EXPECT_FALSE(list->Reserve(-1));
    list->Remove(-1, 2);
    list->Remove(1, -2);
    EXPECT_EQ(Contents(*list), "abcd");
}

struct InsertCase {
    const char* name;
    std::string before;
    std::int32_t position;
    const char* source;  // nullptr inserts zeros
    std::int32_t count;
    std::string after;
};

TEST_F(ItemListTest, InsertPlacesBytesAndFillsGaps) {
    using std::string;
    const InsertCase cases[] = {
        {"past the end zero-fills the gap", "ABCD", 10, "xyz", 3,
         string("ABCD\0\0\0\0\0\0xyz", 13)},
        {"at the start", "ABCD", 0, "xy", 2, "xyABCD"},
        {"in the middle", "ABCD", 2, "xy", 2, "ABxyCD"},
        {"at the end", "ABCD", 4, "xy", 2, "ABCDxy"},
        {"without source", "ABCD", 1, nullptr, 2, string("A\0\0BCD", 6)},
        {"into an empty list", "", 3, "q", 1, string("\0\0\0q", 4)},
    };
    for (const InsertCase& c : cases) {
        SCOPED_TRACE(c.name);
        ItemList list(4, 4);
        ASSERT_TRUE(list.Append(c.before.data(), static_cast<std::int32_t>(c.before.size())));
        ASSERT_TRUE(list.Insert(c.position, c.source, c.count));
        EXPECT_EQ(list.Size(), static_cast<std::int32_t>(c.after.size()));
        EXPECT_EQ(Contents(list), c.after);
        EXPECT_EQ(list.Capacity() % 4, 0);
    }
}

TEST_F(ItemListTest, InsertPastTheEndOverwritesStaleBytesInTheGap) {
    ItemList list(32, 32);
    ASSERT_TRUE(list.Append("0123456789", 10));
    list.Remove(4, 6);  // the block still holds "456789" beyond the size
    ASSERT_TRUE(list.Insert(10, "xyz", 3));
    EXPECT_EQ(Contents(list), std::string("0123\0\0\0\0\0\0xyz", 13));
}

struct RemoveCase {
    const char* name;
    std::int32_t position;
    std::int32_t count;
    std::string after;
};

TEST_F(ItemListTest, RemoveMovesTheRestDownOrCutsTheTail) {
    const RemoveCase cases[] = {
        {"run past the end cuts at the position", 2, 5, "AB"},
        {"run reaching the end exactly", 2, 4, "AB"},
        {"run inside", 1, 2, "ADEF"},
        {"first byte", 0, 1, "BCDEF"},
        {"last byte", 5, 1, "ABCDE"},
        {"position at the size", 6, 1, "ABCDEF"},
        {"position beyond the size", 9, 1, "ABCDEF"},
        {"count of zero", 2, 0, "ABCDEF"},
    };
    for (const RemoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ItemList> list(MakeListHolding("ABCDEF"));
        list->Remove(c.position, c.count);
        EXPECT_EQ(Contents(*list), c.after);
    }
}

TEST_F(ItemListTest, MakeEmptyKeepsTheBlock) {
    ItemList list(0, 64);
    ASSERT_TRUE(list.Append(nullptr, 100));
    std::uint8_t* data = list.Data();
    list.MakeEmpty();
    EXPECT_EQ(list.Size(), 0);
    EXPECT_EQ(list.Capacity(), 128);
    EXPECT_EQ(list.Data(), data);
}

TEST_F(ItemListTest, ReserveRoundsToStepAndNeverShrinks) {
    ItemList list(0, 100);
    ASSERT_TRUE(list.Reserve(250));
    EXPECT_EQ(list.Capacity(), 300);
    EXPECT_TRUE(list.Reserve(10));
    EXPECT_EQ(list.Capacity(), 300);
    EXPECT_EQ(list.Size(), 0);
}

TEST_F(ItemListTest, GrowthIsGeometricSoFillingIsLinear) {
    ItemList list(11, 11, ControlledReallocate);
    const char record[11] = "layoutline";
    std::int32_t previous_capacity = list.Capacity();
    for (int i = 0; i < 100000; ++i) {
        ASSERT_TRUE(list.Append(record, 11));
        if (list.Capacity() != previous_capacity) {
            EXPECT_EQ(list.Capacity() % 11, 0);
            EXPECT_GE(list.Capacity(), previous_capacity + previous_capacity / 2);
            previous_capacity = list.Capacity();
        }
        // Growth by one step at a time would take 100000 reallocations.
        ASSERT_LT(g_allocations.calls, 40) << "after " << i + 1 << " records";
    }
    EXPECT_EQ(list.Size(), 1100000);
    EXPECT_EQ(std::memcmp(list.Data() + 99999 * 11, record, 11), 0);
}

TEST_F(ItemListTest, FailedGrowthLeavesTheListAsItWas) {
    ItemList list(48, 48, ControlledReallocate);
    ASSERT_TRUE(list.Append("0123456789", 10));
    std::uint8_t* data = list.Data();

    g_allocations.fail = true;
    EXPECT_FALSE(list.Append(nullptr, 39));
    EXPECT_FALSE(list.Insert(0, nullptr, 39));
    EXPECT_FALSE(list.Insert(60, "x", 1));
    EXPECT_FALSE(list.Reserve(49));
    EXPECT_EQ(list.Data(), data);
    EXPECT_EQ(list.Size(), 10);
    EXPECT_EQ(list.Capacity(), 48);
    EXPECT_EQ(Contents(list), "0123456789");

    // Work within the capacity still needs no memory.
    EXPECT_TRUE(list.Append("abc", 3));
    EXPECT_TRUE(list.Insert(0, "<", 1));
    EXPECT_EQ(Contents(list), "<0123456789abc");

    g_allocations.fail = false;
    EXPECT_TRUE(list.Append(nullptr, 40));
    EXPECT_EQ(list.Capacity(), 96);
    EXPECT_EQ(Contents(list).substr(0, 14), "<0123456789abc");
}

TEST_F(ItemListTest, FailedFirstReservationLeavesAnEmptyListThatRetries) {
    g_allocations.fail = true;
    ItemList list(0, 32, ControlledReallocate);
    EXPECT_EQ(list.Data(), nullptr);
    EXPECT_EQ(list.Size(), 0);
    EXPECT_EQ(list.Capacity(), 0);
    list.Remove(0, 1);
    list.MakeEmpty();
    EXPECT_FALSE(list.Append("a", 1));
    EXPECT_EQ(list.Capacity(), 0);

    g_allocations.fail = false;
    ASSERT_TRUE(list.Insert(2, "a", 1));
    EXPECT_EQ(list.Capacity(), 32);
    EXPECT_EQ(Contents(list), std::string("\0\0a", 3));
}

TEST_F(ItemListTest, SizesBeyondThirtyTwoBitsAreRefused) {
    ItemList list(0, 0, ControlledReallocate);
    int calls = g_allocations.calls;
    EXPECT_FALSE(list.Insert(0x7FFFFFFF, "a", 1));
    EXPECT_FALSE(list.Append(nullptr, 0x7FFFFFFF));
    EXPECT_EQ(g_allocations.calls, calls);  // refused before asking for memory
    EXPECT_EQ(list.Size(), 0);
    EXPECT_EQ(list.Capacity(), 128);
}

TEST_F(ItemListTest, ConcurrentAppendsAllLand) {
    ItemList list(4, 4);
    auto append_many = [&list](std::uint8_t tag) {
        for (int i = 0; i < 20000; ++i) {
            std::uint8_t record[4] = {tag, tag, tag, tag};
            ASSERT_TRUE(list.Append(record, 4));
        }
    };
    std::thread first(append_many, std::uint8_t{1});
    std::thread second(append_many, std::uint8_t{2});
    first.join();
    second.join();
    ASSERT_EQ(list.Size(), 160000);
    int ones = 0;
    for (std::int32_t at = 0; at < list.Size(); at += 4) {
        const std::uint8_t* record = list.Data() + at;
        ASSERT_TRUE(record[0] == record[1] && record[1] == record[2] && record[2] == record[3]);
        ones += record[0] == 1;
    }
    EXPECT_EQ(ones, 20000);
}

}  // namespace
