// Feed retrieval: networking start-up, the connect under a time limit, the request line, and the
// reply spooled to the spool file for the parser.
#pragma once

#include <winsock.h>
#include <windows.h>

#include "common/capacities.h"
#include "common/contract.h"
#include "feed/feed_format.h"
#include "feed/fetch_end.h"

// The server address actually used: the launch host, or "127.0.0.1" when that is empty. Written
// at the start of each fetch; the link menu builds server page addresses from it.
extern char ServerAddress[SERVER_ADDRESS_CAPACITY];

enum { REPLY_CHUNK = 1024 };
enum { SPOOL_BUFFER = 64 * 1024 }; // stdio buffer of the spool file, both ways

// Bounds on a fetch. No real feed goes silent this long, grows this large or takes this long; what
// arrived by then is shown as an incomplete list.
struct FetchLimits {
    int connectMs;      // time allowed for the connect
    int silenceMs;      // longest wait for the next part of the reply
    long long maxBytes; // largest reply kept
    int deadlineMs;     // longest time for the whole reply, however it trickles in
};
enum { CONNECT_TIMEOUT_MS = 10000, REPLY_SILENCE_MS = 15000, REPLY_DEADLINE_MS = 120000 };
const long long REPLY_MAX_BYTES = 128LL * 1024 * 1024;

// The limits in force; tests shorten them. Null restores the defaults above.
const FetchLimits& CurrentFetchLimits();
void SetFetchLimits(const FetchLimits* limits);

// WinSock 1.1 start-up. Returns 1, or 0 after telling the user why not.
int StartNetworking();

// Connects to host (empty: the local machine), sends the request line for the account and spools
// the reply. Says how the fetch ended; *spool is the open spool when anything was received into
// it (the whole reply or a part), else null.
FetchEnd FetchFeed(const char* host, const char* accountId, const char* accountKey, FILE** spool);

// Opens a spool that no other process can open while this one holds it, deleted when closed:
// SPOOL_FILE_NAME in the current folder, a name of this process's own there when that is in use,
// and the same two in the user's temporary folder when the current folder refuses them. Null when
// none can be written.
FILE* OpenSpool();

// The steps of FetchFeed, for the tests and the benchmark that time them one by one.
SOCKET ConnectToServer(const char* host); // INVALID_SOCKET on any failure or time-out
bool SendRequest(SOCKET sock, const char* accountId, const char* accountKey);
FetchEnd SpoolReply(SOCKET sock, FILE* spool); // the reply into spool, in text mode

// Reads the spool from its start into the product list and title, then closes it (which deletes
// an opened spool).
FeedOutcome ReadSpool(FILE* spool, char* title, size_t titleCapacity);
