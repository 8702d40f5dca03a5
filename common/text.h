// Bounded writes into fixed-capacity, zero-terminated text buffers.
// Every fixed buffer in the program is written through these, so none can overflow.
#pragma once

#include <stddef.h>

// Copies src into dst (capacity cap bytes, terminator included), cutting it to cap - 1 characters.
// Returns the number of characters stored. A cap of 0 stores nothing.
size_t CopyText(char* dst, size_t cap, const char* src);

// Copies at most count characters of src, stopping early at src's terminator; cut to capacity as above.
size_t CopyTextN(char* dst, size_t cap, const char* src, size_t count);

// printf-style formatting into dst, cut to capacity. Returns the number of characters stored.
size_t FormatText(char* dst, size_t cap, const char* format, ...) __attribute__((format(printf, 3, 4)));

// The capacity of a character array, for the calls above.
template <size_t N> constexpr size_t Capacity(const char (&)[N]) { return N; }
