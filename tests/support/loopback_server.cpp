// Scripted loopback servers for the feed retrieval tests and the benchmark.
#include "loopback_server.h"

#include "common/contract.h"

void KeepWinSockStarted()
{
    static bool started;
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
}

static SOCKET Listen(const char* address, int backlog)
{
    KeepWinSockStarted();
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET)
        return INVALID_SOCKET;
    BOOL reuse = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, (const char*)&reuse, sizeof reuse);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = inet_addr(address);
    at.sin_port = htons(FEED_PORT);
    if (bind(listener, (sockaddr*)&at, sizeof at) != 0 || listen(listener, backlog) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    return listener;
}

// Reads the request line, or what comes within two seconds.
static std::string ReadRequest(SOCKET peer)
{
    std::string request;
    DWORD timeout = 2000;
    setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, (const char*)&timeout, sizeof timeout);
    char c;
    while (request.size() < 4096 && recv(peer, &c, 1, 0) == 1) {
        request += c;
        if (request.size() >= 2 && request.compare(request.size() - 2, 2, "\r\n") == 0)
            break;
    }
    return request;
}

static bool SendAll(SOCKET peer, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(peer, bytes.data() + sent, (int)(bytes.size() - sent), 0);
        if (n <= 0)
            return false;
        sent += (size_t)n;
    }
    return true;
}

static DWORD WINAPI Serve(LPVOID parameter)
{
    LoopbackServer* server = (LoopbackServer*)parameter;
    SOCKET peer = accept(server->listener, nullptr, nullptr);
    if (peer == INVALID_SOCKET)
        return 0;
    ++server->connections;
    BOOL noDelay = TRUE;
    setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, (const char*)&noDelay, sizeof noDelay);
    server->request = ReadRequest(peer);
    const ServerScript& script = server->script;
    bool open = true;
    for (const std::string& chunk : script.chunks) {
        if (script.chunkDelayMs > 0)
            Sleep(script.chunkDelayMs);
        if (!(open = SendAll(peer, chunk)))
            break;
    }
    if (open && !script.chunks.empty())
        for (long long again = 0; script.endless || again < script.repeats; ++again)
            if (WaitForSingleObject(server->stop, (DWORD)script.chunkDelayMs) != WAIT_TIMEOUT ||
                !SendAll(peer, script.chunks.back()))
                break;
    if (script.stayOpen)
        WaitForSingleObject(server->stop, INFINITE);
    closesocket(peer);
    return 0;
}

bool StartServer(LoopbackServer* server, const char* address, const ServerScript& script)
{
    server->script = script;
    server->listener = Listen(address, 4);
    if (server->listener == INVALID_SOCKET)
        return false;
    server->stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    server->thread = CreateThread(nullptr, 0, Serve, server, 0, nullptr);
    return server->thread != nullptr;
}

bool StartSilentListener(LoopbackServer* server, const char* address)
{
    server->listener = Listen(address, 0);
    if (server->listener == INVALID_SOCKET)
        return false;
    server->stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // Fill the accept queue; connects beyond it see their SYNs dropped and wait.
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = inet_addr(address);
    at.sin_port = htons(FEED_PORT);
    for (int i = 0; i < 3; ++i) {
        SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long nonBlocking = 1;
        ioctlsocket(filler, FIONBIO, &nonBlocking);
        connect(filler, (sockaddr*)&at, sizeof at);
        server->fillers.push_back(filler);
        Sleep(50);
    }
    return true;
}

void StopServer(LoopbackServer* server)
{
    if (server->stop != nullptr)
        SetEvent(server->stop);
    if (server->listener != INVALID_SOCKET)
        closesocket(server->listener); // ends an accept still waiting
    for (SOCKET filler : server->fillers)
        closesocket(filler);
    server->fillers.clear();
    if (server->thread != nullptr) {
        WaitForSingleObject(server->thread, 10000);
        CloseHandle(server->thread);
    }
    if (server->stop != nullptr)
        CloseHandle(server->stop);
    server->listener = INVALID_SOCKET;
    server->thread = nullptr;
    server->stop = nullptr;
}

ServerScript TenMillionShortProducts()
{
    std::string lines;
    for (int i = 0; i < 10000; ++i)
        lines += ":^^^^^^^^^^#\n";
    ServerScript script;
    script.chunks = { "Cap\n", lines };
    script.repeats = 999;
    return script;
}
