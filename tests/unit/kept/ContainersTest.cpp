#include "base/NodePool.h"
#include "kept/CMap.h"

#include <memory>

#include "KeptTestSupport.h"

using namespace base;
using namespace kept;

namespace {

// head, tail and count agree with the chain itself.
template <typename T>
void ExpectConsistent(const CList<T>& list) {
    int32_t n = 0;
    const elem<T>* last = nullptr;
    for (const elem<T>* e = list.head; e != nullptr; e = e->next, ++n) {
        last = e;
    }
    EXPECT_EQ(n, list.count);
    EXPECT_EQ(last, list.tail);
}

TEST(CList, RemoveAtEveryPositionReverseAndAssign) {
    CList<std::string> list;
    Fill(list, {"a", "b", "c", "d"});
    std::string outsider = "a";
    EXPECT_EQ(list.remove(&outsider), 0);
    EXPECT_EQ(list.remove(&list.tail->value), 1);
    EXPECT_EQ(list.remove(&list.head->next->value), 1);
    EXPECT_EQ(TextsOf(list), (Texts{"a", "c"}));
    ExpectConsistent(list);
    EXPECT_EQ(list.remove(&list.head->value), 1);
    EXPECT_EQ(list.head, list.tail);
    EXPECT_EQ(list.remove(&list.head->value), 1);
    ExpectConsistent(list);

    Fill(list, {"a", "b", "c"}).reverse();
    EXPECT_EQ(TextsOf(list), (Texts{"c", "b", "a"}));
    ExpectConsistent(list);
    CList<std::string> copy, empty;
    copy = list;
    copy = copy;
    EXPECT_EQ(TextsOf(copy), TextsOf(list));
    EXPECT_NE(copy.head, list.head);
    ExpectConsistent(copy);
    copy = empty;
    ExpectConsistent(copy);
}

TEST(CMap, InsertKeepsTheFirstValueAndClearingReusesNodes) {
    CMap<CString256, CString256> map;
    for (const char* key : {"b", "a", "c", "B"}) {
        map.insert(key, key)->value += "!";
    }
    Link<CString256, CString256>* again = map.insert("a", "other");
    EXPECT_EQ(TextOf(again->value), "a!");
    EXPECT_EQ(TextOf(map.lookup("B")->value), "B!");  // keys compare byte for byte
    EXPECT_EQ(map.count, 4);

    // Clearing empties it and hands the nodes back for reuse.
    Link<CString256, CString256>* last = map.links.tail->value;
    map.clear();
    EXPECT_EQ(map.root, nullptr);
    EXPECT_EQ(map.links.count, 0);
    EXPECT_EQ(map.lookup("a"), nullptr);
    EXPECT_EQ(map.insert("d", "4"), last);
}

// A type of its own, so its pool starts empty whatever the other tests did.
struct Probe : PoolAllocated<Probe> {
    char payload[40];
};
struct BiggerProbe : Probe {
    char more[100];
};

TEST(NodePool, DerivedTypesBypassItAndListsGiveTheirElementsBack) {
    auto probe = std::make_unique<Probe>();
    auto bigger = std::make_unique<BiggerProbe>();
    bigger->more[99] = 'x';  // would run past a Probe-sized slot
    EXPECT_EQ(NodePool<Probe>::blockCount(), 1u);

    CList<CString256> list;
    for (int i = 0; i < 300; ++i) {
        list.append("x");
    }
    const std::size_t blocks = NodePool<elem<CString256>>::blockCount();
    list.clear();
    for (int i = 0; i < 300; ++i) {
        list.append("y");
    }
    EXPECT_EQ(NodePool<elem<CString256>>::blockCount(), blocks);
    const elem<CString256>* last = nullptr;
    {
        CList<CString256> scoped;
        scoped.append("kept until the end of scope");
        last = scoped.head;
    }
    list.append("reuses it");
    EXPECT_EQ(list.tail, last);
}

}  // namespace
