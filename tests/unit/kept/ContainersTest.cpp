#include "base/NodePool.h"
#include "kept/ArrayMove.h"
#include "kept/CMap.h"
#include "kept/FinderSort.h"

#include <memory>
#include <tuple>

#include "KeptTestSupport.h"

using namespace base;
using namespace kept;

namespace {

TEST(CList, RemoveAtEveryPositionReverseAndAssign) {
    CList<std::string> list;
    Fill(list, {"a", "b", "c", "d"});
    EXPECT_EQ(list.remove(&list.tail->value), 1);
    EXPECT_EQ(list.remove(&list.head->next->value), 1);
    EXPECT_EQ(TextsOf(list), (Texts{"a", "c"}));
    EXPECT_EQ(list.remove(&list.head->value), 1);
    EXPECT_EQ(list.remove(&list.head->value), 1);  // the last one
    EXPECT_EQ(TextsOf(list), Texts{});

    Fill(list, {"a", "b", "c"}).reverse();
    CList<std::string> copy;
    copy = list;
    copy = copy;
    EXPECT_EQ(TextsOf(copy), (Texts{"c", "b", "a"}));
}

TEST(CMap, InsertKeepsTheFirstValueAndClearingReusesNodes) {
    CMap<CString256, CString256> map;
    for (const char* key : {"b", "a", "c", "B"}) {
        map.insert(key, key)->value += "!";
    }
    EXPECT_EQ(TextOf(map.insert("a", "other")->value), "a!");
    EXPECT_EQ(map.count, 4);  // keys compare byte for byte: "b" and "B" are two
    Link<CString256, CString256>* last = map.links.tail->value;
    map.clear();
    EXPECT_EQ(map.lookup("a"), nullptr);
    EXPECT_EQ(map.insert("d", "4"), last);
}

// Types of their own, so their pool starts empty whatever the other tests did.
struct Probe : PoolAllocated<Probe> {
    char payload[40];
};
struct BiggerProbe : Probe {
    char more[100];
};

TEST(NodePool, DerivedTypesBypassItAndListsGiveTheirElementsBackWhenDestroyed) {
    auto probe = std::make_unique<Probe>();
    auto bigger = std::make_unique<BiggerProbe>();
    bigger->more[99] = 'x';  // would run past a Probe-sized slot
    EXPECT_EQ(NodePool<Probe>::blockCount(), 1u);

    const elem<CString256>* last = nullptr;
    {
        CList<CString256> scoped;
        scoped.append("kept until the end of scope");
        last = scoped.head;
    }
    CList<CString256> next;
    next.append("reuses it");
    EXPECT_EQ(next.head, last);
}

TEST(ArrayUtilities, MoveLeavesOutOfRangeIndexesAloneAndSortComparesNumbersByValue) {
    const std::tuple<int, int, std::string> cases[] = {
        {3, 1, "ADBC"}, {0, 3, "BCDA"}, {4, 0, "ABCD"}, {0, 4, "ABCD"}, {-1, 2, "ABCD"}};
    for (const auto& [from, to, expected] : cases) {
        std::vector<char> items{'A', 'B', 'C', 'D'};
        EXPECT_EQ(MoveArrayItem(items, from, to), 0);
        EXPECT_EQ(std::string(items.begin(), items.end()), expected) << from << " -> " << to;
    }

    // Sorting like a file browser: numbers by value, case and width ignored, punctuation kept.
    Texts names{"file 10", "File A", "file 2", "ｆｉｌｅ 3", "file a", "file-1", "file 1"};
    SortCFMutableArrayOfCFStringsLikeTheFinder(names);
    // Equal-ranking names keep their order.
    EXPECT_EQ(names,
              (Texts{"file 1", "file 2", "ｆｉｌｅ 3", "file 10", "File A", "file a", "file-1"}));
    // Texts beyond any fixed buffer are compared in full.
    const std::string head(3000, 'x');
    EXPECT_LT(CompareLikeTheFinder(head + "9", head + "10"), 0);
}

}  // namespace
