// Feed retrieval through real loopback sockets: the Products window fetches from a scripted server
// on an address of the test's own, spools the reply in text mode, parses it and fills its list.
#include "loopback_server.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "app/launch_args.h"
#include "app/products_window.h"
#include "app/status_line.h"
#include "common/control_ids.h"
#include "common/text.h"
#include "feed/feed_fetch.h"
#include "feed/product_list.h"
#include "listview/product_list_view.h"
#include "win_test_support.h"

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

const std::string Feed = "Harbor Street\n"
                         ":2^Oak chair^1110^249.00^840^shop.example/chairs/oak^oak-chair^^^^#\n"
                         ":5^Walnut table^1120^1,180.50^978^shop.example/tables/walnut^walnut^^^^#\n"
                         ":14^Linen cover^1310^89^826^^linen^^^^#\n";

struct FetchTest : ::testing::Test {
    std::string folder, previousFolder;
    LoopbackServer server;
    HWND window = nullptr;
    DWORD elapsedMs = 0;

    void SetUp() override
    {
        KeepWinSockStarted();
        // Each test spools in a folder of its own, so parallel tests never share the spool file.
        char current[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, current);
        previousFolder = current;
        folder = MakeScratchFolder("fetch");
        ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
        SetFetchLimits(nullptr);
        SetProductCap(0);
        ASSERT_TRUE(RegisterProductsClass(Instance()));
    }

    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        PumpMessages();
        StopServer(&server);
        UnregisterClassA(PRODUCTS_CLASS_NAME, Instance());
        SetCurrentDirectoryA(previousFolder.c_str());
        EXPECT_TRUE(RemoveDirectoryA(folder.c_str())) << "something was left behind, such as the spool file";
        RemoveFolder(folder);
    }

    // Starts the viewer's window as a run with this argument would: the fetch happens inside.
    void OpenWindow(const char* argument)
    {
        ParseLaunchArgs(argument, &TheLaunchArgs);
        DWORD start = GetTickCount();
        window = CreateProductsWindow(Instance(), SW_SHOWNORMAL);
        elapsedMs = GetTickCount() - start;
        ASSERT_NE(nullptr, window);
    }

    std::string Title()
    {
        char text[300];
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    HWND List() { return GetDlgItem(window, IDC_PRODUCT_LIST); }
    std::string Status()
    {
        char text[300] = "";
        GetDlgItemTextA(window, IDC_STATUS_LINE, text, sizeof text);
        return text;
    }
    int Rows() { return (int)SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0); }

    std::vector<std::string> RowNames()
    {
        std::vector<std::string> names;
        for (int i = 0; i < Rows(); ++i) {
            ProductRecord* record = GetItemRecord(List(), i);
            names.push_back(record != nullptr ? record->name : "(none)");
        }
        return names;
    }

    bool SpoolExists() { return GetFileAttributesA((folder + SPOOL_FILE_NAME).c_str()) != INVALID_FILE_ATTRIBUTES; }
};

ServerScript OnePiece(const std::string& reply)
{
    ServerScript script;
    script.chunks.push_back(reply);
    return script;
}

TEST_F(FetchTest, SendsTheRequestLineAndListsTheServedFeed)
{
    ASSERT_TRUE(StartServer(&server, "127.0.0.2", OnePiece(Feed)));
    OpenWindow("127.0.0.2^acct-17^s3cret#");
    EXPECT_EQ("VNP,acct-17^s3cret\r\n", server.request);
    EXPECT_STREQ("127.0.0.2", ServerAddress);
    EXPECT_EQ("Harbor Street Product's List", Title());
    EXPECT_EQ((std::vector<std::string>{ "Oak chair", "Walnut table", "Linen cover" }), RowNames());
    ProductRecord* linen = GetItemRecord(List(), 2);
    ASSERT_NE(nullptr, linen);
    EXPECT_EQ(6, linen->status);
    EXPECT_EQ(1310, linen->categoryId);
    EXPECT_STREQ("89", linen->price);
    EXPECT_EQ(826, linen->currencyId);
    EXPECT_STREQ("", linen->webAddress);
    EXPECT_STREQ("linen", linen->serverPath);
    EXPECT_EQ("3 products", Status());
    EXPECT_FALSE(SpoolExists());
}

TEST_F(FetchTest, EmptyAccountFieldsMakeASevenByteRequest)
{
    ASSERT_TRUE(StartServer(&server, "127.0.0.3", OnePiece(Feed)));
    OpenWindow("127.0.0.3^^#");
    EXPECT_EQ(std::string("VNP,^\r\n"), server.request);
    EXPECT_EQ(7u, server.request.size());
}

