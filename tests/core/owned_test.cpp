#include "core/owned.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace oz {
namespace {

// Records every value given back, so a double close or a leak shows.
std::vector<int>& closedValues() {
    static std::vector<int> closed;
    return closed;
}

struct FakeTraits {
    using Value = int;
    static Value empty() noexcept { return -1; }
    static void close(Value v) noexcept { closedValues().push_back(v); }
};
using FakeOwned = Owned<FakeTraits>;

class OwnedTest : public testing::Test {
protected:
    void SetUp() override { closedValues().clear(); }
};

TEST_F(OwnedTest, ClosesOnceAtScopeEndAndNeverWhenEmpty) {
    {
        FakeOwned held(7);
        FakeOwned nothing;
        EXPECT_TRUE(held);
        EXPECT_FALSE(nothing);
    }
    EXPECT_EQ(closedValues(), std::vector<int>{7});
}

TEST_F(OwnedTest, MovesTransferOwnershipAndAssignmentClosesTheOldValue) {
    {
        FakeOwned a(1);
        FakeOwned b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), 1);
        FakeOwned c(2);
        c = std::move(b);
        EXPECT_EQ(closedValues(), std::vector<int>{2});
        EXPECT_EQ(c.get(), 1);
    }
    EXPECT_EQ(closedValues(), (std::vector<int>{2, 1}));
}

TEST_F(OwnedTest, ReleasePutAndReset) {
    FakeOwned a(3);
    EXPECT_EQ(a.release(), 3);
    EXPECT_FALSE(a);
    a.reset(4);
    *a.put() = 5;  // put gives 4 back before lending the slot
    EXPECT_EQ(a.get(), 5);
    a.reset();
    EXPECT_EQ(closedValues(), (std::vector<int>{4, 5}));
}

}  // namespace
}  // namespace oz

namespace oz {
namespace {

std::vector<const int*>& closedPointers() {
    static std::vector<const int*> closed;
    return closed;
}
void closePointer(const int* p) { closedPointers().push_back(p); }

TEST(ClosedByTest, GivesBackThroughItsFunctionAndTreatsNullAsEmpty) {
    closedPointers().clear();
    const int resource = 0;
    {
        Owned<ClosedBy<const int*, &closePointer>> held(&resource);
        Owned<ClosedBy<const int*, &closePointer>> nothing;
        EXPECT_FALSE(nothing);
    }
    EXPECT_EQ(closedPointers(), std::vector<const int*>{&resource});
}

}  // namespace
}  // namespace oz
