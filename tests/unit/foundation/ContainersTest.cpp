#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/CList.h"
#include "foundation/CMap.h"
#include "foundation/ICMapEntry.h"

namespace {

template <typename T>
std::vector<T> Values(const CList<T>& list) {
    std::vector<T> out;
    for (const elem<T>* e = list.head; e != nullptr; e = e->next) {
        out.push_back(e->value);
    }
    return out;
}

// head/tail/count agree with the chain itself.
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

using Strings = std::vector<std::string>;

CList<std::string>& Fill(CList<std::string>& list, const Strings& values) {
    list.clear();
    for (const auto& v : values) {
        list.append(v);
    }
    return list;
}

}  // namespace

TEST(CList, AppendKeepsHeadTailCountAndCursor) {
    CList<std::string> list;
    list.append("a");
    EXPECT_EQ(list.head, list.tail);
    elem<std::string>* first = list.head;
    list.append("b");
    EXPECT_EQ(list.cursor, first);
    ExpectConsistent(list);
    list.clear();
    ExpectConsistent(list);
}

TEST(CList, RemoveUnlinksAnyPosition) {
    CList<std::string> list;
    Fill(list, {"a", "b", "c"});
    EXPECT_EQ(list.remove(&list.tail->value), 1);
    EXPECT_EQ(list.tail->value, "b");
    ExpectConsistent(list);

    std::string outsider = "a";
    EXPECT_EQ(list.remove(&outsider), 0);
    EXPECT_EQ(Values(list), (Strings{"a", "b"}));

    Fill(list, {"a", "b", "c"});
    EXPECT_EQ(list.remove(&list.head->next->value), 1);
    EXPECT_EQ(Values(list), (Strings{"a", "c"}));
    EXPECT_EQ(list.remove(&list.head->value), 1);
    EXPECT_EQ(list.head, list.tail);
    EXPECT_EQ(list.remove(&list.head->value), 1);
    EXPECT_EQ(list.tail, nullptr);
    ExpectConsistent(list);
}

TEST(CList, ReverseAndAssign) {
    CList<std::string> list;
    Fill(list, {"only"}).reverse();
    EXPECT_EQ(Values(list), (Strings{"only"}));
    Fill(list, {"a", "b", "c"}).reverse();
    EXPECT_EQ(Values(list), (Strings{"c", "b", "a"}));
    ExpectConsistent(list);

    CList<std::string> copy;
    copy = list;
    copy = copy;
    EXPECT_EQ(Values(copy), Values(list));
    EXPECT_NE(copy.head, list.head);
    ExpectConsistent(copy);
    CList<std::string> empty;
    copy = empty;
    EXPECT_EQ(copy.count, 0);
    ExpectConsistent(copy);

    CList<CString256> strings, stringCopy;
    strings.append("x");
    stringCopy = strings;
    EXPECT_STREQ(stringCopy.head->value.c_str(), "x");
}

TEST(CMap, InsertBuildsTheTreeInInsertionOrder) {
    CMap<CString256, CString256> map;
    for (const char* key : {"b", "a", "c"}) {
        map.insert(key, key)->value += "!";
    }
    ASSERT_NE(map.root, nullptr);
    EXPECT_STREQ(map.root->key.c_str(), "b");
    EXPECT_STREQ(map.root->left->key.c_str(), "a");
    EXPECT_STREQ(map.root->right->key.c_str(), "c");
    std::vector<std::string> order;
    for (auto* e = map.links.head; e != nullptr; e = e->next) {
        order.emplace_back(e->value->key.c_str());
    }
    EXPECT_EQ(order, (Strings{"b", "a", "c"}));

    Link<CString256, CString256>* again = map.insert("a", "other");
    EXPECT_EQ(again, map.root->left);
    EXPECT_STREQ(again->value.c_str(), "a!");
    EXPECT_EQ(map.count, 3);
    EXPECT_EQ(map.links.count, 3);
}

TEST(CMap, KeysCompareByteForByte) {
    CMap<CString256, CString256> map;
    map.insert("Key", map.vdef);
    EXPECT_EQ(map.lookup("key"), nullptr);
    map.insert("key", map.vdef);
    EXPECT_EQ(map.count, 2);
    EXPECT_NE(map.lookup("key"), map.lookup("Key"));
    EXPECT_STREQ(map.lookup("Key")->value.c_str(), "");

    CMap<unsigned long, ICMapEntry> types;
    types.insert(0x54455854UL, types.vdef)->value.flags = 7;
    types.insert(0x10UL, types.vdef);
    EXPECT_EQ(types.lookup(0x54455854UL)->value.flags, 7);
    EXPECT_EQ(types.root->left->key, 0x10UL);
    EXPECT_EQ(types.lookup(0x11UL), nullptr);
}

TEST(CMap, ClearEmptiesAndReusesNodes) {
    CMap<CString256, CString256> map;
    map.insert("a", "1");
    Link<CString256, CString256>* old = map.insert("b", "2");
    map.clear();
    EXPECT_EQ(map.root, nullptr);
    EXPECT_EQ(map.count, 0);
    EXPECT_EQ(map.links.count, 0);
    EXPECT_EQ(map.lookup("a"), nullptr);
    EXPECT_EQ(map.insert("c", "3"), old);
}
