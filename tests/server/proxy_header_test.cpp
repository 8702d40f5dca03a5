// The PROXY protocol header a balancer puts first: versions 1 and 2 as HAProxy writes them, the kinds
// that name no client, every way a header is wrong, and each header's every start waited for.
#include <gtest/gtest.h>

#include <string>

#include "proxy_header.h"

namespace {

const std::string kV2Signature("\r\n\r\n\0\r\nQUIT\n", 12);

// A version 2 header: version and command, family and protocol, then the address block as given.
std::string V2(unsigned char command, unsigned char family, const std::string& addresses)
{
    std::string header = kV2Signature;
    header += (char)command;
    header += (char)family;
    header += (char)(addresses.size() >> 8);
    header += (char)(addresses.size() & 0xFF);
    return header + addresses;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int v : values)
        bytes += (char)v;
    return bytes;
}

// 203.0.113.9:5555 to 127.0.0.1:1360.
const std::string kTcp4 = Bytes({203, 0, 113, 9, 127, 0, 0, 1, 0x15, 0xB3, 0x05, 0x50});
// 2001:db8::1:443 to ::1:1360.
const std::string kTcp6 = Bytes({0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x01, 0xBB, 0x05, 0x50});

TEST(feed_server_proxy_header, ReadsTheClientAndWaitsForEveryHeaderWhole)
{
    struct Case {
        std::string header;
        bool hasClient;
        const char* client;
        unsigned short port;
    } cases[] = {
        {"PROXY TCP4 198.51.100.7 127.0.0.1 40000 1360\r\n", true, "198.51.100.7", 40000},
        {"PROXY TCP6 2001:db8::7 ::1 65535 1360\r\n", true, "2001:db8::7", 65535},
        {"PROXY UNKNOWN\r\n", false, "", 0},
        {"PROXY UNKNOWN ffff:f...f:ffff ffff:f...f:ffff 65535 65535\r\n", false, "", 0},
        {V2(0x21, 0x11, kTcp4), true, "203.0.113.9", 5555},
        {V2(0x21, 0x21, kTcp6), true, "2001:db8::1", 443},
        // Extra bytes after the addresses are TLVs: skipped with the header.
        {V2(0x21, 0x11, kTcp4 + Bytes({0x04, 0x00, 0x02, 'a', 'b'})), true, "203.0.113.9", 5555},
        // LOCAL, a balancer's health check: no client, whatever the block holds.
        {V2(0x20, 0x00, ""), false, "", 0},
        {V2(0x20, 0x11, kTcp4), false, "", 0},
        // A PROXY of a family this server cannot name: taken, as the balancer's own.
        {V2(0x21, 0x00, ""), false, "", 0},
        {V2(0x21, 0x31, std::string(216, 'u')), false, "", 0},
    };
    const std::string request = "VNP,demo^demo\r\n";
    for (const Case& c : cases) {
        const std::string bytes = c.header + request;
        ProxyHeader header;
        ASSERT_EQ(kProxyComplete, ParseProxyHeader(bytes.data(), bytes.size(), &header)) << c.header;
        EXPECT_EQ(c.header.size(), header.length) << c.header;
        EXPECT_EQ(c.hasClient, header.hasClient) << c.header;
        if (c.hasClient) {
            EXPECT_EQ(c.client, header.client.to_string()) << c.header;
            EXPECT_EQ(c.port, header.clientPort) << c.header;
        }
        // However the header arrives in pieces, it is waited for until whole.
        for (size_t size = 0; size < c.header.size(); ++size)
            EXPECT_EQ(kProxyPartial, ParseProxyHeader(bytes.data(), size, &header)) << c.header << " at " << size;
    }
}

TEST(feed_server_proxy_header, RefusesAnythingElseAsSoonAsItCanTell)
{
    const std::string refused[] = {
        "VNP,demo^demo\r\n",
        "GET / HTTP/1.0\r\n\r\n",
        "PROXY TCP4 198.51.100.7 127.0.0.1 40000 1360\n",      // no CR
        "PROXY TCP4 198.51.100.7 127.0.0.1 40000\r\n",         // a field short
        "PROXY TCP4 198.51.100.7 127.0.0.1 40000 1360 9\r\n",  // a field over
        "PROXY TCP4 198.51.100.7  127.0.0.1 40000 1360\r\n",   // two blanks
        "PROXY TCP4 198.51.100.300 127.0.0.1 40000 1360\r\n",
        "PROXY TCP4 2001:db8::7 127.0.0.1 40000 1360\r\n",     // IPv6 said to be IPv4
        "PROXY TCP6 198.51.100.7 ::1 40000 1360\r\n",
        "PROXY TCP4 198.51.100.7 127.0.0.1 65536 1360\r\n",
        "PROXY TCP4 198.51.100.7 127.0.0.1 -1 1360\r\n",
        "PROXY UDP4 198.51.100.7 127.0.0.1 40000 1360\r\n",
        "PROXY TCP4 198.51.100.7 127.0.0.1 40000 1360" + std::string(80, ' '),  // no line end in 107 bytes
        "proxy TCP4 198.51.100.7 127.0.0.1 40000 1360\r\n",
        V2(0x11, 0x11, kTcp4),                   // version 1 in a version 2 header
        V2(0x22, 0x11, kTcp4),                   // no such command
        V2(0x21, 0x12, kTcp4),                   // datagrams
        V2(0x21, 0x11, kTcp4.substr(0, 11)),     // an address block too short for its family
        V2(0x21, 0x21, kTcp6.substr(0, 35)),
        V2(0x21, 0x11, std::string(kProxyHeaderMax, 'x')),
        std::string("\r\n\r\n\0\r\nQUIX\n", 12) + std::string(8, '\0'),
    };
    for (const std::string& bytes : refused) {
        ProxyHeader header;
        EXPECT_EQ(kProxyInvalid, ParseProxyHeader(bytes.data(), bytes.size(), &header)) << bytes;
    }
    // A version 2 header is judged by its first 16 bytes, before its address block comes.
    const std::string tooLong = V2(0x21, 0x11, std::string(kProxyHeaderMax, 'x'));
    ProxyHeader header;
    EXPECT_EQ(kProxyInvalid, ParseProxyHeader(tooLong.data(), 16, &header));
}

} // namespace
