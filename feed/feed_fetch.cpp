// Feed retrieval on the UI thread, but for the blocking connect, which runs on a short-lived worker
// so that a silent server costs at most the connect limit.
#include "feed/feed_fetch.h"

#include <stdio.h>
#include <string.h>

#include "common/text.h"

char ServerAddress[SERVER_ADDRESS_CAPACITY];

static const FetchLimits DefaultFetchLimits = { CONNECT_TIMEOUT_MS, REPLY_SILENCE_MS, REPLY_MAX_BYTES };
static FetchLimits fetchLimits = DefaultFetchLimits; // the limits in force

// Shared by the UI thread and the connect worker; the done event orders their accesses.
struct ConnectBlock {
    SOCKET sock;         // the stream socket to connect
    int connected;       // 1 once the worker starts, 0 when its connect failed
    sockaddr_in address; // the server, on the feed port
    HANDLE doneEvent;    // auto-reset, unnamed: signalled when the connect call has returned
    int timeoutMs;       // time allowed for the connect
    HANDLE workerThread; // ended forcibly when the time runs out
};
static ConnectBlock connectBlock; // the one connect of the run

const FetchLimits& CurrentFetchLimits()
{
    return fetchLimits;
}

void SetFetchLimits(const FetchLimits* limits)
{
    fetchLimits = limits != nullptr ? *limits : DefaultFetchLimits;
}

int StartNetworking()
{
    WSADATA data;
    if (WSAStartup(0x0101, &data) != 0) {
        MessageBoxA(nullptr, "Initialize WinSock Failed", "Product", MB_OK);
        return 0;
    }
    if (data.wVersion != 0x0101) {
        MessageBoxA(nullptr, "Wrong WinSock Version", "Product", MB_OK);
        return 0;
    }
    return 1;
}

// Thread routine of the connect; exit code 1.
static DWORD WINAPI ConnectWorker(LPVOID parameter)
{
    ConnectBlock* block = (ConnectBlock*)parameter;
    block->connected = 1;
    if (connect(block->sock, (const sockaddr*)&block->address, sizeof block->address) == SOCKET_ERROR)
        block->connected = 0;
    SetEvent(block->doneEvent);
    return 1;
}

SOCKET ConnectToServer(const char* host)
{
    CopyText(ServerAddress, sizeof ServerAddress, host[0] == '\0' ? "127.0.0.1" : host);
    SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (sock == INVALID_SOCKET)
        return INVALID_SOCKET;

    ConnectBlock* block = &connectBlock;
    ZeroMemory(&block->address, sizeof block->address);
    block->address.sin_family = AF_INET;
    block->address.sin_addr.s_addr = inet_addr(ServerAddress); // dotted form only, no name lookup
    block->address.sin_port = htons(FEED_PORT);
    block->sock = sock;
    block->timeoutMs = fetchLimits.connectMs;
    // Unnamed, so that two viewers running at once never satisfy each other's wait.
    block->doneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    block->workerThread = nullptr;
    if (block->doneEvent != nullptr)
        block->workerThread = CreateThread(nullptr, 0, ConnectWorker, block, 0, nullptr);
    if (block->workerThread == nullptr) {
        if (block->doneEvent != nullptr)
            CloseHandle(block->doneEvent);
        closesocket(sock);
        return INVALID_SOCKET;
    }

    DWORD waited = WaitForSingleObject(block->doneEvent, (DWORD)block->timeoutMs);
    if (waited != WAIT_OBJECT_0 || block->connected == 0) {
        if (waited != WAIT_OBJECT_0) {
            // The worker is still inside connect: end it before its socket and event go away.
            TerminateThread(block->workerThread, (DWORD)-1);
            WaitForSingleObject(block->workerThread, 1000);
        }
        CloseHandle(block->workerThread);
        closesocket(sock);
        CloseHandle(block->doneEvent);
        return INVALID_SOCKET;
    }
    CloseHandle(block->doneEvent);
    CloseHandle(block->workerThread);
    return sock;
}

bool SendRequest(SOCKET sock, const char* accountId, const char* accountKey)
{
    char request[60];
    size_t length = FormatText(request, sizeof request, FEED_REQUEST_FORMAT, accountId, accountKey);
    return send(sock, request, (int)length, 0) != SOCKET_ERROR;
}

bool SpoolReply(SOCKET sock, const char* path)
{
    // Text mode: every line feed is stored as carriage return and line feed, as the parser expects.
    FILE* spool = fopen(path, "wt");
    if (spool == nullptr)
        return false;
    setvbuf(spool, nullptr, _IOFBF, SPOOL_BUFFER);
    // A receive that waits longer than the silence limit fails, which ends the reply like a close.
    DWORD silence = (DWORD)fetchLimits.silenceMs;
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, (const char*)&silence, sizeof silence);
    // The reply is handled in chunks of up to 1024 bytes, each written as a string: a zero byte ends
    // what is kept of its chunk. One receive takes many chunks at once, since each call is costly.
    static char received[64 * REPLY_CHUNK];
    long long total = 0;
    while (total < fetchLimits.maxBytes) {
        int count = recv(sock, received, sizeof received, 0);
        if (count == 0 || count == SOCKET_ERROR)
            break;
        total += count;
        for (int offset = 0; offset < count; offset += REPLY_CHUNK) {
            const char* chunk = received + offset;
            size_t length = (size_t)(count - offset < REPLY_CHUNK ? count - offset : REPLY_CHUNK);
            fwrite(chunk, 1, strnlen(chunk, length), spool);
        }
    }
    fclose(spool);
    return true;
}

bool FetchFeed(const char* host, const char* accountId, const char* accountKey)
{
    SOCKET sock = ConnectToServer(host);
    if (sock == INVALID_SOCKET)
        return false;
    if (!SendRequest(sock, accountId, accountKey)) {
        closesocket(sock);
        return false;
    }
    bool spooled = SpoolReply(sock, SPOOL_FILE_NAME);
    closesocket(sock);
    return spooled;
}

bool ReadSpoolFile(char* title, size_t titleCapacity, FeedOutcome* outcome)
{
    // Text mode turns the stored CR LF back into LF and stops at byte 0x1A.
    FILE* spool = fopen(SPOOL_FILE_NAME, "rt");
    if (spool == nullptr) {
        remove(SPOOL_FILE_NAME);
        return false;
    }
    setvbuf(spool, nullptr, _IOFBF, SPOOL_BUFFER);
    *outcome = ReadFeed(spool, title, titleCapacity);
    fclose(spool);
    remove(SPOOL_FILE_NAME);
    return true;
}
