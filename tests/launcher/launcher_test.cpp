// Vn_Launcher.exe as a user meets it, under Wine: the real program started as a process, its fields
// filled and Start pressed through its own controls, and the viewer it starts observed. In a copy of
// the build's bin folder a stand-in takes the viewer's place and records how it was started; the last
// test starts the real viewer against the real feed server.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <stdio.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/launch_args.h"
#include "common/contract.h"
#include "companions/launcher/launcher_controls.h"
#include "links/link_menu.h"
#include "win_input.h"
#include "win_test_support.h"

namespace {

const char RecordVariable[] = "LAUNCHER_TEST_RECORD";
const char StandInProgram[] = "launcher_viewer_standin.exe";
// Bounded waits for a cold Wine start of a program, and for a posted message to be handled.
const DWORD StartMs = 15000;
const DWORD MessageMs = 5000;

std::string Variable(const char* name)
{
    static char value[32767];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// Sets environment variables of this process for the launcher to inherit, and puts them back when
// it goes. A null value removes the variable.
class EnvironmentScope {
public:
    EnvironmentScope() = default;
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;
    ~EnvironmentScope()
    {
        for (auto saved = saved_.rbegin(); saved != saved_.rend(); ++saved)
            SetEnvironmentVariableA(saved->name.c_str(), saved->had ? saved->value.c_str() : nullptr);
    }
    void Set(const char* name, const char* value)
    {
        char probe[1];
        SetLastError(0);
        bool had = GetEnvironmentVariableA(name, probe, sizeof probe) > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        saved_.push_back({ name, had, Variable(name) });
        SetEnvironmentVariableA(name, value);
    }

private:
    struct Saved {
        std::string name;
        bool had;
        std::string value;
    };
    std::vector<Saved> saved_;
};

std::string WithoutSlash(const std::string& folder)
{
    return !folder.empty() && folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder;
}

// A folder's full long name in lower case without the trailing backslash, for comparing two spellings.
std::string Canonical(const std::string& path)
{
    char full[MAX_PATH], longName[MAX_PATH];
    if (GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr) == 0)
        return "?" + path;
    std::string result = GetLongPathNameA(full, longName, MAX_PATH) > 0 ? longName : full;
    CharLowerA(&result[0]);
    return WithoutSlash(result);
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + "\\");
            else
                DeleteFileA((folder + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

typedef std::map<std::string, std::string> Record;

// Waits for the stand-in's record of one start, reads it and deletes it for the next start. A record
// is complete once its last line, "writable", is in.
bool TakeRecord(const std::string& file, Record* record, DWORD timeoutMs = StartMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        record->clear();
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            size_t equals = line.find('=');
            if (equals != std::string::npos)
                (*record)[line.substr(0, equals)] = line.substr(equals + 1);
        }
        in.close();
        if (record->count("writable") != 0) {
            DeleteFileA(file.c_str());
            return true;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

// The launcher and everything it starts run in one job: it counts every process started, and ends
// whatever is left when the test is over.
struct LauncherRun {
    HANDLE job = nullptr;
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
};

// The launcher's window: found by the class the viewer's own code looks for, among the windows of
// that class (other programs on the display may have one), as the one of this process. It is shown
// only once its controls are made and its fields filled.
HWND FindLauncherWindow(DWORD processId, DWORD timeoutMs)
{
    return WaitForWindow([&] { return FindOwnedWindow(HOST_CLASS_NAME, processId); }, (int)timeoutMs, 20);
}

bool StartLauncher(const std::string& folder, const std::string& startIn, LauncherRun* run)
{
    // Wine starts its desktop process from the first program of a session that asks for it. Asked
    // for here first, it is this program's child, and the job counts only what the launcher starts,
    // whichever test runs first.
    GetDesktopWindow();
    run->job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(run->job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    std::string line = "\"" + folder + "Vn_Launcher.exe\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, startIn.c_str(),
                        &startup, &run->process))
        return false;
    AssignProcessToJobObject(run->job, run->process.hProcess);
    ResumeThread(run->process.hThread);
    run->window = FindLauncherWindow(run->process.dwProcessId, StartMs);
    // Then it waits for input in its message loop.
    return run->window != nullptr && WaitForInputIdle(run->process.hProcess, StartMs) == 0;
}

// Closes the launcher as a user would, then ends anything of the job still running.
void StopLauncher(LauncherRun* run)
{
    if (run->process.hProcess != nullptr) {
        if (run->window != nullptr)
            PostMessageA(run->window, WM_CLOSE, 0, 0);
        WaitForSingleObject(run->process.hProcess, MessageMs);
        CloseHandle(run->process.hThread);
        CloseHandle(run->process.hProcess);
    }
    if (run->job != nullptr) {
        TerminateJobObject(run->job, 0);
        CloseHandle(run->job);
    }
    *run = LauncherRun();
}

// Every process the job ever held, the launcher included.
DWORD ProcessesStarted(const LauncherRun& run)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(run.job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                   nullptr))
        return 0;
    return accounting.TotalProcesses;
}

void SetField(HWND window, int id, const std::string& text)
{
    SendMessageA(GetDlgItem(window, id), WM_SETTEXT, 0, (LPARAM)text.c_str());
}

std::string ControlText(HWND window, int id)
{
    char text[1024] = "";
    SendMessageA(GetDlgItem(window, id), WM_GETTEXT, sizeof text, (LPARAM)text);
    return text;
}

// Fills the three fields and presses Start; the launcher has handled the click when this returns.
std::string Start(HWND window, const std::string& host, const std::string& id, const std::string& key)
{
    SetField(window, IDC_SERVER_ADDRESS, host);
    SetField(window, IDC_ACCOUNT_ID, id);
    SetField(window, IDC_ACCOUNT_KEY, key);
    SendMessageA(GetDlgItem(window, IDC_START), BM_CLICK, 0, 0);
    return ControlText(window, IDC_STATUS);
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

// A copy of the build's bin folder whose Vn_Products.exe is the stand-in, and per-user folders of
// the test's own, which the launcher finds through the environment it inherits.
class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = MakeScratchFolder("launcher");
        ASSERT_FALSE(root_.empty());
        install_ = root_ + "install\\";
        roaming_ = root_ + "roaming\\";
        local_ = root_ + "local\\";
        temp_ = root_ + "temp\\";
        record_ = root_ + "record.txt";
        for (const std::string* folder : { &install_, &roaming_, &local_, &temp_ })
            ASSERT_TRUE(CreateDirectoryA(folder->c_str(), nullptr));
        ASSERT_TRUE(CopyRuntimeInto(install_));
        ASSERT_TRUE(Exists(install_ + "Vn_Launcher.exe"));
        ASSERT_TRUE(CopyFileA((TestDirectory() + StandInProgram).c_str(), (install_ + VIEWER_PROGRAM).c_str(), FALSE));
        environment_.Set("APPDATA", WithoutSlash(roaming_).c_str());
        environment_.Set("LOCALAPPDATA", WithoutSlash(local_).c_str());
        environment_.Set("TEMP", WithoutSlash(temp_).c_str());
        environment_.Set("TMP", WithoutSlash(temp_).c_str());
        environment_.Set(RecordVariable, record_.c_str());
    }

