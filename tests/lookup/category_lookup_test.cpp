// Vn_Category.dll as the viewer sees it, checked line by line against the real categories.txt.
#include "companions/category/category_lookup.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifndef LOOKUP_CATEGORY_DATA
#error LOOKUP_CATEGORY_DATA must name categories.txt as Windows sees it
#endif

namespace {

const char kUnknownCategory[] = "Unknown category";

struct CategoryLine {
    int lineNumber;
    int id;
    std::string name;  // converted to code page 1252, as the DLL returns it
};

// UTF-8 (the data file) to code page 1252 (the DLL's texts); false when a character has no 1252 form.
bool Utf8To1252(const std::string& utf8, std::string* out)
{
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(), nullptr, 0);
    if (wide <= 0)
        return false;
    std::vector<wchar_t> text((size_t)wide);
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(), text.data(), wide);
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, text.data(), wide, nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy)
        return false;
    out->assign((size_t)bytes, '\0');
    WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, text.data(), wide, &(*out)[0], bytes, nullptr, nullptr);
    return true;
}

// Reads the category lines of the data file in order; adds a test failure for anything unreadable.
std::vector<CategoryLine> ReadCategoryFile()
{
    std::vector<CategoryLine> lines;
    FILE* file = fopen(LOOKUP_CATEGORY_DATA, "rb");
    if (!file) {
        ADD_FAILURE() << "cannot open " << LOOKUP_CATEGORY_DATA;
        return lines;
    }
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        content.append(chunk, got);
    fclose(file);
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
        content.erase(0, 3);

    size_t start = 0;
    int lineNumber = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const size_t bar = line.find('|');
        if (bar == std::string::npos) {
            ADD_FAILURE() << "line " << lineNumber << " has no '|': " << line;
            continue;
        }
        CategoryLine entry;
        entry.lineNumber = lineNumber;
        entry.id = (int)strtol(line.substr(0, bar).c_str(), nullptr, 10);
        if (!Utf8To1252(line.substr(bar + 1), &entry.name)) {
            ADD_FAILURE() << "line " << lineNumber << " is not code page 1252 text: " << line;
            continue;
        }
        lines.push_back(entry);
    }
    return lines;
}

}  // namespace

TEST(lookupCategory, EveryDataLineMapsToItsOrdinalAndName)
{
    const std::vector<CategoryLine> lines = ReadCategoryFile();
    ASSERT_GE(lines.size(), 100u) << "categories.txt should hold the whole taxonomy";
    for (size_t ordinal = 0; ordinal < lines.size(); ++ordinal) {
        const CategoryLine& line = lines[ordinal];
        SCOPED_TRACE(testing::Message() << "categories.txt:" << line.lineNumber << " id " << line.id);
        // Ordinals are positions in the data file, so the n-th category line has ordinal n.
        const int found = func32_Get_IDToOrd(line.id);
        ASSERT_EQ(found, (int)ordinal);
        const char* name = func32_Get_FullName(found);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(name, line.name.c_str());
    }
    // One past the last line is outside the table: it holds exactly the file's categories.
    EXPECT_STREQ(func32_Get_FullName((int)lines.size()), kUnknownCategory);
}

TEST(lookupCategory, IdsNotInTheDataGiveMinusOne)
{
    const std::vector<CategoryLine> lines = ReadCategoryFile();
    ASSERT_FALSE(lines.empty());
    std::set<int> ids;
    for (const CategoryLine& line : lines)
        ids.insert(line.id);
    // The neighbours of every id probe both sides of each step of the search.
    std::vector<int> absent = {0, -1, INT_MIN, INT_MAX, -lines[0].id};
    for (int id : ids) {
        if (!ids.count(id - 1))
            absent.push_back(id - 1);
        if (!ids.count(id + 1))
            absent.push_back(id + 1);
    }
    for (int id : absent) {
        if (ids.count(id))
            continue;
        SCOPED_TRACE(id);
        EXPECT_EQ(func32_Get_IDToOrd(id), -1);
    }
}

TEST(lookupCategory, OrdinalsOutsideTheTableGiveUnknownCategory)
{
    int count = 0;
    while (strcmp(func32_Get_FullName(count), kUnknownCategory) != 0)
        ASSERT_LT(++count, 100000) << "the table never ends";
    const int outside[] = {-1, -2, INT_MIN, count, count + 1, INT_MAX};
    for (int ordinal : outside) {
        SCOPED_TRACE(ordinal);
        const char* name = func32_Get_FullName(ordinal);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(name, kUnknownCategory);
    }
    EXPECT_STREQ(func32_Get_FullName(func32_Get_IDToOrd(0)), kUnknownCategory);
}

TEST(lookupCategory, FullNamesAreDistinctBoundedAndTheirParentsExist)
{
    std::vector<std::string> names;
    for (int ordinal = 0; strcmp(func32_Get_FullName(ordinal), kUnknownCategory) != 0; ++ordinal) {
        const char* name = func32_Get_FullName(ordinal);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(func32_Get_FullName(ordinal), name) << "texts are static";
        names.push_back(name);
    }
    ASSERT_GE(names.size(), 100u);
    const std::set<std::string> all(names.begin(), names.end());
    EXPECT_EQ(all.size(), names.size()) << "two ordinals share a full name";
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(name.empty());
        EXPECT_LE(name.size(), (size_t)kCategoryFullNameMax);
        for (size_t cut = name.find(" > "); cut != std::string::npos; cut = name.find(" > ", cut + 1))
            EXPECT_EQ(all.count(name.substr(0, cut)), 1u) << "missing parent " << name.substr(0, cut);
    }
}

TEST(lookupCategory, CoversTheRetailDepartments)
{
    const char* departments[] = {
        "Home & Garden", "Electronics", "Clothing & Accessories", "Sports & Outdoors",
        "Toys & Games", "Books & Media", "Health & Beauty", "Food & Drink",
        "Office Supplies", "Tools & Hardware", "Automotive", "Pet Supplies",
        "Baby & Kids", "Jewelry & Watches", "Arts & Crafts", "Musical Instruments",
    };
    std::set<std::string> topLevel;
    for (int ordinal = 0; strcmp(func32_Get_FullName(ordinal), kUnknownCategory) != 0; ++ordinal) {
        const char* name = func32_Get_FullName(ordinal);
        if (!strstr(name, " > "))
            topLevel.insert(name);
    }
    for (const char* department : departments)
        EXPECT_EQ(topLevel.count(department), 1u) << department;
}
