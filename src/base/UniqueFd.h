#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// Owns one file descriptor and closes it when it goes out of scope, so no
// early return can leak one. close() is there for the writers that must
// know whether the data reached the file.
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

    // Gives the descriptor up without closing it.
    int release() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the held descriptor (errors ignored) and takes fd.
    void reset(int fd = -1) noexcept;
    // Closes now: 0, or the errno of a failed close.
    int close() noexcept;

private:
    int fd_ = -1;
};

// Writes every byte, through partial writes and interruptions: 0, or the
// errno of the write that failed (some bytes may have been written).
int WriteAll(int fd, std::string_view bytes) noexcept;

// Reads to the end of the file, at most maxBytes: the bytes, or nothing with
// *error set to the failed read's errno, or EFBIG when more than maxBytes
// are there. Never reads more than maxBytes + 1 bytes.
std::optional<std::string> ReadAll(int fd, std::size_t maxBytes, int* error = nullptr);

}  // namespace base