    void TearDown() override
    {
        StopLauncher(&run_);
        RemoveTree(root_);
    }

    // The launcher of the copied folder, started from the scratch root: its own folder is not its
    // current one.
    bool StartLauncherHere()
    {
        StopLauncher(&run_);
        return StartLauncher(install_, root_, &run_);
    }

    std::string SettingsFile() const { return roaming_ + "Products\\launcher.ini"; }

    EnvironmentScope environment_;
    std::string root_, install_, roaming_, local_, temp_, record_;
    LauncherRun run_;
};

TEST_F(LauncherTest, ShowsItsWindowUnderTheClassTheViewerLooksFor)
{
    ASSERT_TRUE(StartLauncherHere());
    // The viewer's own lookup finds a window of the class (on a shared display, maybe another's).
    EXPECT_NE(nullptr, FindWindowA(HOST_CLASS_NAME, nullptr));
    char title[64] = "";
    GetWindowTextA(run_.window, title, sizeof title);
    EXPECT_STREQ("Products Launcher", title);
    for (int id : { IDC_SERVER_ADDRESS, IDC_ACCOUNT_ID, IDC_ACCOUNT_KEY, IDC_START, IDC_STATUS, IDC_NOTICES })
        EXPECT_NE(nullptr, GetDlgItem(run_.window, id)) << "control " << id;
    // Only the key is typed blind.
    EXPECT_NE(0, GetWindowLongA(GetDlgItem(run_.window, IDC_ACCOUNT_KEY), GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(0, GetWindowLongA(GetDlgItem(run_.window, IDC_ACCOUNT_ID), GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(0, GetWindowLongA(GetDlgItem(run_.window, IDC_SERVER_ADDRESS), GWL_STYLE) & ES_PASSWORD);
    // Nothing starts and nothing is saved before Start.
    EXPECT_EQ(1u, ProcessesStarted(run_));
    EXPECT_FALSE(Exists(SettingsFile()));
}

// The viewer takes the whole of its lpCmdLine as the argument: blanks, quotes and each field's
// harmless separator must reach it untouched, and its own splitting must give back the fields.
TEST_F(LauncherTest, TheViewerGetsTheArgumentAsItsWholeCommandLine)
{
    struct Case {
        const char* host;
        std::string id, key;
    };
    const Case cases[] = {
        { "127.0.0.81", "north shop 7", "k y^1" },
        { "", "demo", "demo" },
        { "10.0.0.1", "say \"hi\" #2", "q\" x" },
        { "255.255.255.255", std::string(39, 'i'), std::string(11, 'k') },
        { "", "", "" },
    };
    ASSERT_TRUE(StartLauncherHere());
    DWORD started = ProcessesStarted(run_);
    for (const Case& c : cases) {
        std::string argument = std::string(c.host) + "^" + c.id + "^" + c.key + "#";
        std::string status = Start(run_.window, c.host, c.id, c.key);
        EXPECT_TRUE(StartsWith(status, "Started the viewer (process ")) << status;
        Record record;
        ASSERT_TRUE(TakeRecord(record_, &record)) << argument;
        EXPECT_EQ(argument, record["command"]);
        LaunchArgs args;
        ParseLaunchArgs(record["command"].c_str(), &args);
        EXPECT_STREQ(c.host, args.ServerHost);
        EXPECT_EQ(c.id, args.AccountId);
        EXPECT_EQ(c.key, args.AccountKey);
        EXPECT_EQ(++started, ProcessesStarted(run_)) << argument;
    }
}

// Enter in a field, as the launcher's message loop hands it to the dialog manager, presses Start.
TEST_F(LauncherTest, EnterInAFieldStartsTheViewer)
{
    ASSERT_TRUE(StartLauncherHere());
    SetField(run_.window, IDC_SERVER_ADDRESS, "127.0.0.85");
    SetField(run_.window, IDC_ACCOUNT_ID, "enter");
    SetField(run_.window, IDC_ACCOUNT_KEY, "key");
    HWND key = GetDlgItem(run_.window, IDC_ACCOUNT_KEY);
    PostMessageA(key, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(key, WM_KEYUP, VK_RETURN, 0xC0000001);
    Record record;
    ASSERT_TRUE(TakeRecord(record_, &record));
    EXPECT_EQ("127.0.0.85^enter^key#", record["command"]);
}

TEST_F(LauncherTest, RunsTheViewerBesideItInAWritableProfileFolderWithItsFolderFirstOnPath)
{
    const std::string inheritedPath = Variable("PATH");
    ASSERT_FALSE(Exists(local_ + "Products"));
    ASSERT_TRUE(StartLauncherHere());
    std::string status = Start(run_.window, "127.0.0.83", "demo", "demo");
    Record record;
    ASSERT_TRUE(TakeRecord(record_, &record)) << status;

    // The viewer of the launcher's own folder, though the launcher was started from another.
    EXPECT_EQ(Canonical(install_ + VIEWER_PROGRAM), Canonical(record["module"]));
    // Its working folder is the per-user one, made for it, writable, and not the install folder.
    EXPECT_EQ(Canonical(local_ + "Products"), Canonical(record["folder"]));
    EXPECT_NE(Canonical(install_), Canonical(record["folder"]));
    EXPECT_EQ("1", record["writable"]);
    EXPECT_NE(std::string::npos, status.find(WithoutSlash(local_) + "\\Products")) << status;
    // Its search path starts with the launcher's folder and goes on with what the launcher inherited.
    const std::string& path = record["path"];
    size_t semicolon = path.find(';');
    ASSERT_NE(std::string::npos, semicolon) << path;
    EXPECT_EQ(Canonical(install_), Canonical(path.substr(0, semicolon)));
    EXPECT_EQ(inheritedPath, path.substr(semicolon + 1));
}

TEST_F(LauncherTest, WorksInTheTemporaryFolderWithoutAUsableProfileFolder)
{
    struct Case {
        const char* why;
        std::string localAppData; // empty: not set at all
    };
    const Case cases[] = {
        { "no LOCALAPPDATA", "" },
        { "LOCALAPPDATA missing", root_ + "missing\\deeper" },
    };
    for (const Case& c : cases) {
        environment_.Set("LOCALAPPDATA", c.localAppData.empty() ? nullptr : c.localAppData.c_str());
        ASSERT_TRUE(StartLauncherHere());
        std::string status = Start(run_.window, "", "demo", "demo");
        Record record;
        ASSERT_TRUE(TakeRecord(record_, &record)) << c.why << ": " << status;
        EXPECT_EQ(Canonical(temp_), Canonical(record["folder"])) << c.why;
        EXPECT_EQ("1", record["writable"]) << c.why;
    }
    EXPECT_FALSE(Exists(root_ + "missing"));
}

TEST_F(LauncherTest, RefusesWhatTheViewerCannotTakeAndStartsNothing)
{
    struct Case {
        std::string host, id, key;
        int field; // the control that gets the focus
        const char* status;
    };
    const Case cases[] = {
        { "127.0.0.1^", "id", "key", IDC_SERVER_ADDRESS,
          "Server address holds '^', which the viewer takes as the end of the field; remove it." },
        { "localhost", "id", "key", IDC_SERVER_ADDRESS,
          "Server address is not a dotted IPv4 address such as 127.0.0.1 (the viewer looks up no names); leave it "
          "empty for 127.0.0.1." },
        { std::string(28, '1'), "id", "key", IDC_SERVER_ADDRESS,
          "Server address is longer than the viewer keeps: 27 characters at most." },
        { "", "my^shop", "key", IDC_ACCOUNT_ID,
          "Account id holds '^', which the viewer takes as the end of the field; remove it." },
        { "", std::string(40, 'i'), "key", IDC_ACCOUNT_ID,
          "Account id is longer than the viewer keeps: 39 characters at most." },
        { "", "id", "k#y", IDC_ACCOUNT_KEY,
          "Account key holds '#', which the viewer takes as the end of the field; remove it." },
        { "", "id", std::string(12, 'k'), IDC_ACCOUNT_KEY,
          "Account key is longer than the viewer keeps: 11 characters at most." },
    };
    ASSERT_TRUE(StartLauncherHere());
    const DWORD started = ProcessesStarted(run_);
    ASSERT_EQ(1u, started);
    for (const Case& c : cases) {
        EXPECT_EQ(c.status, Start(run_.window, c.host, c.id, c.key));
        EXPECT_EQ(started, ProcessesStarted(run_)) << c.status;
        // The field at fault has the focus, to be mended.
        GUITHREADINFO thread = {};
        thread.cbSize = sizeof thread;
        ASSERT_TRUE(GetGUIThreadInfo(run_.process.dwThreadId, &thread));
        EXPECT_EQ(GetDlgItem(run_.window, c.field), thread.hwndFocus) << c.status;
    }
    EXPECT_FALSE(Exists(record_));
    EXPECT_FALSE(Exists(SettingsFile()));

    // The same window starts the viewer once the fields are mended.
    EXPECT_TRUE(StartsWith(Start(run_.window, "127.0.0.1", "id", "key"), "Started the viewer"));
    Record record;
    ASSERT_TRUE(TakeRecord(record_, &record));
    EXPECT_EQ("127.0.0.1^id^key#", record["command"]);
    EXPECT_EQ(started + 1, ProcessesStarted(run_));
}

TEST_F(LauncherTest, SaysWhyTheViewerDidNotStart)
{
    ASSERT_TRUE(DeleteFileA((install_ + VIEWER_PROGRAM).c_str()));
    ASSERT_TRUE(StartLauncherHere());
    std::string status = Start(run_.window, "127.0.0.84", "demo", "demo");
    EXPECT_TRUE(StartsWith(status, "Could not start ")) << status;
    EXPECT_NE(std::string::npos, status.find(VIEWER_PROGRAM ": ")) << status;
    EXPECT_NE(std::string::npos, status.find("(error 2).")) << status; // the file is not there
    EXPECT_EQ(1u, ProcessesStarted(run_));
    EXPECT_FALSE(Exists(SettingsFile()));
}

// Seconds since midnight, and whether one such time lies between two others, across midnight too.
int SecondOfDay(const SYSTEMTIME& time)
{
    return time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
}

bool Between(int second, int first, int last)
{
    return first <= last ? first <= second && second <= last : second >= first || second <= last;
}

// "HH:MM:SS  the viewer started the browser": the time's seconds since midnight, or -1 if the line is
// not such a notice.
int NoticeSecond(const std::string& line)
{
    unsigned hour, minute, second;
    char text[64] = "";
    if (line.size() < 10 || sscanf(line.c_str(), "%2u:%2u:%2u  %63[^\n]", &hour, &minute, &second, text) != 4 ||
        line[2] != ':' || line[5] != ':' || line.substr(8) != "  the viewer started the browser" || hour > 23 ||
        minute > 59 || second > 59)
        return -1;
    return (int)(hour * 3600 + minute * 60 + second);
}

bool WaitForCount(HWND list, int count)
{
    const DWORD start = GetTickCount();
    while (SendMessageA(list, LB_GETCOUNT, 0, 0) != count) {
        if (GetTickCount() - start >= MessageMs)
            return false;
        Sleep(10);
    }
    return true;
}

TEST_F(LauncherTest, ListsTheViewersNoticesWithTheirLocalTimeNewestFirst)
{
    ASSERT_TRUE(StartLauncherHere());
    HWND list = GetDlgItem(run_.window, IDC_NOTICES);
    ASSERT_EQ(0, SendMessageA(list, LB_GETCOUNT, 0, 0));

    // Posted as the viewer posts it. A command the launcher does not know is no notice: once the 911
    // after it shows, it has been handled too.
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    PostMessageA(run_.window, WM_COMMAND, HOST_BROWSER_STARTED + 1, 0);
    PostMessageA(run_.window, WM_COMMAND, HOST_BROWSER_STARTED, 0);
    ASSERT_TRUE(WaitForCount(list, 1));
    GetLocalTime(&after);
    std::string first = ListBoxLine(list, 0);
    int firstSecond = NoticeSecond(first);
    ASSERT_NE(-1, firstSecond) << "'" << first << "'";
    EXPECT_TRUE(Between(firstSecond, SecondOfDay(before), SecondOfDay(after))) << first;

    // Once the clock has moved on, a second notice goes on top.
    SYSTEMTIME now;
    const DWORD start = GetTickCount();
    do {
        Sleep(50);
        GetLocalTime(&now);
    } while (SecondOfDay(now) == SecondOfDay(after) && GetTickCount() - start < MessageMs);
    ASSERT_NE(SecondOfDay(now), SecondOfDay(after));
    PostMessageA(run_.window, WM_COMMAND, HOST_BROWSER_STARTED, 0);
    ASSERT_TRUE(WaitForCount(list, 2));
    GetLocalTime(&after);
    std::string newest = ListBoxLine(list, 0);
    int newestSecond = NoticeSecond(newest);
    ASSERT_NE(-1, newestSecond) << "'" << newest << "'";
    EXPECT_TRUE(Between(newestSecond, SecondOfDay(now), SecondOfDay(after))) << newest;
    EXPECT_EQ(first, ListBoxLine(list, 1));

    // Anyone may post the notice: the list keeps the newest NOTICE_LIMIT.
    for (int i = 2; i < NOTICE_LIMIT + 2; ++i)
        SendMessageA(run_.window, WM_COMMAND, HOST_BROWSER_STARTED, 0);
    EXPECT_EQ(NOTICE_LIMIT, (int)SendMessageA(list, LB_GETCOUNT, 0, 0));
}

TEST_F(LauncherTest, RemembersTheServerAndAccountButNeverTheKey)
{
    const char host[] = "127.0.0.82";
    const char id[] = "  shop with blanks ";
    const char key[] = "S3cr3t-k";
    ASSERT_TRUE(StartLauncherHere());
    Start(run_.window, host, id, key);
    Record record;
    ASSERT_TRUE(TakeRecord(record_, &record));
    StopLauncher(&run_);

    ASSERT_TRUE(Exists(SettingsFile()));
    std::string saved = FileText(SettingsFile());
    EXPECT_NE(std::string::npos, saved.find(host)) << saved;
    EXPECT_NE(std::string::npos, saved.find(id)) << saved;
    // Not the key, nor any part of it that would give it away, in any file of the settings folder.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((roaming_ + "Products\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    do {
        std::string text = FileText(roaming_ + "Products\\" + found.cFileName);
        EXPECT_EQ(std::string::npos, text.find("S3cr3t")) << found.cFileName << ": " << text;
    } while (FindNextFileA(search, &found));
    FindClose(search);

    // The next launcher shows them again, blanks and all, and an empty key: started at once, the
    // viewer gets no key.
    ASSERT_TRUE(StartLauncherHere());
    EXPECT_EQ(host, ControlText(run_.window, IDC_SERVER_ADDRESS));
    EXPECT_EQ(id, ControlText(run_.window, IDC_ACCOUNT_ID));
    SendMessageA(GetDlgItem(run_.window, IDC_START), BM_CLICK, 0, 0);
    ASSERT_TRUE(TakeRecord(record_, &record));
    EXPECT_EQ(std::string(host) + "^" + id + "^#", record["command"]);
}

// What the launcher relies on for the companion browser: the shell's "open" of a bare program name
// searches PATH, also from a process whose current folder and own folder are both elsewhere.
TEST(LauncherShellSearch, FindsABareProgramNameThroughPathFromAnotherFolder)
{
    std::string root = MakeScratchFolder("launcher-shell");
    ASSERT_FALSE(root.empty());
    std::string install = root + "install\\";
    std::string elsewhere = root + "elsewhere\\";
    std::string recordFile = root + "record.txt";
    ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA((TestDirectory() + StandInProgram).c_str(), (install + BROWSER_PROGRAM).c_str(), FALSE));
    char ownFolder[MAX_PATH];
    GetCurrentDirectoryA(sizeof ownFolder, ownFolder);
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.c_str()));

    INT_PTR withoutPath, withPath;
    {
        EnvironmentScope environment;
        environment.Set(RecordVariable, recordFile.c_str());
        // Not on the path: not found, so the case below is found through the path alone.
        withoutPath = (INT_PTR)ShellExecuteA(nullptr, "open", BROWSER_PROGRAM, nullptr, nullptr, SW_SHOWNORMAL);
        std::string path = WithoutSlash(install) + ";" + Variable("PATH");
        environment.Set("PATH", path.c_str());
        withPath = (INT_PTR)ShellExecuteA(nullptr, "open", BROWSER_PROGRAM, nullptr, nullptr, SW_SHOWNORMAL);
    }
    Record record;
    bool ran = TakeRecord(recordFile, &record);
    SetCurrentDirectoryA(ownFolder);

    EXPECT_LE(withoutPath, 32);
    EXPECT_GT(withPath, 32);
    ASSERT_TRUE(ran);
    EXPECT_EQ(Canonical(install + BROWSER_PROGRAM), Canonical(record["module"]));
    EXPECT_EQ(Canonical(elsewhere), Canonical(record["folder"]));
    EXPECT_FALSE(TakeRecord(recordFile, &record, 500)); // one start, not two
    RemoveTree(root);
}

// The viewer a launcher started: its only child.
DWORD ChildOf(DWORD parent)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD child = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == parent && lstrcmpiA(entry.szExeFile, VIEWER_PROGRAM) == 0)
            child = entry.th32ProcessID;
    CloseHandle(snapshot);
    return child;
}

