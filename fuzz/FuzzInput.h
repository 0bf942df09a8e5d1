#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/CString256.h"

// Cuts the fuzzer's bytes into NUL-terminated pieces: each piece ends at a NUL byte, the
// last one at the end of the input.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size)
        : m_bytes(reinterpret_cast<const char*>(data), size) {}

    std::string next() {
        std::size_t end = m_bytes.find('\0', m_at);
        std::string piece = m_bytes.substr(m_at, end == std::string::npos ? end : end - m_at);
        m_at = end == std::string::npos ? m_bytes.size() : end + 1;
        return piece;
    }
    std::string rest() {
        std::string piece = m_bytes.substr(m_at);
        m_at = m_bytes.size();
        return piece;
    }

private:
    std::string m_bytes;
    std::size_t m_at = 0;
};

// A value string that outgrew its capacity has overwritten memory: stop loudly.
inline void CheckCapacity(const base::CString256& s) {
    if (std::strlen(s.c_str()) > base::CString256::kCapacity) {
        std::abort();
    }
}
