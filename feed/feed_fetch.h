// Feed retrieval: networking start-up, the connect under a time limit, the request line, and the
// reply spooled to the spool file for the parser.
#pragma once

#include <winsock.h>
#include <windows.h>

#include "common/capacities.h"
#include "common/contract.h"
#include "feed/feed_format.h"

// The server address actually used: the launch host, or "127.0.0.1" when that is empty. Written
// at the start of each fetch; the link menu builds server page addresses from it.
extern char ServerAddress[SERVER_ADDRESS_CAPACITY];

enum { REPLY_CHUNK = 1024 };
enum { SPOOL_BUFFER = 64 * 1024 }; // stdio buffer of the spool file, both ways

// Bounds on a fetch. The reply otherwise ends only when the server closes the connection: no real
// feed goes silent this long or grows this large, so what arrived by then is taken as the reply.
struct FetchLimits {
    int connectMs;      // time allowed for the connect
    int silenceMs;      // longest wait for the next part of the reply
    long long maxBytes; // largest reply kept
};
enum { CONNECT_TIMEOUT_MS = 10000, REPLY_SILENCE_MS = 15000 };
const long long REPLY_MAX_BYTES = 128LL * 1024 * 1024;

// The limits in force; tests shorten them. Null restores the defaults above.
const FetchLimits& CurrentFetchLimits();
void SetFetchLimits(const FetchLimits* limits);

// WinSock 1.1 start-up. Returns 1, or 0 after telling the user why not.
int StartNetworking();

// Connects to host (empty: the local machine), sends the request line for the account and spools
// the whole reply to SPOOL_FILE_NAME. Returns true when the spool file was written; every failure
// before that is silent and leaves no spool file.
bool FetchFeed(const char* host, const char* accountId, const char* accountKey);

// The steps of FetchFeed, for the tests and the benchmark that time them one by one.
SOCKET ConnectToServer(const char* host); // INVALID_SOCKET on any failure or time-out
bool SendRequest(SOCKET sock, const char* accountId, const char* accountKey);
bool SpoolReply(SOCKET sock, const char* path); // the whole reply into path, in text mode

// Reads the spool file into the product list and title, then deletes it. Returns false, title
// untouched, when the file cannot be opened.
bool ReadSpoolFile(char* title, size_t titleCapacity, FeedOutcome* outcome);
