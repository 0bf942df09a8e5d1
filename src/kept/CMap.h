#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "base/CList.h"
#include "base/CString256.h"
#include "base/NodePool.h"

namespace kept {

using base::CList;
using base::CString256;
using base::PoolAllocated;

template <typename K, typename V>
struct Link : PoolAllocated<Link<K, V>> {
    K key;
    V value;
    Link* left = nullptr;
    Link* right = nullptr;

    Link(const K& k, const V& v) : key(k), value(v) {}
};

// Key order of the maps: byte order (strcmp) for strings, < for integral keys.
inline int CompareMapKeys(const CString256& a, const CString256& b) noexcept {
    return std::strcmp(a.c_str(), b.c_str());
}
template <typename K>
requires std::is_integral_v<K>
int CompareMapKeys(K a, K b) noexcept {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// An unbalanced binary search tree that also keeps its nodes in insertion order (`links`).
// Inserting an existing key keeps the value stored first. Nodes come from a per-type pool.
template <typename K, typename V>
class CMap {
public:
    using LinkType = Link<K, V>;

    LinkType* root = nullptr;
    V vdef;  // this map's default value, for callers that insert first and fill in after
    K kdef;
    CList<LinkType*> links;
    int32_t count = 0;

    CMap() : vdef(class_vdef()), kdef(class_kdef()) {}
    CMap(const CMap&) = delete;
    CMap& operator=(const CMap&) = delete;
    ~CMap() { clear(); }

    // The class-wide defaults: a value-initialised K / V (empty string, 0, all-zero record).
    static const K& class_kdef() {
        static const K key{};
        return key;
    }
    static const V& class_vdef() {
        static const V value{};
        return value;
    }

    LinkType* lookup(const K& key) const noexcept {
        LinkType* node = root;
        while (node != nullptr) {
            int order = CompareMapKeys(key, node->key);
            if (order == 0) {
                return node;
            }
            node = order < 0 ? node->left : node->right;
        }
        return nullptr;
    }

    // The node for key, added with a copy of value when the key is new.
    LinkType* insert(const K& key, const V& value) {
        if (LinkType* existing = lookup(key)) {
            return existing;
        }
        LinkType* node = new LinkType(key, value);
        ++count;
        ins(root, node);
        links.append(node);
        return node;
    }

    // Places node into the subtree; a node whose key is already there is left out.
    void ins(LinkType*& subtree, LinkType*& node) noexcept {
        LinkType** slot = &subtree;
        while (*slot != nullptr) {
            int order = CompareMapKeys(node->key, (*slot)->key);
            if (order == 0) {
                return;
            }
            slot = order < 0 ? &(*slot)->left : &(*slot)->right;
        }
        *slot = node;
    }

    void clear() noexcept {
        for (links.cursor = links.head; links.cursor != nullptr;
             links.cursor = links.cursor->next) {
            delete links.cursor->value;
        }
        links.clear();
        root = nullptr;
        count = 0;
    }
};

}  // namespace kept
