// Copied rows as tab-separated text.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "listview/table_text.h"

namespace {

TEST(TableText, CellsSplitByTabsRowsEndedByCrLfAndLineBreaksInACellBecomeBlanks)
{
    TableText table = {};
    const char* rows[][3] = { { "", "two\twords", "" }, { "a\r\nb", "\n", "last" } };
    for (const auto& row : rows) {
        for (int i = 0; i < 3; ++i)
            AppendCell(&table, row[i], i == 0);
        EndRow(&table);
    }
    for (int i = 0; i < 200; ++i) // grows past its first allocation
        AppendCell(&table, "0123456789", true);
    ASSERT_FALSE(table.failed);
    std::string expected = "\ttwo words\t\r\na  b\t \tlast\r\n" + std::string(2000, ' ');
    for (size_t i = 0; i < 2000; ++i)
        expected[expected.size() - 2000 + i] = (char)('0' + i % 10);
    EXPECT_EQ(expected, std::string(table.bytes, table.length));
    EXPECT_EQ(expected.size(), strlen(table.bytes));
    FreeTableText(&table);
    EXPECT_EQ(nullptr, table.bytes);
}

} // namespace
