#pragma once

namespace kept {

// One string setting under a Pascal-string key (length byte, then the bytes).
// allUsers asks for the store shared by all users of this machine first; the
// current user's store of the settings domain serves otherwise, and as the
// fallback when the shared store has no value or cannot be written.

// A new[] array (the caller delete[]s it) with the setting's text, at most 255
// bytes, or null when there is none or it is not a string.
char* ReadPreferenceValue(const unsigned char* key, unsigned char allUsers);

// Stores value (NUL-terminated) under key. Always returns 0.
int WritePreferenceValue(char* value, const unsigned char* key, unsigned char allUsers);

}  // namespace kept
