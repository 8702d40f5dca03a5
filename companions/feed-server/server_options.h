// The feed server's command line: the options with their defaults, read from argv, and the usage.
#pragma once

#include <string>
#include <vector>

#include "common/contract.h"

// How long a stop waits for the replies under way. On Windows, where nothing asks the server to stop
// but a Ctrl+C at its console, the stop stays immediate.
#ifdef _WIN32
const int kDefaultDrainMs = 0;
#else
const int kDefaultDrainMs = 30000;
#endif

struct ServerOptions {
    std::string catalog;
    std::string address = "127.0.0.1";
    unsigned short port = FEED_PORT;
    int maxConnections = 256;
    int maxSilentPerAddress = 16;
    int requestTimeoutMs = 5000;
    int replyIdleMs = 15000;
    int drainMs = kDefaultDrainMs;
    int maxRepliesPerAddress = 8;  // replies longer than the send buffer under way to one client address
    int minSendRate = 2048;        // bytes a second a reply must average after its first seconds; 0: none
    // IPv4 addresses (as numbers) of load balancers whose connections start with a PROXY header.
    std::vector<unsigned> trustedProxies;
    // IPv4 addresses (as numbers) that may ask for GET /metrics; others get 404.
    std::vector<unsigned> metricsFrom;
    bool check = false;
    std::string keySecret;           // --key-secret FILE: the secret the catalog's verifiers were made with
    bool hashKey = false;            // --hash-key: print the verifier of the key on stdin, then exit
    bool requireHashedKeys = false;  // a plain key in the catalog is an error
    bool allowShortKeys = false;     // a plain key shorter than 8 characters only warns
};

// Reads the command line into *options. Returns 0 to go on; -1 after printing the usage on stdout for
// --help (the program then exits with 0); otherwise the exit status, 2, after saying on stderr what
// is wrong.
int ParseServerOptions(int argc, char** argv, ServerOptions* options);