// The whole chain on one machine: the real launcher of the build's bin folder starts the real
// viewer, which fetches the demo account from the real feed server and lists it.
TEST(LauncherEndToEnd, StartsTheRealViewerAgainstTheRealServer)
{
    const char address[] = "127.0.0.80";
    std::string catalog = PRODUCTS_SAMPLE_CATALOG;
    int expectedRows = (int)ReadCatalogProducts(catalog + "/products/demo.txt").size();
    ASSERT_GT(expectedRows, 40);

    std::string root = MakeScratchFolder("launcher-e2e");
    ASSERT_FALSE(root.empty());
    std::string roaming = root + "roaming", local = root + "local";
    ASSERT_TRUE(CreateDirectoryA(roaming.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(local.c_str(), nullptr));
    EnvironmentScope environment;
    environment.Set("APPDATA", roaming.c_str());
    environment.Set("LOCALAPPDATA", local.c_str());

    // The feed server, and what it has written so far.
    ChildProcess server;
    std::string log;
    LauncherRun run;
    HANDLE viewer = nullptr;
    // Everything started is ended on every way out.
    struct Cleanup {
        ChildProcess* server;
        LauncherRun* run;
        HANDLE* viewer;
        std::string root;
        ~Cleanup()
        {
            if (*viewer != nullptr) {
                TerminateProcess(*viewer, 0);
                CloseHandle(*viewer);
            }
            StopLauncher(run);
            EndChild(server);
            RemoveTree(root);
        }
    } cleanup = { &server, &run, &viewer, root };

    ASSERT_TRUE(StartWithOutput("\"" + RuntimeDirectory() + "feed-server.exe\" --catalog \"" + catalog +
                                    "\" --allow-short-keys --address " + address,
                                nullptr, &server));
    ASSERT_TRUE(ReadOutputUntil(&server, "listening on", &log, 30000)) << log;

    ASSERT_TRUE(StartLauncher(RuntimeDirectory(), root, &run));
    std::string status = Start(run.window, address, "demo", "demo");
    ASSERT_TRUE(StartsWith(status, "Started the viewer")) << status;
    DWORD viewerId = ChildOf(run.process.dwProcessId);
    ASSERT_NE(0u, viewerId);
    viewer = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, viewerId);
    HWND window = WaitForViewerWindow(viewerId, StartMs);
    ASSERT_NE(nullptr, window);

    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ("Harbor Street Home Goods Product's List", title);
    EXPECT_EQ(expectedRows, (int)SendMessageA(GetDlgItem(window, 105), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_TRUE(ReadOutputUntil(&server, " feed demo ok ", &log, 10000)) << log;
    // The viewer ran, and spooled its feed, in the per-user folder the launcher made for it.
    EXPECT_TRUE(Exists(local + "\\Products"));

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(viewer, StartMs));
}

} // namespace
