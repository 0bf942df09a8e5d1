#pragma once

#include <cstdint>

#include "base/CStack.h"
#include "base/NodePool.h"

namespace base {

template <typename T>
struct elem : PoolAllocated<elem<T>> {
    T value;  // first, so the address of the value is the address of the element
    elem* next = nullptr;

    explicit elem(const T& v) : value(v) {}
};

// A singly linked list of copies of T, its elements drawn from a per-type pool.
//
// `cursor` is the list's one walking position: walkers start it at the head and advance
// it, so only one walker at a time. `append` leaves it at the element that was the tail.
template <typename T>
class CList {
public:
    elem<T>* head = nullptr;
    elem<T>* tail = nullptr;
    elem<T>* cursor = nullptr;
    int32_t count = 0;

    CList() = default;
    CList(const CList&) = delete;
    ~CList() { clear(); }

    // Makes this list a copy of other (element by element; other's cursor is untouched).
    CList& operator=(const CList& other) {
        if (&other == this) {
            return *this;
        }
        clear();
        for (const elem<T>* e = other.head; e != nullptr; e = e->next) {
            append(e->value);
        }
        return *this;
    }

    void append(const T& value) {
        auto* added = new elem<T>(value);
        cursor = tail;
        if (tail != nullptr) {
            tail->next = added;
        } else {
            head = added;
        }
        tail = added;
        ++count;
    }

    void clear() noexcept {
        cursor = head;
        while (cursor != nullptr) {
            elem<T>* done = cursor;
            cursor = cursor->next;
            delete done;
        }
        head = nullptr;
        tail = nullptr;
        count = 0;
    }

    void reverse() {
        if (count < 2) {
            return;
        }
        CStack<T> stack;
        for (cursor = head; cursor != nullptr; cursor = cursor->next) {
            stack.push(cursor->value);
        }
        clear();
        while (!stack.empty()) {
            append(stack.pop());
        }
    }

    // Removes the element whose value lives at item; 1 when it was in the list, else 0.
    int remove(T* item) noexcept {
        elem<T>* previous = nullptr;
        elem<T>* e = head;
        while (e != nullptr && &e->value != item) {
            previous = e;
            e = e->next;
        }
        if (e == nullptr) {
            return 0;
        }
        (previous != nullptr ? previous->next : head) = e->next;
        if (e == tail) {
            tail = previous;
        }
        // A walker standing on the removed element carries on from its predecessor.
        if (cursor == e) {
            cursor = previous;
        }
        delete e;
        --count;
        return 1;
    }
};

}  // namespace base
