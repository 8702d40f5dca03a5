// The PROXY protocol header a balancer puts first: versions 1 and 2 as HAProxy writes them, the kinds
// that name no client, every way a header is wrong, and each header's every start waited for.
#include <gtest/gtest.h>

#include <string>

#include "proxy_header.h"

namespace {

// A version 2 header: version and command, family and protocol, then the address block as given.
std::string V2(int command, int family, const std::string& addresses)
{
    return std::string("\r\n\r\n\0\r\nQUIT\n", 12) + (char)command + (char)family + (char)(addresses.size() >> 8) +
           (char)(addresses.size() & 0xFF) + addresses;
}

// 203.0.113.9:5555 to 127.0.0.1:1360, and 2001:db8::1:443 to ::1:1360.
const std::string kTcp4("\xCB\x00\x71\x09\x7F\x00\x00\x01\x15\xB3\x05\x50", 12);
const std::string kTcp6 = std::string("\x20\x01\x0D\xB8", 4) + std::string(11, '\0') + "\x01" + std::string(15, '\0') +
                          "\x01\x01\xBB\x05\x50";

TEST(feed_server_proxy_header, ReadsTheClientAndWaitsForEveryHeaderWhole)
{
    struct Case {
        std::string header;
        const char* client;  // "" for none
        unsigned short port;
    } cases[] = {
        {"PROXY TCP4 198.51.100.7 127.0.0.1 40000 1360\r\n", "198.51.100.7", 40000},
        {"PROXY TCP6 2001:db8::7 ::1 65535 1360\r\n", "2001:db8::7", 65535},
        {"PROXY UNKNOWN ffff:f...f:ffff ffff:f...f:ffff 65535 65535\r\n", "", 0},
        {V2(0x21, 0x11, kTcp4 + "\x04\x00\x02xy"), "203.0.113.9", 5555},  // a TLV after the addresses
        {V2(0x21, 0x21, kTcp6), "2001:db8::1", 443},
        {V2(0x20, 0x11, kTcp4), "", 0},                                   // LOCAL: a balancer's health check
        {V2(0x21, 0x00, ""), "", 0},                                      // a family this server cannot name
        {V2(0x21, 0x31, std::string(216, 'u')), "", 0},
    };
    for (const Case& c : cases) {
        const std::string bytes = c.header + "VNP,demo^demo\r\n";
        ProxyHeader header;
        ASSERT_EQ(kProxyComplete, ParseProxyHeader(bytes.data(), bytes.size(), &header)) << c.header;
        EXPECT_EQ(c.header.size(), header.length) << c.header;
        EXPECT_EQ(*c.client != '\0', header.hasClient) << c.header;
        if (header.hasClient)
            EXPECT_EQ(c.client + (":" + std::to_string(c.port)),
                      header.client.to_string() + ":" + std::to_string(header.clientPort));
        for (size_t size = 0; size < c.header.size(); ++size)
            EXPECT_EQ(kProxyPartial, ParseProxyHeader(bytes.data(), size, &header)) << c.header << " at " << size;
    }
}

TEST(feed_server_proxy_header, RefusesAnythingElseAsSoonAsItCanTell)
{
    const std::string refused[] = {
        "VNP,demo^demo\r\n",
        "proxy TCP4 198.51.100.7 127.0.0.1 40000 1360\r\n",
        "PROXY TCP4 198.51.100.7 127.0.0.1 40000 1360\n",      // no CR
        "PROXY TCP4 198.51.100.7  127.0.0.1 40000 1360\r\n",   // two blanks
        "PROXY TCP4 198.51.100.300 127.0.0.1 40000 1360\r\n",
        "PROXY TCP6 198.51.100.7 ::1 40000 1360\r\n",          // IPv4 said to be IPv6
        "PROXY UDP4 198.51.100.7 127.0.0.1 40000 1360\r\n",
        "PROXY TCP4 198.51.100.7 127.0.0.1 40000 1360" + std::string(80, ' '),  // no line end in 107 bytes
        V2(0x11, 0x11, kTcp4),                // version 1 in a version 2 header
        V2(0x21, 0x12, kTcp4),                // datagrams
        V2(0x21, 0x21, kTcp6.substr(0, 35)),  // an address block too short for its family
        V2(0x21, 0x11, std::string(kProxyHeaderMax, 'x')).substr(0, 16),  // too long, told by its length field
    };
    for (const std::string& bytes : refused) {
        ProxyHeader header;
        EXPECT_EQ(kProxyInvalid, ParseProxyHeader(bytes.data(), bytes.size(), &header)) << bytes;
    }
}

} // namespace
