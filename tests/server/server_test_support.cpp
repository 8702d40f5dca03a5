// Helpers of the feed server's tests: the viewer's own reading of a feed (through its spool file's
// text-mode round trip), scratch catalogs, the server program as a child process with its output
// collected, and blocking loopback clients with time limits.
#include "server_test_support.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "common/capacities.h"
#include "common/contract.h"
#include "feed/feed_format.h"
#include "feed/product_list.h"
#include "tests/support/spool_text_mode.h"

extern char** environ;

// ---- The viewer's side --------------------------------------------------------------------------

namespace {

// A stream over the bytes, read as the viewer reads its spool file once the C runtime has translated it.
FILE* OpenText(const std::string& text)
{
    FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (stream == nullptr) {
        perror("fmemopen");
        abort(); // nothing here can judge a feed without its reader
    }
    return stream;
}

// Whether the viewer kept the whole text of a field, not a cut start of it.
bool KeptWhole(const char* kept, const char* field, size_t fieldLength)
{
    return strlen(kept) == fieldLength && memcmp(kept, field, fieldLength) == 0;
}

// Counts the pieces after the header that the reader ignored, and the product lines whose texts the
// product list holds cut. The pieces are taken as the reader takes them; the i-th product line is the
// i-th record of the list.
void CountLines(const std::string& text, ViewerFeed* feed)
{
    FILE* stream = OpenText(text);
    char line[FEED_READ_CHARS + 1];
    const ProductRecord* record = ProductListHead();
    bool header = true;
    while (fgets(line, sizeof line, stream) != nullptr) {
        const size_t length = strlen(line);
        if (length > 0)
            line[length - 1] = '\0'; // the reader drops the last character, whatever it is
        if (header) {
            header = false;
            continue;
        }
        FeedProduct product;
        if (!ParseProductLine(line, &product)) {
            ++feed->skippedLines;
            continue;
        }
        if (record == nullptr) {
            fprintf(stderr, "the viewer's product list holds fewer records than the feed has product lines\n");
            abort();
        }
        // Fields 2, 4, 6 and 7 are the texts; each ends at a caret, which ParseProductLine has counted.
        const char* field[7];
        size_t fieldLength[7];
        const char* cursor = line + 1;
        for (int i = 0; i < 7; ++i) {
            const char* caret = strchr(cursor, '^');
            field[i] = cursor;
            fieldLength[i] = (size_t)(caret - cursor);
            cursor = caret + 1;
        }
        if (!KeptWhole(record->name, field[1], fieldLength[1]) || !KeptWhole(record->price, field[3], fieldLength[3]) ||
            !KeptWhole(record->webAddress, field[5], fieldLength[5]) ||
            !KeptWhole(record->serverPath, field[6], fieldLength[6]))
            ++feed->overflowingLines;
        record = record->next;
    }
    fclose(stream);
    if (record != nullptr) {
        fprintf(stderr, "the viewer's product list holds more records than the feed has product lines\n");
        abort();
    }
}

} // namespace

ViewerFeed ReadFeedLikeViewer(const std::string& reply)
{
    ViewerFeed feed;
    const std::string text = SpooledReply(reply);
    FreeProducts();
    FILE* spool = OpenText(text);
    char title[FEED_TITLE_CAPACITY];
    const FeedOutcome outcome = ReadFeed(spool, title, sizeof title);
    fclose(spool);
    if (outcome == FEED_NO_DATA) {
        feed.noData = true;
        FreeProducts();
        return feed;
    }
    // The title is the caption, cut where it must be, and the suffix, which always fits.
    const size_t length = strlen(title);
    const size_t suffix = strlen(ListTitleSuffix);
    if (length < suffix || strcmp(title + length - suffix, ListTitleSuffix) != 0) {
        fprintf(stderr, "the viewer's title \"%s\" lacks its suffix\n", title);
        abort();
    }
    feed.caption.assign(title, length - suffix);
    for (const ProductRecord* r = ProductListHead(); r != nullptr; r = r->next) {
        ViewerProduct product;
        product.status = r->status;
        product.name = r->name;
        product.categoryId = r->categoryId;
        product.price = r->price;
        product.currencyId = r->currencyId;
        product.webAddress = r->webAddress;
        product.serverPath = r->serverPath;
        feed.products.push_back(product);
    }
    CountLines(text, &feed);
    FreeProducts();
    return feed;
}

// ---- Files ---------------------------------------------------------------------------------------

std::string MakeScratchDir()
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/feed-server-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr)
        return "";
    return buffer.data();
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && ok;
}

