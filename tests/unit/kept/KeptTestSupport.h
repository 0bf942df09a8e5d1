#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/CList.h"
#include "base/CString256.h"
#include "kept/CText.h"
#include "support/FileText.h"
#include "support/TempFolder.h"

using testing_support::ReadText;
using testing_support::TempFolder;
using testing_support::WriteText;
using Texts = std::vector<std::string>;

inline std::string TextOf(const base::CString256& s) {
    return s.c_str();
}

// The list's values in order, checking that its tail and count agree with them.
template <typename T>
Texts TextsOf(const base::CList<T>& list) {
    Texts out;
    const base::elem<T>* last = nullptr;
    for (const base::elem<T>* e = list.head; e != nullptr; last = e, e = e->next) {
        out.emplace_back(e->value.c_str());
    }
    EXPECT_EQ(last, list.tail);
    EXPECT_EQ(static_cast<std::int32_t>(out.size()), list.count);
    return out;
}

// Replaces what the list holds.
template <typename T>
base::CList<T>& Fill(base::CList<T>& list, const Texts& values) {
    list.clear();
    for (const auto& v : values) {
        list.append(T(v.c_str()));
    }
    return list;
}

// The whole text, embedded NUL bytes included; "<absent>" for an absent text.
inline std::string Bytes(const kept::CText& t) {
    return t.text == nullptr ? "<absent>" : std::string(t.text, static_cast<std::size_t>(t.length));
}
