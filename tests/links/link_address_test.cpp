// The two addresses handed to the companion browser, and the wrap-safe wait after starting it.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "common/capacities.h"
#include "links/link_address.h"

namespace {

TEST(FormatWebUrl, PutsTheSchemeBeforeTheRawAddress)
{
    char url[LINK_ADDRESS_CAPACITY];
    FormatWebUrl(url, sizeof url, "shop.example/chairs/oak?colour=red&size=2");
    EXPECT_STREQ("http://shop.example/chairs/oak?colour=red&size=2", url);
}

TEST(FormatServerPageUrl, JoinsServerPortPathAndAccountWithoutEscaping)
{
    char url[LINK_ADDRESS_CAPACITY];
    FormatServerPageUrl(url, sizeof url, "127.0.0.1", "oak chair/%20", "my id", "k^y#");
    EXPECT_STREQ("http://127.0.0.1:1360/oak chair/%20^my id^k^y#", url);
    FormatServerPageUrl(url, sizeof url, "10.0.0.7", "p", "", "");
    EXPECT_STREQ("http://10.0.0.7:1360/p^^", url);
}

// Longer texts than the buffer holds are cut to it, never written past it.
TEST(LinkAddresses, TooLongForTheBufferAreCutToIt)
{
    const std::string web(254, 'w');
    char url[LINK_ADDRESS_CAPACITY + 8];
    memset(url, '#', sizeof url);
    FormatWebUrl(url, LINK_ADDRESS_CAPACITY, web.c_str());
    EXPECT_EQ(LINK_ADDRESS_CAPACITY - 1, (int)strlen(url));
    EXPECT_EQ(("http://" + web).substr(0, LINK_ADDRESS_CAPACITY - 1), std::string(url));
    for (size_t i = LINK_ADDRESS_CAPACITY; i < sizeof url; ++i)
        ASSERT_EQ('#', url[i]) << "written past the buffer at " << i;

    memset(url, '#', sizeof url);
    const std::string path(254, 'p'), id(39, 'i'), key(11, 'k');
    FormatServerPageUrl(url, LINK_ADDRESS_CAPACITY, "255.255.255.255", path.c_str(), id.c_str(), key.c_str());
    std::string whole = "http://255.255.255.255:1360/" + path + "^" + id + "^" + key;
    EXPECT_EQ(whole.substr(0, LINK_ADDRESS_CAPACITY - 1), std::string(url));
    for (size_t i = LINK_ADDRESS_CAPACITY; i < sizeof url; ++i)
        ASSERT_EQ('#', url[i]) << "written past the buffer at " << i;
}

TEST(LinkAddresses, ExactlyFullAddressesAreKeptWhole)
{
    // 7 fixed characters and 248 of address fill 255 characters, the buffer's most.
    const std::string web(248, 'w');
    char url[LINK_ADDRESS_CAPACITY];
    FormatWebUrl(url, sizeof url, web.c_str());
    EXPECT_EQ("http://" + web, std::string(url));
}

TEST(TickWaitOver, CountsTheUnsignedDifferenceAcrossTheWrap)
{
    EXPECT_FALSE(TickWaitOver(1000, 2999, 2000));
    EXPECT_TRUE(TickWaitOver(1000, 3000, 2000));
    // 0xFFFFFF00 to 0x000006D0 is 0x7D0 = 2000 ms, although the second reading is the smaller.
    EXPECT_TRUE(TickWaitOver(0xFFFFFF00u, 0x000006D0u, 2000));
    EXPECT_FALSE(TickWaitOver(0xFFFFFF00u, 0x000006CFu, 2000));
    EXPECT_FALSE(TickWaitOver(0xFFFFFF00u, 0xFFFFFFFFu, 2000));
}

} // namespace
