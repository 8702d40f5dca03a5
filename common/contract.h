// What the programs agree on across process and network boundaries: the window classes they find
// each other by, the messages they post, the programs they start, and the feed server's port,
// request line, replies, spool file and page addresses. Written here and nowhere else: the viewer,
// the browser, the launcher, the feed server and the tests include it. Plain C without Windows
// headers, so that the native server, C programs and resource scripts read it as is.
#pragma once

// Window classes, each found by its name alone.
#define PRODUCTS_CLASS_NAME "MainProd32WClass" // the viewer's Products window
#define BROWSER_CLASS_NAME "VarnelBrowsr"      // the companion browser's window
#define HOST_CLASS_NAME "TheMain32WClass"      // the host application's main window (the launcher)

// Programs and their file names.
#define VIEWER_PROGRAM "Vn_Products.exe" // by the host, from its own folder
#define BROWSER_PROGRAM "Vn_Browser.exe" // by the viewer, from its own folder (else the shell's search)

// The viewer's hand-off of an address: WM_SETTEXT to the browser's field, then the open command;
// the host hears when the browser had to be started first. Both commands are posted as WM_COMMAND
// with lParam 0.
enum {
    BROWSER_ADDRESS_FIELD = 1010, // control id of the browser's address field
    BROWSER_OPEN_COMMAND = 1135,  // posted to the browser after its field holds the address
    HOST_BROWSER_STARTED = 911,   // posted to the host when the viewer had to start the browser
};

// The feed: one request line on a TCP connection to this port, answered by the whole feed, then the
// server closes the connection. The viewer spools the reply to a file of this name in its current
// folder and deletes it once read.
enum { FEED_PORT = 1360 };
#define FEED_REQUEST_PREFIX "VNP,"
#define FEED_REQUEST_FORMAT FEED_REQUEST_PREFIX "%s^%s\r\n" // account id, account key
#define FEED_NO_DATA_MARK "<body><h1>" // a reply starting so (any case) holds no feed
// The feed server's health check on the same port, asked by load balancers: 200 while it takes
// connections, 503 while it drains before it stops.
#define FEED_HEALTH_PATH "/health"
#define SPOOL_FILE_NAME "Pra.vnl"

// The addresses the viewer hands to the browser: a product's web address, and its page on the feed
// server (server address, FEED_PORT, page path, account id, account key).
#define WEB_ADDRESS_FORMAT "http://%s"
#define SERVER_PAGE_FORMAT "http://%s:%d/%s^%s^%s"

// Feed status codes above 6 are read with 8 taken off.
static inline int AdjustStatus(int code)
{
    return code > 6 ? code - 8 : code;
}
