// The PROXY protocol header (versions 1 and 2) that a load balancer sends before a client's bytes to
// name the client it speaks for. Pure parsing over bytes, so that it is tested and fuzzed without sockets.
#pragma once

#include <asio/ip/address.hpp>

#include <stddef.h>

// A version 1 header is at most 107 bytes; a version 2 header is 16 bytes and what its length field
// adds, which a balancer keeps to a few dozen (addresses and a TLV or two). Longer is refused.
const size_t kProxyHeaderMax = 1024;

enum ProxyState { kProxyPartial, kProxyInvalid, kProxyComplete };

struct ProxyHeader {
    size_t length = 0;       // bytes of the header; the client's own bytes follow them
    bool hasClient = false;  // false: the balancer speaks for itself (its health checks: v2 LOCAL, v1 UNKNOWN)
    asio::ip::address client;
    unsigned short clientPort = 0;
};

// Whether data starts with a whole, valid header: kProxyPartial while the bytes so far may still
// become one, kProxyInvalid as soon as they cannot (or the header would pass kProxyHeaderMax), and
// kProxyComplete with *header filled in.
ProxyState ParseProxyHeader(const char* data, size_t size, ProxyHeader* header);
