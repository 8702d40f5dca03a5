// Bounded copy and format helpers for fixed-capacity text buffers.
#include "common/text.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

size_t CopyTextN(char* dst, size_t cap, const char* src, size_t count)
{
    if (cap == 0)
        return 0;
    size_t n = 0;
    while (n < count && n + 1 < cap && src[n] != '\0')
        ++n;
    memcpy(dst, src, n);
    dst[n] = '\0';
    return n;
}

size_t CopyText(char* dst, size_t cap, const char* src)
{
    return CopyTextN(dst, cap, src, (size_t)-1);
}

size_t FormatText(char* dst, size_t cap, const char* format, ...)
{
    if (cap == 0)
        return 0;
    va_list args;
    va_start(args, format);
    int wanted = vsnprintf(dst, cap, format, args);
    va_end(args);
    if (wanted < 0) {
        dst[0] = '\0';
        return 0;
    }
    return (size_t)wanted < cap ? (size_t)wanted : cap - 1;
}