TEST_F(FetchTest, AnEmptyHostMeansTheLocalMachine)
{
    ASSERT_TRUE(StartServer(&server, "127.0.0.1", OnePiece(Feed)));
    OpenWindow("^me^key#");
    EXPECT_STREQ("127.0.0.1", ServerAddress);
    EXPECT_EQ(1, server.connections);
    EXPECT_EQ("VNP,me^key\r\n", server.request);
    EXPECT_EQ(3, Rows());
}

TEST_F(FetchTest, AReplyInManySmallChunksGivesTheSameList)
{
    ServerScript trickle;
    for (size_t i = 0; i < Feed.size(); i += 3)
        trickle.chunks.push_back(Feed.substr(i, 3));
    trickle.chunkDelayMs = 1;
    ASSERT_TRUE(StartServer(&server, "127.0.0.4", trickle));
    OpenWindow("127.0.0.4^a^b#");
    EXPECT_EQ("Harbor Street Product's List", Title());
    EXPECT_EQ((std::vector<std::string>{ "Oak chair", "Walnut table", "Linen cover" }), RowNames());
}

TEST_F(FetchTest, AnEmptyReplyMeansNoData)
{
    ASSERT_TRUE(StartServer(&server, "127.0.0.5", ServerScript()));
    OpenWindow("127.0.0.5^a^b#");
    EXPECT_EQ("  No Data", Title());
    EXPECT_EQ(0, Rows());
    EXPECT_FALSE(SpoolExists());
}

TEST_F(FetchTest, ANoDataHeaderIgnoresTheRestOfTheReply)
{
    ASSERT_TRUE(StartServer(&server, "127.0.0.6", OnePiece("<BODY><H1>Unknown account</H1></BODY>\n" + Feed)));
    OpenWindow("127.0.0.6^a^wrong#");
    EXPECT_EQ("  No Data", Title());
    EXPECT_EQ(0, Rows());
}

TEST_F(FetchTest, ARefusedConnectEndsWithoutWaitingOutTheLimit)
{
    OpenWindow("127.0.0.7^a^b#"); // nothing listens there
    EXPECT_LT(elapsedMs, 5000u);
    EXPECT_EQ("   Products", Title());
    EXPECT_EQ(0, Rows());
    EXPECT_EQ("No products; the feed could not be fetched: 127.0.0.7 refused the connection", Status());
}

TEST(FetchLimitsDefaults, ConnectTenSecondsSilenceFifteenAndReplyAt128MiB)
{
    FetchLimits other = { 1, 2, 3, 4 };
    SetFetchLimits(&other);
    ASSERT_EQ(1, CurrentFetchLimits().connectMs);
    SetFetchLimits(nullptr);
    EXPECT_EQ(10000, CurrentFetchLimits().connectMs);
    EXPECT_EQ(15000, CurrentFetchLimits().silenceMs);
    EXPECT_EQ(128LL * 1024 * 1024, CurrentFetchLimits().maxBytes);
    EXPECT_EQ(120000, CurrentFetchLimits().deadlineMs);
}

// Looks for a connect event that another process could open by name, again and again until told
// to stop, so that the whole connect wait is covered.
struct EventProbe {
    volatile LONG stop;
    int looks;
    bool found;
};

DWORD WINAPI ProbeForNamedEvent(LPVOID parameter)
{
    EventProbe* probe = (EventProbe*)parameter;
    while (!InterlockedCompareExchange(&probe->stop, 0, 0)) {
        HANDLE named = OpenEventA(SYNCHRONIZE, FALSE, "ConnectEvent");
        if (named != nullptr) {
            probe->found = true;
            CloseHandle(named);
        }
        ++probe->looks;
        Sleep(20);
    }
    return 0;
}

