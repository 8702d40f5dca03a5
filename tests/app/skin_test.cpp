// Reading colours from skin libraries, and the real skin's bitmaps.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/look.h"
#include "win_test_support.h"

namespace {

const COLORREF Unset = RGB(1, 2, 3);

SkinColours Read(const std::string& library, int* opened = nullptr)
{
    SkinColours colours = { Unset, Unset };
    HMODULE skin = LoadLibraryA(library.c_str());
    if (skin != nullptr) {
        ReadSkinColours(skin, &colours);
        FreeLibrary(skin);
    }
    if (opened != nullptr)
        *opened = skin != nullptr;
    return colours;
}

// The test skin's strings are "16777215" and "192"; long_skin's first is more than nine digits and it
// has no second; wordy_skin's are "teal" and " +65280px". A missing string leaves its colour as it was.
TEST(ReadSkinColours, ReadsEachStringByTheDecimalRulesCutToNineDigits)
{
    const struct {
        const char* why;
        std::string library;
        COLORREF background, listText;
    } cases[] = {
        { "the test skin: white background and dark red text", TestDirectory() + "Vn_Skin.dll",
          RGB(255, 255, 255), RGB(192, 0, 0) },
        { "the skin found by its name beside the program", SkinLibraryName, RGB(255, 255, 255), RGB(192, 0, 0) },
        { "a long text is cut to nine digits; a missing string keeps its colour", TestDirectory() + "long_skin.dll",
          (COLORREF)123456789, Unset },
        { "a word converts to 0; blanks and a sign may come before the digits", TestDirectory() + "wordy_skin.dll",
          RGB(0, 0, 0), RGB(0, 255, 0) },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        int opened = 0;
        SkinColours colours = Read(c.library, &opened);
        EXPECT_EQ(1, opened);
        EXPECT_EQ(c.background, colours.background);
        EXPECT_EQ(c.listText, colours.listText);
    }
}

TEST(OpenSkin, TakesTheSkinsColoursAndKeepsItOpenUntilClosed)
{
    ASSERT_EQ(1, OpenSkin(SkinLibraryName));
    EXPECT_NE(nullptr, TheLook().skin);
    EXPECT_EQ(RGB(255, 255, 255), TheLook().colours.background);
    EXPECT_EQ(RGB(192, 0, 0), TheLook().colours.listText);
    LOGBRUSH brush = {};
    ASSERT_EQ((int)sizeof brush, GetObjectA(TheLook().backgroundBrush, sizeof brush, &brush));
    EXPECT_EQ(RGB(255, 255, 255), brush.lbColor);
    CloseSkin();
    EXPECT_EQ(nullptr, TheLook().skin);
    EXPECT_EQ(nullptr, GetModuleHandleA("Vn_Skin.dll")) << "the one load of the skin was given back";
    DeleteBackgroundBrush();
}

TEST(OpenSkin, WithoutTheLibraryTheWindowTakesTheSystemsColours)
{
    EXPECT_EQ(0, OpenSkin((TestDirectory() + "no_such_skin.dll").c_str()));
    EXPECT_EQ(nullptr, TheLook().skin);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), TheLook().colours.background);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), TheLook().colours.listText);
    EXPECT_NE(nullptr, TheLook().backgroundBrush);
    LoadMenuBitmaps();
    for (HBITMAP bitmap : TheLook().menuBitmaps)
        EXPECT_EQ(nullptr, bitmap) << "no skin, no icons";
    DeleteBackgroundBrush();
}

// The real skin shipped in bin/.
struct RealSkin : ::testing::Test {
    HMODULE skin = nullptr;
    void SetUp() override
    {
        skin = LoadLibraryA((RuntimeDirectory() + "Vn_Skin.dll").c_str());
        ASSERT_NE(nullptr, skin);
    }
    void TearDown() override { FreeLibrary(skin); }
};

double Luminance(COLORREF c)
{
    return 0.2126 * GetRValue(c) + 0.7152 * GetGValue(c) + 0.0722 * GetBValue(c);
}

