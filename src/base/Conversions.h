#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/CString256.h"

namespace base {

// Decimal text. The allocating forms return a new[] array owned by the caller, or null when
// no memory could be had. Every value converts in full, the most negative ones included.
char* itoa(unsigned long value);
char* itoa(long value);
char* itoa(short value);
// Writes at most size - 1 of the lowest digits (higher ones are dropped), after a "-" for a
// negative value; buf must hold size + 1 bytes.
void itoa(char* buf, short size, long value) noexcept;
void itoa(char* buf, short size, unsigned long long value) noexcept;
// Reverses a NUL-terminated string in place; null is ignored.
void reverse(char* s) noexcept;

// URL character classes (RFC 1738), ASCII only whatever the locale: 1 or 0.
unsigned char isHiAlpha(unsigned char c) noexcept;
unsigned char isLoAlpha(unsigned char c) noexcept;
unsigned char isHiorLoAlpha(unsigned char c) noexcept;
unsigned char isDig(unsigned char c) noexcept;
unsigned char isSafe(unsigned char c) noexcept;
unsigned char isExtra(unsigned char c) noexcept;
unsigned char isNational(unsigned char c) noexcept;
unsigned char isReserved(unsigned char c) noexcept;
unsigned char isPunctuation(unsigned char c) noexcept;

// 1 for the space, control characters and bytes 128-255; 0 for everything else.
unsigned char NeedsURLEncoding(unsigned char c) noexcept;
// dst (4 bytes) becomes c itself, or "%xx" in lower-case hex when c needs encoding.
char* URLencode(char* dst, unsigned char c) noexcept;
// Like URLencode, but keeps only letters, digits, "$-_.+" and "&".
char* URLSafeEncode(char* dst, unsigned char c) noexcept;

// Appends e.g. "1 hr 1 min 1 sec " to out; zero seconds replace out with "0 secs".
void ElapsedTimeMessage(unsigned long seconds, CString256& out);

// Turns an absolute POSIX path into its colon-separated form: the root directory becomes
// the volume "Root", "/" separators become ":", and ":" inside a name becomes "/" (the
// classic swap, so the conversion can be undone); empty names ("//", a trailing "/") are
// dropped. "/home/ann/a:b.log" becomes "Root:home:ann:a/b.log" and "/" becomes "Root".
// The path is left as it was when it is not absolute or the result would not fit in 255
// bytes.
void ConvertPosixPathToHFSPath(CString256& path);

// The inverse: "Root:home:ann:a/b.log" gives "/home/ann/a:b.log" and "Root" gives "/". A
// path that is already absolute POSIX (the forward conversion leaves those it cannot
// convert) is returned as it is. Anything else, including empty names ("Root::x"), gives
// nothing.
std::optional<std::string> ConvertHFSPathToPosixPath(std::string_view hfsPath);

}  // namespace base