TEST_F(FetchTest, AServerThatNeverAnswersEndsAtTheConnectLimit)
{
    const int limitMs = 600;
    FetchLimits limits = CurrentFetchLimits();
    limits.connectMs = limitMs;
    SetFetchLimits(&limits);
    ASSERT_TRUE(StartSilentListener(&server, "127.0.0.8"));
    EventProbe probe = { 0, 0, false };
    HANDLE prober = CreateThread(nullptr, 0, ProbeForNamedEvent, &probe, 0, nullptr);
    ASSERT_NE(nullptr, prober);
    OpenWindow("127.0.0.8^a^b#");
    InterlockedExchange(&probe.stop, 1);
    WaitForSingleObject(prober, INFINITE);
    CloseHandle(prober);
    // The whole limit is waited out (less the timer's granularity), and no more than that by far.
    EXPECT_GE(elapsedMs, (DWORD)(limitMs - 50));
    EXPECT_LT(elapsedMs, 5000u) << "the connect wait did not take the limit in force";
    EXPECT_EQ("   Products", Title());
    EXPECT_EQ(0, Rows());
    EXPECT_EQ("No products; the feed could not be fetched: no answer from 127.0.0.8 in 0 s", Status());
    EXPECT_GT(probe.looks, 5) << "the probe did not look during the wait";
    EXPECT_FALSE(probe.found) << "another viewer could satisfy a named wait";
}

// The reply comes in two writes, far enough apart to be received separately. A zero byte ends what
// is kept of its own chunk only: the product line of the second write still counts.
TEST_F(FetchTest, AZeroByteDropsTheRestOfItsChunk)
{
    std::string first = "Cap\n:1^kept^1^1^1^^^^^^#\n";
    first += std::string(1, '\0') + ":1^dropped^1^1^1^^^^^^#\n";
    // Filled to exactly one chunk, so that the second write starts a chunk of its own even if
    // both should come in one receive.
    first.resize(REPLY_CHUNK, 'x');
    ServerScript script;
    script.chunks = { first, ":1^second^1^1^1^^^^^^#\n" };
    script.chunkDelayMs = 300;
    ASSERT_TRUE(StartServer(&server, "127.0.0.9", script));
    OpenWindow("127.0.0.9^a^b#");
    EXPECT_EQ("Cap Product's List", Title());
    EXPECT_EQ((std::vector<std::string>{ "kept", "second" }), RowNames());
}

TEST_F(FetchTest, AMegabyteLineIsReadInPiecesWithoutHarm)
{
    std::string reply = "Cap\n" + std::string(1 << 20, 'a') + "\n:1^after^1^1^1^^^^^^#\n";
    ASSERT_TRUE(StartServer(&server, "127.0.0.10", OnePiece(reply)));
    OpenWindow("127.0.0.10^a^b#");
    EXPECT_EQ("Cap Product's List", Title());
    EXPECT_EQ((std::vector<std::string>{ "after" }), RowNames());
}

TEST_F(FetchTest, BinaryGarbageIsParsedWithoutHarm)
{
    std::string garbage = "Cap\n";
    unsigned seed = 12345;
    for (int i = 0; i < 256 * 1024; ++i) {
        seed = seed * 1103515245 + 12345;
        garbage += (char)(seed >> 16);
    }
    garbage += "\n:1^survivor^1^1^1^^^^^^#\n";
    ASSERT_TRUE(StartServer(&server, "127.0.0.11", OnePiece(garbage)));
    OpenWindow("127.0.0.11^a^b#");
    EXPECT_EQ("Cap Product's List", Title());
    EXPECT_FALSE(SpoolExists());
}

// The feed server resets a reply it cuts, and a client must see it: what arrived is shown, said to
// be incomplete. Wine closes its own sockets in order whatever their linger, so the server that
// resets is a native one; its first connection is the test's probe that it listens.
const char ResettingServer[] =
    "import socket,struct,sys,time;s=socket.socket();s.setsockopt(socket.SOL_SOCKET,socket.SO_REUSEADDR,1);"
    "s.bind((sys.argv[1],1360));s.listen(2);s.settimeout(30);s.accept()[0].close();c=s.accept()[0];c.recv(100);"
    "c.sendall(b'Cap\\n:1^first^1^1^1^^^^^^#\\n');time.sleep(0.2);c.sendall(b':1^cut off^1^1');time.sleep(0.2);"
    "c.setsockopt(socket.SOL_SOCKET,socket.SO_LINGER,struct.pack('ii',1,0));c.close()";

// Whether something listens on address, port 1360, within ten seconds.
bool Listening(const char* address)
{
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = inet_addr(address);
    at.sin_port = htons(FEED_PORT);
    for (int tries = 0; tries < 100; ++tries, Sleep(100)) {
        SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        bool connected = connect(probe, (sockaddr*)&at, sizeof at) == 0;
        closesocket(probe);
        if (connected)
            return true;
    }
    return false;
}

