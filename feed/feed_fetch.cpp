// Feed retrieval on the UI thread, but for the blocking connect, which runs on a short-lived worker
// so that a silent server costs at most the connect limit.
#include "feed/feed_fetch.h"

#include <fcntl.h>
#include <io.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "common/text.h"

char ServerAddress[SERVER_ADDRESS_CAPACITY];

static const FetchLimits DefaultFetchLimits = { CONNECT_TIMEOUT_MS, REPLY_SILENCE_MS, REPLY_MAX_BYTES,
                                                REPLY_DEADLINE_MS };
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
static FetchEnd connectFailure;   // why the latest connect failed: no socket, refused or no answer

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
    connectFailure = FETCH_NO_NETWORK;
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
    connectFailure = waited != WAIT_OBJECT_0 ? FETCH_NO_ANSWER : FETCH_REFUSED;
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

// Opens path for this process alone as a text-mode stream for writing and reading back; null when
// it cannot be had.
static FILE* OpenOwnSpool(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    int descriptor = _open_osfhandle((intptr_t)file, _O_RDWR | _O_TEXT);
    if (descriptor == -1) {
        CloseHandle(file);
        return nullptr;
    }
    FILE* spool = _fdopen(descriptor, "w+t");
    if (spool == nullptr)
        _close(descriptor);
    return spool;
}

FILE* OpenSpool()
{
    // Since asInvoker there is no file virtualisation: a folder under Program Files refuses the
    // spool, and the user's temporary folder takes it instead.
    char temporary[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temporary, temporary);
    if (length == 0 || length >= sizeof temporary)
        temporary[0] = '\0';
    const char* folders[] = { "", temporary };
    char ownName[32];
    FormatText(ownName, sizeof ownName, "Pra-%lu.vnl", (unsigned long)GetCurrentProcessId());
    const char* names[] = { SPOOL_FILE_NAME, ownName };
    for (const char* folder : folders) {
        if (folder == temporary && temporary[0] == '\0')
            break;
        for (const char* name : names) {
            char path[MAX_PATH + 32];
            FormatText(path, sizeof path, "%s%s", folder, name);
            FILE* spool = OpenOwnSpool(path);
            if (spool != nullptr) {
                setvbuf(spool, nullptr, _IOFBF, SPOOL_BUFFER);
                return spool;
            }
        }
    }
    return nullptr;
}

// A failed receive: out of time (the silence limit, or the deadline when that came first), else a
// reset or other failure, which the server causes on purpose when it cuts a reply.
static FetchEnd FailedReceiveEnd(DWORD waitMs)
{
    if (WSAGetLastError() != WSAETIMEDOUT)
        return FETCH_CUT;
    return waitMs < (DWORD)fetchLimits.silenceMs ? FETCH_TOO_SLOW : FETCH_SILENT;
}

FetchEnd SpoolReply(SOCKET sock, FILE* spool)
{
    // The reply is handled in chunks of up to 1024 bytes, each written as a string: a zero byte ends
    // what is kept of its chunk. One receive takes many chunks at once, since each call is costly.
    static char received[64 * REPLY_CHUNK];
    long long total = 0;
    DWORD start = GetTickCount();
    for (;;) {
        // Each receive waits for the silence limit, or less when the deadline comes sooner: a
        // server that sends a byte now and then cannot hold the window for ever.
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= (DWORD)fetchLimits.deadlineMs)
            return FETCH_TOO_SLOW;
        DWORD wait = (DWORD)fetchLimits.deadlineMs - elapsed;
        if (wait > (DWORD)fetchLimits.silenceMs)
            wait = (DWORD)fetchLimits.silenceMs;
        setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, (const char*)&wait, sizeof wait);
        int count = recv(sock, received, sizeof received, 0);
        if (count == 0)
            return FETCH_WHOLE;
        if (count == SOCKET_ERROR)
            return FailedReceiveEnd(wait);
        total += count;
        for (int offset = 0; offset < count; offset += REPLY_CHUNK) {
            const char* chunk = received + offset;
            size_t length = (size_t)(count - offset < REPLY_CHUNK ? count - offset : REPLY_CHUNK);
            fwrite(chunk, 1, strnlen(chunk, length), spool);
        }
        if (total >= fetchLimits.maxBytes)
            return FETCH_TOO_LARGE;
    }
}

FetchEnd FetchFeed(const char* host, const char* accountId, const char* accountKey, FILE** spool)
{
    *spool = nullptr;
    SOCKET sock = ConnectToServer(host);
    if (sock == INVALID_SOCKET)
        return connectFailure;
    if (!SendRequest(sock, accountId, accountKey)) {
        closesocket(sock);
        return FETCH_NOT_SENT;
    }
    FILE* file = OpenSpool();
    if (file == nullptr) {
        closesocket(sock);
        return FETCH_NO_SPOOL;
    }
    FetchEnd end = SpoolReply(sock, file);
    closesocket(sock);
    *spool = file;
    return end;
}

FeedOutcome ReadSpool(FILE* spool, char* title, size_t titleCapacity)
{
    // Text mode turns the stored CR LF back into LF and stops at byte 0x1A.
    fflush(spool);
    fseek(spool, 0, SEEK_SET);
    FeedOutcome outcome = ReadFeed(spool, title, titleCapacity);
    fclose(spool);
    return outcome;
}
