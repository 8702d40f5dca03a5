// Feed retrieval: networking start-up, the connect under a time limit, the request line, and the
// reply spooled to "Pra.vnl" for the parser.
#pragma once

#include <winsock.h>
#include <windows.h>

// The server address actually used: the launch host, or "127.0.0.1" when that is empty.
extern char ServerAddress[32];

// Shared by the UI thread and the connect worker; the done event orders their accesses.
struct ConnectBlock {
    SOCKET sock;         // the stream socket to connect
    int connected;       // 1 once the worker starts, 0 when its connect failed
    sockaddr_in address; // the server, port 1360
    HANDLE doneEvent;    // auto-reset, unnamed: signalled when the connect call has returned
    int timeoutMs;       // time allowed for the connect
    HANDLE workerThread; // ended forcibly when the time runs out
};
extern ConnectBlock TheConnectBlock;

extern const char SpoolFileName[]; // "Pra.vnl", in the current directory
enum { FEED_PORT = 1360, CONNECT_TIMEOUT_MS = 10000, REPLY_CHUNK = 1024 };
enum { SPOOL_BUFFER = 64 * 1024 }; // stdio buffer of the spool file, both ways

// Bounds on a reply, which otherwise ends only when the server closes the connection: no real
// feed goes silent this long or grows this large, so what arrived by then is taken as the reply.
struct ReplyLimits {
    int silenceMs;
    long long maxBytes;
};
extern ReplyLimits TheReplyLimits;
enum { REPLY_SILENCE_MS = 15000 };
const long long REPLY_MAX_BYTES = 128LL * 1024 * 1024;

// WinSock 1.1 start-up, then the four menu bitmaps. Returns 1, or 0 after telling the user why not.
int StartNetworking();

// Fetches, spools and parses the feed: titles window and fills list. Silent on every failure.
void FetchFeed(HWND window, HWND list, const char* host);

// Thread routine of the connect; exit code 1.
DWORD WINAPI ConnectWorker(LPVOID block);

// The steps of FetchFeed, for the benchmark that times them one by one.
SOCKET ConnectToServer(const char* host);     // INVALID_SOCKET on any failure or time-out
bool SendRequest(SOCKET sock);                // the request line for the launch account
bool SpoolReply(SOCKET sock, const char* path); // the whole reply into path, in text mode