TEST_F(FetchTest, AResetMidReplyShowsWhatArrivedAsIncomplete)
{
    ChildProcess resetting;
    ASSERT_TRUE(StartWithOutput(std::string("Z:\\usr\\bin\\python3 -S -c \"") + ResettingServer + "\" 127.0.0.12", nullptr,
                                &resetting));
    ASSERT_TRUE(Listening("127.0.0.12"));
    OpenWindow("127.0.0.12^a^b#");
    EndChild(&resetting);
    EXPECT_EQ("Cap Product's List", Title());
    EXPECT_EQ((std::vector<std::string>{ "first" }), RowNames());
    EXPECT_EQ("1 product; incomplete: the server cut the reply", Status());
}

TEST_F(FetchTest, AReplyThatNeverEndsIsCutAtTheSizeLimit)
{
    FetchLimits limits = CurrentFetchLimits();
    limits.maxBytes = 256 * 1024;
    SetFetchLimits(&limits);
    ServerScript script;
    script.chunks = { "Cap\n", ":1^again^1^1^1^^^^^^#\n" };
    script.endless = true;
    ASSERT_TRUE(StartServer(&server, "127.0.0.13", script));
    OpenWindow("127.0.0.13^a^b#");
    EXPECT_EQ("Cap Product's List", Title());
    EXPECT_GT(Rows(), 11000);
    EXPECT_LT(Rows(), 12500) << "about 256 KB of 22-byte lines";
    EXPECT_NE(std::string::npos, Status().find(" products; incomplete: the reply is larger than 262,144 bytes"));
}

TEST_F(FetchTest, AServerThatFallsSilentEndsTheReplyAfterTheSilenceLimit)
{
    FetchLimits limits = CurrentFetchLimits();
    limits.silenceMs = 1000;
    SetFetchLimits(&limits);
    ServerScript script;
    script.chunks = { "Cap\n:1^only^1^1^1^^^^^^#\n" };
    script.stayOpen = true;
    ASSERT_TRUE(StartServer(&server, "127.0.0.14", script));
    OpenWindow("127.0.0.14^a^b#");
    EXPECT_EQ((std::vector<std::string>{ "only" }), RowNames());
    EXPECT_LT(elapsedMs, 5000u);
    EXPECT_EQ("1 product; incomplete: the server was silent for 1 s", Status());
}

// A byte now and then restarts the silence limit every time; the deadline still ends the fetch.
TEST_F(FetchTest, AServerThatTricklesIsCutAtTheDeadline)
{
    FetchLimits limits = CurrentFetchLimits();
    limits.silenceMs = 1000;
    limits.deadlineMs = 2000;
    SetFetchLimits(&limits);
    ServerScript script;
    script.chunks = { "Cap\n:1^early^1^1^1^^^^^^#\n", "x" };
    script.chunkDelayMs = 400;
    script.endless = true;
    ASSERT_TRUE(StartServer(&server, "127.0.0.18", script));
    OpenWindow("127.0.0.18^a^b#");
    EXPECT_EQ((std::vector<std::string>{ "early" }), RowNames());
    EXPECT_GE(elapsedMs, 1900u);
    EXPECT_LT(elapsedMs, 5000u);
    EXPECT_EQ("1 product; incomplete: the reply took longer than 2 s", Status());
}

// Another viewer's spool, or anything else, in the way of the first name: a name of this process's
// own in the same folder takes the reply.
TEST_F(FetchTest, ASpoolNameInUseGivesWayToANameOfThisProcesssOwn)
{
    ASSERT_TRUE(CreateDirectoryA(SPOOL_FILE_NAME, nullptr)); // no file can be opened over a folder
    ASSERT_TRUE(StartServer(&server, "127.0.0.15", OnePiece(Feed)));
    OpenWindow("127.0.0.15^a^b#");
    EXPECT_EQ("Harbor Street Product's List", Title());
    EXPECT_EQ("3 products", Status());
    EXPECT_TRUE(RemoveDirectoryA(SPOOL_FILE_NAME)) << "the folder in the way must be left alone";
}

// A folder that refuses new files to everyone, root included (the tests' Wine runs as root, which
// an ordinary read-only folder would not stop): the kernel's object folder.
const char ReadOnlyFolder[] = "Z:\\sys\\kernel";

// Points TMP, which GetTempPathA reads first, at a folder while it lives.
struct TemporaryFolderAs {
    std::string saved;
    bool had;
    explicit TemporaryFolderAs(const std::string& folder)
    {
        char value[MAX_PATH];
        DWORD length = GetEnvironmentVariableA("TMP", value, sizeof value);
        had = length > 0 && length < sizeof value;
        if (had)
            saved = value;
        SetEnvironmentVariableA("TMP", folder.c_str());
    }
    ~TemporaryFolderAs() { SetEnvironmentVariableA("TMP", had ? saved.c_str() : nullptr); }
};

