// The feed-ordered product list: appending, walking, freeing and allocation failure.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>
#include <vector>

#include "feed/product_list.h"

namespace {

struct ProductListTest : ::testing::Test {
    void TearDown() override
    {
        SetProductAllocator(nullptr);
        FreeProducts();
    }
};

std::vector<std::string> Names()
{
    std::vector<std::string> names;
    for (ProductRecord* r = ProductListHead(); r != nullptr; r = r->next)
        names.push_back(r->name);
    return names;
}

int Append(const char* name)
{
    return AppendProduct(1, name, 2, "3.00", 4, "web", "path");
}

TEST_F(ProductListTest, StartsEmpty)
{
    EXPECT_EQ(nullptr, ProductListHead());
}

TEST_F(ProductListTest, ThreeAppendsLinkInOrder)
{
    ASSERT_EQ(1, Append("first"));
    ProductRecord* head = ProductListHead();
    ASSERT_EQ(1, Append("second"));
    ASSERT_EQ(1, Append("third"));
    EXPECT_EQ(head, ProductListHead()) << "the head never changes on later appends";
    ASSERT_NE(nullptr, head->next);
    ASSERT_NE(nullptr, head->next->next);
    EXPECT_STREQ("second", head->next->name);
    EXPECT_STREQ("third", head->next->next->name);
    EXPECT_EQ(nullptr, head->next->next->next);
}

TEST_F(ProductListTest, StoresEveryFieldAsGiven)
{
    ASSERT_EQ(1, AppendProduct(-1, "Blue chair", 14, "120.00", 978, "shop.example/chairs", "item7"));
    ProductRecord* r = ProductListHead();
    EXPECT_EQ(-1, r->status);
    EXPECT_STREQ("Blue chair", r->name);
    EXPECT_EQ(14, r->categoryId);
    EXPECT_STREQ("120.00", r->price);
    EXPECT_EQ(978, r->currencyId);
    EXPECT_STREQ("shop.example/chairs", r->webAddress);
    EXPECT_STREQ("item7", r->serverPath);
}

TEST_F(ProductListTest, EmptyTextsAndInnerCharactersAreKept)
{
    ASSERT_EQ(1, AppendProduct(0, "", 0, "", 0, "", ""));
    ASSERT_EQ(1, AppendProduct(0, "  a # : b  ", 0, " 1,200 ", 0, "x y", "\xE9"));
    ProductRecord* empty = ProductListHead();
    EXPECT_STREQ("", empty->name);
    EXPECT_STREQ("", empty->price);
    EXPECT_STREQ("", empty->webAddress);
    EXPECT_STREQ("", empty->serverPath);
    EXPECT_STREQ("  a # : b  ", empty->next->name);
    EXPECT_STREQ(" 1,200 ", empty->next->price);
    EXPECT_STREQ("x y", empty->next->webAddress);
    EXPECT_STREQ("\xE9", empty->next->serverPath);
}

TEST_F(ProductListTest, OverlongTextsAreCutToTheirFields)
{
    std::string longText(600, 'w');
    ASSERT_EQ(1, AppendProduct(0, longText.c_str(), 0, longText.c_str(), 0, longText.c_str(), longText.c_str()));
    ProductRecord* r = ProductListHead();
    EXPECT_EQ(std::string(127, 'w'), r->name);
    EXPECT_EQ(std::string(31, 'w'), r->price);
    EXPECT_EQ(std::string(254, 'w'), r->webAddress);
    EXPECT_EQ(std::string(254, 'w'), r->serverPath);
    EXPECT_EQ(0, r->status) << "the cut must not spill into the fields behind the texts";
    EXPECT_EQ(nullptr, r->next);
}

TEST_F(ProductListTest, FreeingEmptiesTheListAndAnAppendStartsANewOne)
{
    FreeProducts();
    EXPECT_EQ(nullptr, ProductListHead());
    Append("a");
    Append("b");
    FreeProducts();
    EXPECT_EQ(nullptr, ProductListHead());
    Append("c");
    EXPECT_EQ(std::vector<std::string>{ "c" }, Names()) << "a stale tail would link c behind freed memory";
}

int allocationsLeft;
void* FailAfter(size_t size)
{
    return allocationsLeft-- > 0 ? malloc(size) : nullptr;
}

TEST_F(ProductListTest, AFailedAllocationLeavesTheListAsItWas)
{
    Append("a");
    Append("b");
    allocationsLeft = 0;
    SetProductAllocator(FailAfter);
    EXPECT_EQ(0, Append("lost"));
    EXPECT_EQ((std::vector<std::string>{ "a", "b" }), Names());
    allocationsLeft = 1;
    EXPECT_EQ(1, Append("c"));
    EXPECT_EQ(0, Append("lost too"));
    SetProductAllocator(nullptr);
    EXPECT_EQ(1, Append("d"));
    EXPECT_EQ((std::vector<std::string>{ "a", "b", "c", "d" }), Names());
}

TEST_F(ProductListTest, FailureIntoAnEmptyListKeepsItEmpty)
{
    allocationsLeft = 0;
    SetProductAllocator(FailAfter);
    EXPECT_EQ(0, Append("lost"));
    EXPECT_EQ(nullptr, ProductListHead());
}

TEST_F(ProductListTest, ManyAppendsKeepFeedOrder)
{
    const int count = 200000;
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(1, AppendProduct(i, "n", i, "p", 0, "", ""));
    int expected = 0;
    for (ProductRecord* r = ProductListHead(); r != nullptr; r = r->next, ++expected)
        ASSERT_EQ(expected, r->categoryId);
    EXPECT_EQ(count, expected);
}

} // namespace
