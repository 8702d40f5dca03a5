// feed-server-bench's command line: the server to load, the request, and which of the load cases.
#pragma once

#include <string>

#include "common/contract.h"

struct BenchOptions {
    std::string address = "127.0.0.1";
    unsigned short port = FEED_PORT;
    int clients = 50;
    int seconds = 5;
    std::string request = FEED_REQUEST_PREFIX "demo^demo\r\n";
    std::string source;      // source address of the clients; empty: the system's choice
    bool atOnce = false;
    int hog = 0;             // silent connections held by the hog, 0: none
    std::string hogSource = "127.0.0.1";
    long slowRate = 0;       // bytes per second of the slow reader, 0: no slow reader
    std::string guessId;     // account whose keys are guessed, empty: no guessing
    int sources = 1;         // the clients take this many consecutive source addresses from source on
    int pauseMs = 0;         // each client's pause between an answer and its next request
};

// Reads the command line into *options; false, after the usage on stderr, for anything it does not take.
bool ParseBenchOptions(int argc, char** argv, BenchOptions* options);