// A viewer started in a folder the user may not write spools in the user's temporary folder (here
// the test's scratch folder, which must end empty); with no folder at all, the window says so.
TEST_F(FetchTest, AReadOnlyCurrentFolderSpoolsInTheTemporaryFolderOrSaysWhyNot)
{
    ASSERT_TRUE(SetCurrentDirectoryA(ReadOnlyFolder));
    HANDLE probe = CreateFileA("probe.vnl", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe != INVALID_HANDLE_VALUE)
        CloseHandle(probe);
    ASSERT_EQ(INVALID_HANDLE_VALUE, probe) << "premise: the folder refuses new files";
    for (bool writableTemporary : { true, false }) {
        SCOPED_TRACE(writableTemporary ? "temporary folder writable" : "no folder writable");
        TemporaryFolderAs temporary(writableTemporary ? folder : ReadOnlyFolder);
        ASSERT_TRUE(StartServer(&server, "127.0.0.19", OnePiece(Feed)));
        OpenWindow("127.0.0.19^a^b#");
        EXPECT_EQ(writableTemporary ? "Harbor Street Product's List" : "   Products", Title());
        EXPECT_EQ(writableTemporary ? "3 products"
                                    : "No products; the feed could not be fetched: no folder would take the spool file",
                  Status());
        DestroyWindow(window);
        StopServer(&server);
        server = LoopbackServer();
    }
}

// Ten million 13-byte product lines fit the size limit but not the address space: the list stops at
// the product cap (lowered here, so that the test stays short) and says so.
TEST_F(FetchTest, TenMillionShortLinesStopAtTheProductCap)
{
    const int cap = 20000;
    SetProductCap(cap);
    ASSERT_TRUE(StartServer(&server, "127.0.0.20", TenMillionShortProducts()));
    OpenWindow("127.0.0.20^a^b#");
    EXPECT_EQ("Cap Product's List", Title());
    EXPECT_EQ(cap, Rows());
    EXPECT_EQ("20,000 products; incomplete: the reply holds more than 20,000 products", Status());
}

// The spool file through the real text-mode runtime.
TEST_F(FetchTest, TheSpoolStoresLineFeedsAsCarriageReturnLineFeed)
{
    std::string reply = "a\nb\r\nc";
    ASSERT_TRUE(StartServer(&server, "127.0.0.16", OnePiece(reply)));
    ParseLaunchArgs("127.0.0.16^a^b#", &TheLaunchArgs);
    WSADATA data;
    WSAStartup(0x0101, &data);
    SOCKET sock = ConnectToServer(TheLaunchArgs.ServerHost);
    ASSERT_NE(INVALID_SOCKET, sock);
    ASSERT_TRUE(SendRequest(sock, TheLaunchArgs.AccountId, TheLaunchArgs.AccountKey));
    FILE* spool = fopen("spool.bin", "wt");
    ASSERT_NE(nullptr, spool);
    EXPECT_EQ(FETCH_WHOLE, SpoolReply(sock, spool));
    fclose(spool);
    closesocket(sock);
    WSACleanup();
    FILE* file = fopen("spool.bin", "rb");
    ASSERT_NE(nullptr, file);
    char stored[32] = {};
    size_t length = fread(stored, 1, sizeof stored, file);
    fclose(file);
    remove("spool.bin");
    EXPECT_EQ(std::string("a\r\nb\r\r\nc"), std::string(stored, length));
}

TEST_F(FetchTest, TextModeEndsTheFeedAtByte1AAndKeepsCarriageReturns)
{
    std::string reply = "Cap\r\n"                           // the CR stays in the title
                        ":1^crlf^1^1^1^^^^^^#\r\n"          // a CR stands where the '#' must be
                        ":1^plain^1^1^1^^^^^^#\n"
                        "\x1A:1^after end^1^1^1^^^^^^#\n";  // 0x1A ends the file in text mode
    ASSERT_TRUE(StartServer(&server, "127.0.0.17", OnePiece(reply)));
    OpenWindow("127.0.0.17^a^b#");
    EXPECT_EQ("Cap\r Product's List", Title());
    EXPECT_EQ((std::vector<std::string>{ "plain" }), RowNames());
}

} // namespace
