// The one binary search over the companions' generated tables, which the generators write sorted by
// a whole-number key: the category library, the currency library and the feed server all find by it.
#pragma once

// The position in [0, count) whose key is key, where keyAt(position) rises with position; -1 when no
// position has it. The table's own order is the caller's: keyAt may look through an index.
template <typename KeyAt>
int FindSortedKey(int count, int key, KeyAt keyAt)
{
    int low = 0;
    int high = count;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const int found = keyAt(middle);
        if (found == key)
            return middle;
        if (found < key)
            low = middle + 1;
        else
            high = middle;
    }
    return -1;
}
