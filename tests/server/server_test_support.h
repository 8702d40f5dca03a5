// Helpers of the feed server's tests: the viewer's own reading of a feed and of a price, the bundled
// catalog's feeds written out, scratch catalog directories, the real feed-server program as a child
// process, and loopback clients.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// ---- The viewer's side --------------------------------------------------------------------------

struct ViewerProduct {
    int status = 0;  // already adjusted as the viewer does (8 off codes over 6)
    std::string name;
    int categoryId = 0;
    std::string price;
    int currencyId = 0;
    std::string webAddress;
    std::string serverPath;
};

struct ViewerFeed {
    bool noData = false;
    std::string caption;
    std::vector<ViewerProduct> products;
    int skippedLines = 0;     // pieces after the header that the viewer ignores (a long line is several)
    int overflowingLines = 0; // product lines with a text the viewer kept only cut to its buffer
};

// Reads a reply with the viewer's own feed reader, as the viewer gets it back from its spool file
// (written in "wt" mode, read in "rt" mode). The reader fills the process-wide product list, which
// this empties before and after: call it from one thread at a time.
ViewerFeed ReadFeedLikeViewer(const std::string& reply);

// ---- The bundled catalog ------------------------------------------------------------------------

// The feed the server must send for an account of the bundled catalog ("demo", "kestrel-cycles"),
// written out byte for byte beside the tests (feeds/<id>.feed: status words as their codes, code page
// 1252, every line ended by LF); "" for any other id.
std::string SampleFeed(const std::string& id);

// ---- Files ---------------------------------------------------------------------------------------

std::string MakeScratchDir();
bool WriteTextFile(const std::string& path, const std::string& text);
void RemoveTree(const std::string& dir);

// A catalog directory with the given accounts.txt and products/<id>.txt files.
struct ScratchCatalog {
    std::string dir;
};
ScratchCatalog MakeCatalog(const std::string& accounts,
                           const std::vector<std::pair<std::string, std::string>>& productFiles);

// A catalog of one account, "big" (key "big-key-1"), of 9,000 products: a feed of about 1.1 MB, which
// is written out into *feed line by line as the server must send it.
ScratchCatalog BigCatalog(std::string* feed);

// ---- The server program ------------------------------------------------------------------------

// The feed-server program, run with its stdout and stderr collected by a reader thread each.
struct ServerProcess {
    pid_t pid = -1;
    std::mutex lock;
    std::condition_variable changed;
    std::string out;
    std::string err;
    bool outClosed = false;
    bool errClosed = false;
    std::thread outReader;
    std::thread errReader;
};

// Starts the program with these arguments and waits (at most 20 s) until it says it is listening.
// False when it exits or stays silent instead; its output so far is then in out and err.
bool StartServer(const std::vector<std::string>& args, ServerProcess* server);

// Starts the program with its stdout on the given descriptor (the write end of a pipe the test reads
// as it pleases, or not at all); stderr is collected as usual. Does not wait for anything.
bool SpawnServerWithStdout(const std::vector<std::string>& args, int stdoutFd, ServerProcess* server);

// Sends the signal and waits (at most 20 s) for the exit. Returns the exit status, or -1 when the
// program was killed by a signal or had to be killed.
int StopServer(ServerProcess* server, int signalNumber);

// Waits (at most timeoutMs) for the exit, without a signal. Returns the exit status, or -1 as above.
int WaitForExit(ServerProcess* server, int timeoutMs);

// Runs the program to its end (at most 20 s); returns its exit status, or -1 as above.
int RunServer(const std::vector<std::string>& args, std::string* out, std::string* err);

// Waits (at most timeoutMs) until the stdout holds needle count times.
bool WaitForOutput(ServerProcess* server, const std::string& needle, size_t count, int timeoutMs);
std::string OutputOf(ServerProcess* server);

size_t CountOf(const std::string& text, const std::string& needle);

// ---- Loopback clients (the feed port) ----------------------------------------------------------

// A connected socket, or -1. Every receive on it gives up after 10 s, so that no test can hang. The
// connection comes from the source address when one is given (another loopback address stands for
// another client machine), with a receive buffer of that size when one is given.
int ConnectTo(const char* address, const char* source = nullptr, int receiveBufferBytes = 0);
bool SendAll(int fd, const std::string& bytes);

// How a reply ended: the server closed the connection, reset it, or sent nothing more for 10 s.
enum ReplyEnd { kEndClosed, kEndReset, kEndTimeout };
std::string ReceiveAll(int fd, ReplyEnd* end);

// Connects, sends, receives until the server ends the connection. A failed connect gives "" and
// kEndReset.
std::string Exchange(const char* address, const std::string& request, ReplyEnd* end = nullptr,
                     const char* source = nullptr);
void CloseSocket(int fd);

// The parts of an HTTP response; false when the bytes are not one.
struct HttpResponse {
    std::string statusLine;
    std::vector<std::string> headers;
    std::string body;
};
bool SplitHttpResponse(const std::string& bytes, HttpResponse* response);
std::string HeaderValue(const HttpResponse& response, const std::string& name);

// Where the tests find what they need, set by the build. FEED_SERVER_TEST_PROGRAM in the environment
// names another build of the program to run the socket tests against (an optimised one, or an older
// one to compare with).
std::string ServerProgram();
std::string SampleCatalogDir();
std::string CategoriesFile();

// The program on the bundled catalog (or another) and the address, killed when the test leaves.
struct RunningServer {
    ServerProcess process;
    bool started = false;
    RunningServer(const char* address, const std::vector<std::string>& extra = {}, const std::string& catalog = "")
    {
        std::vector<std::string> args = {"--catalog", catalog.empty() ? SampleCatalogDir() : catalog, "--address", address,
                                         "--allow-short-keys"};
        args.insert(args.end(), extra.begin(), extra.end());
        started = StartServer(args, &process);
    }
    ~RunningServer()
    {
        if (process.pid > 0)
            StopServer(&process, SIGKILL);
    }
};

#define START_SERVER(name, ...)                                                               \
    RunningServer name(__VA_ARGS__);                                                          \
    ASSERT_TRUE(name.started) << "server did not start:\n" << name.process.out << name.process.err
