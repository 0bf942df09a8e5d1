#pragma once

#include <cstddef>
#include <new>

namespace base {

// Fixed-size storage for one node type, handed out from blocks of 256 slots.
//
// A free slot holds nothing but the link to the next free slot, so the pool costs no
// space in the nodes themselves. Blocks are never given back: the program fills and
// clears its lists over and over, and keeping the slots makes every refill free of
// general-purpose allocation. Each block also records the block made before it, so
// every block stays reachable from `lastBlock` (leak checkers see them as in use).
//
// There is one pool per type and no locking: a type's nodes must be made and freed on one
// thread at a time. The program runs two threads (GUI and controller) yet draws no pooled
// nodes on either: its value strings live on the stack or inside other objects, and the
// lists and maps that draw from pools are used by the kept routines only.
template <typename T>
class NodePool {
public:
    static constexpr std::size_t kBlockSlots = 256;

    // Storage for one T. A request of another size (a derived class) goes to the global
    // allocator so that it is never squeezed into a slot too small for it.
    static void* allocate(std::size_t size) {
        if (size != sizeof(T)) {
            return ::operator new(size);
        }
        if (freeHead == nullptr) {
            return takeNewBlock();
        }
        FreeSlot* slot = freeHead;
        freeHead = slot->next;
        return slot;
    }

    static void release(void* p, std::size_t size) noexcept {
        if (p == nullptr) {
            return;
        }
        if (size != sizeof(T)) {
            ::operator delete(p);
            return;
        }
        freeHead = ::new (p) FreeSlot{freeHead};
    }

    // How many blocks this type has drawn so far (never decreases).
    static std::size_t blockCount() noexcept { return blocks; }

private:
    struct FreeSlot {
        FreeSlot* next;
    };
    struct alignas(std::max_align_t) BlockHeader {
        BlockHeader* previous;
    };
    static constexpr std::size_t kSlotSize =
        sizeof(T) < sizeof(FreeSlot) ? sizeof(FreeSlot) : sizeof(T);
    static_assert(alignof(T) <= alignof(std::max_align_t),
                  "over-aligned node types need their own pool");
    static_assert(kSlotSize % alignof(FreeSlot) == 0);

    // Hands out the block's first slot and chains the other 255 so that the last slot is
    // taken next and the second slot ends the list.
    static void* takeNewBlock() {
        auto* raw =
            static_cast<char*>(::operator new[](sizeof(BlockHeader) + kBlockSlots * kSlotSize));
        lastBlock = ::new (raw) BlockHeader{lastBlock};
        ++blocks;
        char* slots = raw + sizeof(BlockHeader);
        FreeSlot* previous = nullptr;
        for (std::size_t i = 1; i < kBlockSlots; ++i) {
            previous = ::new (slots + i * kSlotSize) FreeSlot{previous};
        }
        freeHead = previous;
        return slots;
    }

    static inline FreeSlot* freeHead = nullptr;
    static inline BlockHeader* lastBlock = nullptr;
    static inline std::size_t blocks = 0;
};

// Base that gives a class its pooled single-object `operator new` / `operator delete`:
// `struct Node : PoolAllocated<Node> { ... };`
template <typename Derived>
struct PoolAllocated {
    static void* operator new(std::size_t size) { return NodePool<Derived>::allocate(size); }
    static void operator delete(void* p, std::size_t size) noexcept {
        NodePool<Derived>::release(p, size);
    }
};

}  // namespace base
