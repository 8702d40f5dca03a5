// The typed prefix of type to find and the wrapping search for the next matching row.
#include "listview/typed_prefix.h"

TypedSearch TypeCharacter(TypedPrefix* typed, char c, unsigned tick)
{
    bool fresh = typed->length == 0 || tick - typed->lastTick > TYPING_PAUSE_MS;
    typed->lastTick = tick;
    if (fresh)
        typed->length = 0;
    if (typed->length < TYPED_PREFIX_CAPACITY - 1) {
        typed->text[typed->length++] = c;
        typed->text[typed->length] = '\0';
    }
    bool repeated = true;
    for (size_t i = 1; i < typed->length; ++i)
        repeated = repeated && typed->text[i] == typed->text[0];
    if (repeated)
        return { typed->text, 1, true };
    return { typed->text, typed->length, false };
}

int FindRowFrom(int count, int start, bool (*matches)(int row, const void* context), const void* context)
{
    if (count <= 0)
        return -1;
    if (start < 0 || start >= count)
        start = 0;
    for (int i = 0; i < count; ++i) {
        int row = (start + i) % count;
        if (matches(row, context))
            return row;
    }
    return -1;
}
