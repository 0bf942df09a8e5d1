#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/CList.h"
#include "foundation/CString256.h"
#include "foundation/CText.h"

using Texts = std::vector<std::string>;

inline Texts TextsOf(const CList<CString256>& list) {
    Texts out;
    for (const elem<CString256>* e = list.head; e != nullptr; e = e->next) {
        out.emplace_back(e->value.c_str());
    }
    return out;
}

inline Texts TextsOf(const CList<std::string>& list) {
    Texts out;
    for (const elem<std::string>* e = list.head; e != nullptr; e = e->next) {
        out.push_back(e->value);
    }
    return out;
}

// The whole text, embedded NUL bytes included; "<absent>" for an absent text.
inline std::string Bytes(const CText& t) {
    return t.text == nullptr ? "<absent>" : std::string(t.text, static_cast<std::size_t>(t.length));
}

// A private folder for one test, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = ::testing::TempDir() + "orbalen-XXXXXX";
        m_path = ::mkdtemp(pattern.data());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};
