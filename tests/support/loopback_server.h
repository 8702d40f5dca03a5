// A scripted feed server on a loopback address of the test's own, running on a thread of the test.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

struct ServerScript {
    std::vector<std::string> chunks; // sent one send each, in order
    int chunkDelayMs = 0;            // pause before each chunk
    bool stayOpen = false;           // after the chunks, keep the connection open and silent
    long long repeats = 0;           // after the chunks, send the last chunk again this many times
    bool endless = false;            // ... or until the peer leaves; each again after the pause
};

struct LoopbackServer {
    SOCKET listener = INVALID_SOCKET;
    HANDLE thread = nullptr;
    HANDLE stop = nullptr; // set to end a server that stays open
    ServerScript script;
    std::string request;   // the bytes the client sent, up to its CR LF
    int connections = 0;
    std::vector<SOCKET> fillers; // connections that keep a silent listener's queue full
};

// The hostile feed the viewer's product cap is for: a caption, then ten million 13-byte product lines
// (130 MB, under the size limit), sent 10,000 at a time.
ServerScript TenMillionShortProducts();

// Starts WinSock for the test program (once) so the viewer's own clean-up never ends it.
void KeepWinSockStarted();

// Listens on address, port 1360, and serves one connection with script on a thread.
bool StartServer(LoopbackServer* server, const char* address, const ServerScript& script);

// Listens on address without ever accepting, with its accept queue filled, so that a further
// connect gets no answer at all.
bool StartSilentListener(LoopbackServer* server, const char* address);

// Ends the server and waits for its thread.
void StopServer(LoopbackServer* server);
