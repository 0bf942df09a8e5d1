#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kept/ArrayMove.h"
#include "kept/FinderSort.h"

using kept::CompareLikeTheFinder;
using kept::MoveArrayItem;
using kept::SortCFMutableArrayOfCFStringsLikeTheFinder;

namespace {

using Names = std::vector<std::string>;

TEST(MoveArrayItem, MovesAndShiftsOrLeavesAlone) {
    const Names abcd{"A", "B", "C", "D"};
    auto moved = [&](int from, int to) {
        Names a = abcd;
        EXPECT_EQ(MoveArrayItem(a, from, to), 0);
        return a;
    };
    EXPECT_EQ(moved(3, 1), (Names{"A", "D", "B", "C"}));
    EXPECT_EQ(moved(0, 2), (Names{"B", "C", "A", "D"}));
    for (auto [from, to] : {std::pair{1, 1}, {4, 0}, {0, 4}, {-1, 2}, {2, -1}}) {
        EXPECT_EQ(moved(from, to), abcd) << from << " -> " << to;
    }
}

TEST(FinderSort, NumbersByValueCaseAndWidthIgnoredPunctuationKept) {
    Names names{"file 10", "File A", "file 2", "ｆｉｌｅ 3", "file a", "file-1", "file 1"};
    SortCFMutableArrayOfCFStringsLikeTheFinder(names);
    // Equal-ranking names keep their order.
    EXPECT_EQ(names,
              (Names{"file 1", "file 2", "ｆｉｌｅ 3", "file 10", "File A", "file a", "file-1"}));
    EXPECT_NE(CompareLikeTheFinder("ab", "a-b"), 0);
    EXPECT_LT(CompareLikeTheFinder("resume", "résumé"), 0);
    // Texts beyond any fixed buffer are compared in full.
    const std::string head(3000, 'x');
    EXPECT_LT(CompareLikeTheFinder(head + "9", head + "10"), 0);
}

}  // namespace
