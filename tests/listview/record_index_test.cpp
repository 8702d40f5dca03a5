// The record index that sort passes find their prepared keys through: every record it was given is
// found with its place, no other is, and it never takes more records than it was made for.
#include <gtest/gtest.h>

#include <vector>

#include "listview/record_index.h"

namespace {

TEST(RecordIndex, FindsEveryRecordItHoldsWithItsPlaceAndNoOther)
{
    for (size_t count : { 0u, 1u, 7u, 1000u, 100000u }) {
        SCOPED_TRACE(count);
        // Records side by side, as allocations one after another lie, and others never added.
        std::vector<long long> records(count + 1), strangers(64);
        RecordIndex index;
        ASSERT_TRUE(MakeRecordIndex(&index, count));
        for (size_t i = 0; i < count; ++i) {
            ASSERT_TRUE(AddRecord(&index, &records[i], (unsigned)(count - i)));
        }
        EXPECT_FALSE(AddRecord(&index, &records[count], 1)) << "one record more than it was made for";
        if (count > 0) {
            EXPECT_TRUE(AddRecord(&index, &records[0], 4242)) << "a record added again takes its new place";
        }

        size_t wrong = 0;
        for (size_t i = 0; i < count; ++i) {
            unsigned place = 0;
            wrong += !FindRecord(index, &records[i], &place) || place != (i == 0 ? 4242u : (unsigned)(count - i));
        }
        EXPECT_EQ(0u, wrong);
        unsigned place = 0;
        EXPECT_FALSE(FindRecord(index, &records[count], &place));
        for (long long& stranger : strangers)
            EXPECT_FALSE(FindRecord(index, &stranger, &place));
        // At most two thirds full, and never more than four slots a record: a few bytes a row.
        EXPECT_LE(RecordIndexBytes(index), (count * 4 + 16) * (sizeof(void*) + sizeof(unsigned)));

        FreeRecordIndex(&index);
        EXPECT_FALSE(count > 0 && FindRecord(index, &records[1 % count], &place));
        EXPECT_EQ(0u, RecordIndexBytes(index));
    }
}

} // namespace
