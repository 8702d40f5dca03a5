// libFuzzer target: any bytes as a price text, read as a number.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "listview/price.h"

// The shape of a price: only digits, ',' and '.', at most one '.', and no ',' after it.
static bool IsPriceShaped(const char* text, size_t length)
{
    bool point = false;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '.') {
            if (point)
                return false;
            point = true;
        } else if (c == ',') {
            if (point)
                return false;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly the input and its terminator on the heap, so ASan sees any read past the text.
    char* text = (char*)malloc(size + 1);
    if (text == nullptr)
        return 0;
    memcpy(text, data, size);
    text[size] = '\0';
    const size_t length = strlen(text); // an embedded zero ends the text, as it does for the parser

    const double value = ParsePrice(text);
    // No price is exactly -1.0; every price is a number from zero up (never NaN).
    if (!(value == -1.0 || value >= 0.0))
        __builtin_trap();
    const bool shaped = IsPriceShaped(text, length);
    if (shaped != (value != -1.0))
        __builtin_trap();
    if (strspn(text, "0123456789,.") != length && value != -1.0)
        __builtin_trap();

    // The whole-number part, while it has at most 15 digits, is exact, and the fraction only adds.
    if (shaped) {
        uint64_t whole = 0;
        int digits = 0;
        for (size_t i = 0; i < length && text[i] != '.'; ++i) {
            if (text[i] == ',')
                continue;
            if (digits > 15)
                break; // past what a double holds exactly; nothing more is checked
            whole = whole * 10 + (uint64_t)(text[i] - '0');
            if (whole != 0)
                ++digits; // leading zeros do not count against the fifteen
        }
        const bool fraction = memchr(text, '.', length) != nullptr;
        if (digits <= 15) {
            if (value < (double)whole)
                __builtin_trap();
            if (!fraction && value != (double)whole)
                __builtin_trap();
        }
    }
    free(text);
    return 0;
}
