// Reading a PROXY protocol header: version 1 ("PROXY TCP4 src dst sport dport" and CR LF) and
// version 2 (a binary signature, then command, family, length and the addresses).
#include "proxy_header.h"

#include <string.h>

#include <string>

namespace {

const char kV1Prefix[] = "PROXY ";
const size_t kV1Max = 107;  // the longest version 1 line, its CR LF included
const unsigned char kV2Signature[12] = {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x0D, 0x0A, 0x51, 0x55, 0x49, 0x54, 0x0A};
const size_t kV2Fixed = 16;  // signature, version and command, family, length

// True while the bytes so far are the start of (or the whole of) the given prefix.
bool MayStart(const char* data, size_t size, const void* prefix, size_t length)
{
    return memcmp(data, prefix, size < length ? size : length) == 0;
}

// A port: 1 to 5 digits, at most 65535.
bool ParsePort(const std::string& text, unsigned short* port)
{
    if (text.empty() || text.size() > 5)
        return false;
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (unsigned long)(c - '0');
    }
    if (value > 65535)
        return false;
    *port = (unsigned short)value;
    return true;
}

// "PROXY TCP4 192.0.2.1 198.51.100.1 56324 1360": the fields split at single blanks.
ProxyState ParseV1(const char* data, size_t size, ProxyHeader* header)
{
    const size_t span = size < kV1Max ? size : kV1Max;
    const char* lf = (const char*)memchr(data, '\n', span);
    if (lf == nullptr)
        return size >= kV1Max ? kProxyInvalid : kProxyPartial;
    const size_t lineLength = (size_t)(lf - data);
    if (lineLength == 0 || data[lineLength - 1] != '\r')
        return kProxyInvalid;
    const std::string line(data, lineLength - 1);
    std::string fields[6];
    size_t count = 0;
    for (size_t at = 0; at <= line.size() && count < 6;) {
        size_t blank = line.find(' ', at);
        if (blank == std::string::npos || count == 5)
            blank = line.size();
        fields[count++] = line.substr(at, blank - at);
        at = blank + 1;
    }
    header->length = lineLength + 1;
    if (count >= 2 && fields[1] == "UNKNOWN") {
        header->hasClient = false;
        return kProxyComplete;
    }
    if (count != 6 || (fields[1] != "TCP4" && fields[1] != "TCP6"))
        return kProxyInvalid;
    std::error_code sourceError;
    std::error_code destinationError;
    unsigned short destinationPort = 0;
    if (fields[1] == "TCP4") {
        header->client = asio::ip::make_address_v4(fields[2], sourceError);
        asio::ip::make_address_v4(fields[3], destinationError);
    } else {
        header->client = asio::ip::make_address_v6(fields[2], sourceError);
        asio::ip::make_address_v6(fields[3], destinationError);
    }
    if (sourceError || destinationError || !ParsePort(fields[4], &header->clientPort) ||
        !ParsePort(fields[5], &destinationPort))
        return kProxyInvalid;
    header->hasClient = true;
    return kProxyComplete;
}

ProxyState ParseV2(const unsigned char* data, size_t size, ProxyHeader* header)
{
    if (size < kV2Fixed)
        return kProxyPartial;
    const unsigned version = data[12] >> 4;
    const unsigned command = data[12] & 0x0F;
    const unsigned family = data[13];
    const size_t length = ((size_t)data[14] << 8) | data[15];
    if (version != 2 || command > 1 || kV2Fixed + length > kProxyHeaderMax)
        return kProxyInvalid;
    // Addresses of a family this server cannot be reached by are not taken on trust.
    const bool tcp4 = family == 0x11;
    const bool tcp6 = family == 0x21;
    const bool other = family == 0x00 || family == 0x31;  // unspecified, or a Unix socket
    if (!tcp4 && !tcp6 && !other)
        return kProxyInvalid;
    if (command == 1 && ((tcp4 && length < 12) || (tcp6 && length < 36)))
        return kProxyInvalid;
    if (size < kV2Fixed + length)
        return kProxyPartial;
    header->length = kV2Fixed + length;
    // LOCAL: the balancer's own connection, whatever addresses it carries.
    header->hasClient = command == 1 && !other;
    if (!header->hasClient)
        return kProxyComplete;
    const unsigned char* addresses = data + kV2Fixed;
    if (tcp4) {
        asio::ip::address_v4::bytes_type bytes;
        memcpy(bytes.data(), addresses, 4);
        header->client = asio::ip::address_v4(bytes);
        header->clientPort = (unsigned short)((addresses[8] << 8) | addresses[9]);
    } else {
        asio::ip::address_v6::bytes_type bytes;
        memcpy(bytes.data(), addresses, 16);
        header->client = asio::ip::address_v6(bytes);
        header->clientPort = (unsigned short)((addresses[32] << 8) | addresses[33]);
    }
    return kProxyComplete;
}

} // namespace

ProxyState ParseProxyHeader(const char* data, size_t size, ProxyHeader* header)
{
    *header = ProxyHeader();
    if (size == 0)
        return kProxyPartial;
    if (MayStart(data, size, kV2Signature, sizeof kV2Signature)) {
        if (size < sizeof kV2Signature)
            return kProxyPartial;
        return ParseV2((const unsigned char*)data, size, header);
    }
    if (MayStart(data, size, kV1Prefix, strlen(kV1Prefix))) {
        if (size < strlen(kV1Prefix))
            return kProxyPartial;
        return ParseV1(data, size, header);
    }
    return kProxyInvalid;
}
