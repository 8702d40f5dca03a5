// The feed server's command line: the options with their defaults, read from argv, and the usage.
#pragma once

#include <string>

#include "common/contract.h"

struct ServerOptions {
    std::string catalog;
    std::string address = "127.0.0.1";
    unsigned short port = FEED_PORT;
    int maxConnections = 256;
    int maxSilentPerAddress = 16;
    int requestTimeoutMs = 5000;
    int replyIdleMs = 15000;
    bool check = false;
};

// Reads the command line into *options. Returns 0 to go on; -1 after printing the usage on stdout for
// --help (the program then exits with 0); otherwise the exit status, 2, after saying on stderr what
// is wrong.
int ParseServerOptions(int argc, char** argv, ServerOptions* options);
