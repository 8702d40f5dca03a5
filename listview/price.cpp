// Price parsing in double precision, one character at a time.
#include "listview/price.h"

static bool IsDigit(signed char c)
{
    return c >= '0' && c <= '9';
}

double ParsePrice(const char* text)
{
    // Characters count as signed 8-bit values, so every byte from 0x80 up is just "another character".
    const signed char* c = (const signed char*)text;
    double value = 0.0;
    for (; *c != '\0' && *c != '.'; ++c) {
        if (*c == ',')
            continue; // a thousands separator, accepted anywhere before the point
        if (!IsDigit(*c))
            return -1.0;
        value = value * 10.0 + (*c - '0');
    }
    if (*c == '\0')
        return value;
    // Each fraction digit adds digit / 10, digit / 100, ...: dividing by an exact power of ten keeps
    // "0.05" at the double nearest 0.05.
    double divisor = 10.0;
    for (++c; *c != '\0'; ++c) {
        if (!IsDigit(*c))
            return -1.0;
        value += (*c - '0') / divisor;
        divisor *= 10.0;
    }
    return value;
}
