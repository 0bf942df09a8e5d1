#pragma once

#include <utility>

#include "base/NodePool.h"

namespace base {

template <typename T>
struct stack_elem : PoolAllocated<stack_elem<T>> {
    T value;
    stack_elem* next;

    stack_elem(const T& v, stack_elem* below) : value(v), next(below) {}
};

// A stack of copies of T, its elements drawn from a per-type pool.
template <typename T>
class CStack {
public:
    stack_elem<T>* top = nullptr;

    CStack() = default;
    CStack(const CStack&) = delete;
    CStack& operator=(const CStack&) = delete;
    ~CStack() {
        while (top != nullptr) {
            pop();
        }
    }

    bool empty() const noexcept { return top == nullptr; }

    void push(const T& value) { top = new stack_elem<T>(value, top); }

    // Removes the top value and returns it; an empty stack gives T().
    T pop() {
        if (top == nullptr) {
            return T();
        }
        stack_elem<T>* taken = top;
        top = taken->next;
        T value = std::move(taken->value);
        delete taken;
        return value;
    }
};

}  // namespace base