TEST_F(RealSkin, ColoursAreNumbersWithReadableContrast)
{
    char background[16], text[16];
    ASSERT_GT(LoadStringA(skin, SKIN_BACKGROUND_COLOUR, background, sizeof background), 0);
    ASSERT_GT(LoadStringA(skin, SKIN_LIST_TEXT_COLOUR, text, sizeof text), 0);
    EXPECT_LE(strlen(background), 9u) << "the program reads at most 9 characters";
    EXPECT_LE(strlen(text), 9u);
    EXPECT_EQ(strspn(background, "0123456789"), strlen(background));
    EXPECT_EQ(strspn(text, "0123456789"), strlen(text));

    SkinColours colours = Read(RuntimeDirectory() + "Vn_Skin.dll");
    EXPECT_EQ((COLORREF)atoi(background), colours.background);
    EXPECT_EQ((COLORREF)atoi(text), colours.listText);
    EXPECT_EQ(0u, colours.background >> 24);
    EXPECT_EQ(0u, colours.listText >> 24);
    // The list text is drawn on the list's white; the background should be light and calm.
    EXPECT_GT(Luminance(RGB(255, 255, 255)) - Luminance(colours.listText), 120.0);
    EXPECT_GT(Luminance(colours.background), 180.0);
}

struct BitmapSize {
    const char* name;
    int width, height;
};

const BitmapSize SkinBitmaps[] = {
    { "Prod1", 66, 16 },      { "Prod2", 66, 16 },      { "Prod3", 66, 16 }, { "Prod4", 66, 16 },
    { "Prod5", 66, 16 },      { "Prod6", 66, 16 },      { "EDITOR_Hi1", 13, 13 },
    { "EDITOR_Hi2", 13, 13 }, { "Sort1", 13, 13 },      { "Sort2", 13, 13 },
};

TEST_F(RealSkin, HoldsTheTenBitmapsAtTheirSizes)
{
    for (const BitmapSize& expected : SkinBitmaps) {
        HBITMAP bitmap = LoadBitmapA(skin, expected.name);
        ASSERT_NE(nullptr, bitmap) << expected.name;
        BITMAP info = {};
        GetObjectA(bitmap, sizeof info, &info);
        EXPECT_EQ(expected.width, info.bmWidth) << expected.name;
        EXPECT_EQ(expected.height, info.bmHeight) << expected.name;
        DeleteObject(bitmap);
    }
}

// Counts the pixels of a bitmap that have the given colour.
int CountColour(HBITMAP bitmap, int width, int height, COLORREF colour)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    int count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            count += GetPixel(dc, x, y) == colour;
    SelectObject(dc, old);
    DeleteDC(dc);
    return count;
}

TEST_F(RealSkin, MenuIconsHaveASilverKeyAroundAVisibleDrawing)
{
    // Silver is transparent when the icons are drawn: each icon needs both a keyed background and a
    // drawing of its own, or it shows as a grey square or not at all.
    for (const char* name : { "EDITOR_Hi1", "EDITOR_Hi2", "Sort1", "Sort2" }) {
        HBITMAP bitmap = LoadBitmapA(skin, name);
        ASSERT_NE(nullptr, bitmap) << name;
        int keyed = CountColour(bitmap, 13, 13, RGB(192, 192, 192));
        EXPECT_GT(keyed, 20) << name;
        EXPECT_GT(13 * 13 - keyed, 20) << name;
        DeleteObject(bitmap);
    }
}

TEST_F(RealSkin, StatusImagesDifferFromEachOther)
{
    // Four statuses must be told apart at a glance: no two badges may be the same picture.
    HBITMAP badges[4];
    for (int i = 0; i < 4; ++i) {
        badges[i] = LoadBitmapA(skin, ("Prod" + std::to_string(i + 1)).c_str());
        ASSERT_NE(nullptr, badges[i]);
    }
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) {
            HGDIOBJ oldA = SelectObject(a, badges[i]);
            HGDIOBJ oldB = SelectObject(b, badges[j]);
            int differing = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 66; ++x)
                    differing += GetPixel(a, x, y) != GetPixel(b, x, y);
            SelectObject(a, oldA);
            SelectObject(b, oldB);
            EXPECT_GT(differing, 50) << "Prod" << i + 1 << " and Prod" << j + 1;
        }
    DeleteDC(a);
    DeleteDC(b);
    for (HBITMAP badge : badges)
        DeleteObject(badge);
}

} // namespace
