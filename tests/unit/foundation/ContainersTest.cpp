#include "foundation/CMap.h"
#include "foundation/ICMapEntry.h"

#include "FoundationTestSupport.h"

using namespace foundation;

namespace {

// head, tail and count agree with the chain itself.
template <typename T>
void ExpectConsistent(const CList<T>& list) {
    int32_t n = 0;
    const elem<T>* last = nullptr;
    for (const elem<T>* e = list.head; e != nullptr; e = e->next) {
        last = e;
        ++n;
    }
    EXPECT_EQ(n, list.count);
    EXPECT_EQ(last, list.tail);
}

TEST(CList, AppendAndRemoveAtEveryPosition) {
    CList<std::string> list;
    list.append("a");
    EXPECT_EQ(list.head, list.tail);
    list.append("b");
    EXPECT_EQ(list.cursor, list.head);
    ExpectConsistent(list);

    Fill(list, {"a", "b", "c"});
    EXPECT_EQ(list.remove(&list.tail->value), 1);
    EXPECT_EQ(list.tail->value, "b");
    ExpectConsistent(list);
    std::string outsider = "a";
    EXPECT_EQ(list.remove(&outsider), 0);
    EXPECT_EQ(TextsOf(list), (Texts{"a", "b"}));

    Fill(list, {"a", "b", "c"});
    EXPECT_EQ(list.remove(&list.head->next->value), 1);
    EXPECT_EQ(TextsOf(list), (Texts{"a", "c"}));
    EXPECT_EQ(list.remove(&list.head->value), 1);
    EXPECT_EQ(list.head, list.tail);
    EXPECT_EQ(list.remove(&list.head->value), 1);
    EXPECT_EQ(list.tail, nullptr);
    ExpectConsistent(list);
}

TEST(CList, ReverseAndAssign) {
    CList<std::string> list;
    Fill(list, {"only"}).reverse();
    EXPECT_EQ(TextsOf(list), (Texts{"only"}));
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
    EXPECT_EQ(copy.count, 0);
    ExpectConsistent(copy);
}

TEST(CMap, InsertBuildsTheTreeInInsertionOrderAndKeepsTheFirstValue) {
    CMap<CString256, CString256> map;
    for (const char* key : {"b", "a", "c"}) {
        map.insert(key, key)->value += "!";
    }
    ASSERT_NE(map.root, nullptr);
    EXPECT_EQ(TextOf(map.root->key), "b");
    EXPECT_EQ(TextOf(map.root->left->key), "a");
    EXPECT_EQ(TextOf(map.root->right->key), "c");
    Texts order;
    for (auto* e = map.links.head; e != nullptr; e = e->next) {
        order.push_back(TextOf(e->value->key));
    }
    EXPECT_EQ(order, (Texts{"b", "a", "c"}));

    Link<CString256, CString256>* again = map.insert("a", "other");
    EXPECT_EQ(again, map.root->left);
    EXPECT_EQ(TextOf(again->value), "a!");
    EXPECT_EQ(map.count, 3);
    EXPECT_EQ(map.links.count, 3);

    // Clearing empties it and hands the nodes back for reuse.
    Link<CString256, CString256>* last = map.links.tail->value;
    map.clear();
    EXPECT_EQ(map.root, nullptr);
    EXPECT_EQ(map.links.count, 0);
    EXPECT_EQ(map.lookup("a"), nullptr);
    EXPECT_EQ(map.insert("d", "4"), last);
}

TEST(CMap, KeysCompareByteForByte) {
    CMap<CString256, CString256> map;
    map.insert("Key", map.vdef);
    EXPECT_EQ(map.lookup("key"), nullptr);
    map.insert("key", map.vdef);
    EXPECT_EQ(map.count, 2);
    EXPECT_NE(map.lookup("key"), map.lookup("Key"));

    CMap<unsigned long, ICMapEntry> types;
    types.insert(0x54455854UL, types.vdef)->value.flags = 7;
    types.insert(0x10UL, types.vdef);
    EXPECT_EQ(types.lookup(0x54455854UL)->value.flags, 7);
    EXPECT_EQ(types.root->left->key, 0x10UL);
    EXPECT_EQ(types.lookup(0x11UL), nullptr);
}

}  // namespace