void RemoveTree(const std::string& dir)
{
    if (dir.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

ScratchCatalog MakeCatalog(const std::string& accounts,
                           const std::vector<std::pair<std::string, std::string>>& productFiles)
{
    ScratchCatalog catalog;
    catalog.dir = MakeScratchDir();
    mkdir((catalog.dir + "/products").c_str(), 0755);
    WriteTextFile(catalog.dir + "/accounts.txt", accounts);
    for (const auto& file : productFiles)
        WriteTextFile(catalog.dir + "/products/" + file.first + ".txt", file.second);
    return catalog;
}

ScratchCatalog BigCatalog(std::string* feed)
{
    std::string products;
    *feed = "Big Shop\n";
    for (int i = 0; i < 9000; ++i) {
        const std::string number = std::to_string(100000 + i);
        const std::string path = std::to_string(i);
        products += "new | Heavy duty product number " + number + " with a long descriptive name | 1110 | 1,234.50 | 840 | "
                    "shop.example/heavy/" + path + " | p/" + path + "\n";
        *feed += ":2^Heavy duty product number " + number + " with a long descriptive name^1110^1,234.50^840^"
                 "shop.example/heavy/" + path + "^p/" + path + "^^^^#\n";
    }
    return MakeCatalog("big | big-key-1 | Big Shop\n", {{"big", products}});
}

// ---- The server program ------------------------------------------------------------------------

namespace {

void ReadPipe(ServerProcess* server, int fd, std::string* into, bool* closed)
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        std::lock_guard<std::mutex> hold(server->lock);
        if (n <= 0) {
            *closed = true;
            server->changed.notify_all();
            break;
        }
        into->append(chunk, (size_t)n);
        server->changed.notify_all();
    }
    close(fd);
}

// Starts the program; its stdout goes to stdoutFd when one is given, otherwise to a pipe read by a
// thread of the ServerProcess, like its stderr.
bool Spawn(const std::vector<std::string>& args, ServerProcess* server, int stdoutFd = -1)
{
    int outPipe[2] = {-1, -1};
    int errPipe[2];
    if (stdoutFd < 0 && pipe(outPipe) != 0)
        return false;
    if (pipe(errPipe) != 0) {
        if (stdoutFd < 0) {
            close(outPipe[0]);
            close(outPipe[1]);
        }
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd < 0 ? outPipe[1] : stdoutFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (stdoutFd < 0)
        posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    const std::string program = ServerProgram();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int status = posix_spawn(&server->pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (stdoutFd < 0)
        close(outPipe[1]);
    close(errPipe[1]);
    if (status != 0) {
        if (stdoutFd < 0)
            close(outPipe[0]);
        close(errPipe[0]);
        server->pid = -1;
        return false;
    }
    if (stdoutFd < 0)
        server->outReader = std::thread(ReadPipe, server, outPipe[0], &server->out, &server->outClosed);
    else
        server->outClosed = true;
    server->errReader = std::thread(ReadPipe, server, errPipe[0], &server->err, &server->errClosed);
    return true;
}

// Waits for the exit, killing the program after the limit; joins the readers.
int Reap(ServerProcess* server, int timeoutMs)
{
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool killed = false;
    for (;;) {
        const pid_t done = waitpid(server->pid, &status, WNOHANG);
        if (done == server->pid)
            break;
        if (done < 0)
            return -1;
        if (!killed && std::chrono::steady_clock::now() > deadline) {
            kill(server->pid, SIGKILL);
            killed = true;
        }
        usleep(10 * 1000);
    }
    server->pid = -1;
    if (server->outReader.joinable())
        server->outReader.join();
    if (server->errReader.joinable())
        server->errReader.join();
    if (killed || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

bool StartServer(const std::vector<std::string>& args, ServerProcess* server)
{
    if (!Spawn(args, server))
        return false;
    std::unique_lock<std::mutex> hold(server->lock);
    const bool listening = server->changed.wait_for(hold, std::chrono::seconds(20), [server] {
        return server->out.find("feed-server: listening on") != std::string::npos || server->outClosed;
    });
    if (listening && server->out.find("feed-server: listening on") != std::string::npos)
        return true;
    hold.unlock();
    kill(server->pid, SIGKILL);
    Reap(server, 20000);
    return false;
}

bool SpawnServerWithStdout(const std::vector<std::string>& args, int stdoutFd, ServerProcess* server)
{
    return Spawn(args, server, stdoutFd);
}

int StopServer(ServerProcess* server, int signalNumber)
{
    if (server->pid <= 0)
        return -1;
    kill(server->pid, signalNumber);
    return Reap(server, 20000);
}

int WaitForExit(ServerProcess* server, int timeoutMs)
{
    return server->pid > 0 ? Reap(server, timeoutMs) : -1;
}

int RunServer(const std::vector<std::string>& args, std::string* out, std::string* err)
{
    ServerProcess server;
    if (!Spawn(args, &server))
        return -1;
    const int status = Reap(&server, 20000);
    *out = server.out;
    *err = server.err;
    return status;
}

bool WaitForOutput(ServerProcess* server, const std::string& needle, size_t count, int timeoutMs)
{
    std::unique_lock<std::mutex> hold(server->lock);
    return server->changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                    [&] { return CountOf(server->out, needle) >= count; });
}

std::string OutputOf(ServerProcess* server)
{
    std::lock_guard<std::mutex> hold(server->lock);
    return server->out;
}

size_t CountOf(const std::string& text, const std::string& needle)
{
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

// ---- Loopback clients ----------------------------------------------------------------------------

int ConnectTo(const char* address, const char* source, int receiveBufferBytes)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    struct timeval limit = {10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    // Before connecting, so that the window the server sees is the small one from the start.
    if (receiveBufferBytes > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
    if (source != nullptr) {
        sockaddr_in local;
        memset(&local, 0, sizeof local);
        local.sin_family = AF_INET;
        if (inet_pton(AF_INET, source, &local.sin_addr) != 1 || bind(fd, (sockaddr*)&local, sizeof local) != 0) {
            close(fd);
            return -1;
        }
    }
    sockaddr_in peer;
    memset(&peer, 0, sizeof peer);
    peer.sin_family = AF_INET;
    peer.sin_port = htons(FEED_PORT);
    if (inet_pton(AF_INET, address, &peer.sin_addr) != 1 || connect(fd, (sockaddr*)&peer, sizeof peer) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += (size_t)n;
    }
    return true;
}

std::string ReceiveAll(int fd, ReplyEnd* end)
{
    std::string bytes;
    char chunk[8192];
    for (;;) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            *end = kEndClosed;
            return bytes;
        }
        if (n < 0) {
            *end = errno == EAGAIN || errno == EWOULDBLOCK ? kEndTimeout : kEndReset;
            return bytes;
        }
        bytes.append(chunk, (size_t)n);
    }
}

std::string Exchange(const char* address, const std::string& request, ReplyEnd* end, const char* source)
{
    ReplyEnd ignored = kEndReset;
    ReplyEnd* how = end != nullptr ? end : &ignored;
    *how = kEndReset;
    const int fd = ConnectTo(address, source);
    if (fd < 0)
        return "";
    std::string reply;
    if (SendAll(fd, request))
        reply = ReceiveAll(fd, how);
    close(fd);
    return reply;
}

void CloseSocket(int fd)
{
    if (fd >= 0)
        close(fd);
}

bool SplitHttpResponse(const std::string& bytes, HttpResponse* response)
{
    const size_t end = bytes.find("\r\n\r\n");
    if (end == std::string::npos)
        return false;
    response->headers.clear();
    size_t start = 0;
    bool first = true;
    while (start < end) {
        size_t stop = bytes.find("\r\n", start);
        const std::string line = bytes.substr(start, stop - start);
        if (first)
            response->statusLine = line;
        else
            response->headers.push_back(line);
        first = false;
        start = stop + 2;
    }
    response->body = bytes.substr(end + 4);
    return true;
}

std::string HeaderValue(const HttpResponse& response, const std::string& name)
{
    for (const std::string& header : response.headers)
        if (header.size() > name.size() + 1 && strncasecmp(header.c_str(), name.c_str(), name.size()) == 0 &&
            header[name.size()] == ':')
            return header.substr(header.find_first_not_of(' ', name.size() + 1));
    return "";
}

std::string ServerProgram()
{
    const char* other = getenv("FEED_SERVER_TEST_PROGRAM");
    return other != nullptr && *other != '\0' ? other : FEED_SERVER_PROGRAM;
}

std::string SampleCatalogDir()
{
    return FEED_SERVER_SAMPLE_CATALOG;
}

std::string CategoriesFile()
{
    return FEED_SERVER_CATEGORIES;
}

std::string SampleFeed(const std::string& id)
{
    if (id != "demo" && id != "kestrel-cycles")
        return "";
    FILE* file = fopen((std::string(FEED_SERVER_EXPECTED_FEEDS) + "/" + id + ".feed").c_str(), "rb");
    std::string feed;
    char chunk[4096];
    size_t n = 0;
    while (file != nullptr && (n = fread(chunk, 1, sizeof chunk, file)) > 0)
        feed.append(chunk, n);
    if (file != nullptr)
        fclose(file);
    return feed;
}
