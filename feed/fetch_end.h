// How a fetch of the feed ended: the whole reply, a part of it, or nothing. Portable, so that the
// status line's wording is built and tested natively.
#pragma once

enum FetchEnd {
    FETCH_WHOLE,       // the server closed the connection in order, under every limit
    FETCH_CUT,         // the connection was reset or failed mid-reply: the server cut it
    FETCH_SILENT,      // nothing arrived for the silence limit
    FETCH_TOO_LARGE,   // the reply reached the size limit
    FETCH_TOO_SLOW,    // the reply outlasted the fetch's overall deadline
    FETCH_TOO_MANY,    // the reply held more products than the viewer keeps
    FETCH_NO_SPOOL,    // no spool file could be written anywhere
    FETCH_NO_NETWORK,  // no socket could be had
    FETCH_REFUSED,     // the connect failed
    FETCH_NO_ANSWER,   // the connect got no answer within its limit
    FETCH_NOT_SENT,    // the request could not be sent
};

// True when what arrived is a part of the reply, shown as an incomplete list.
inline bool IsIncompleteFetch(FetchEnd end)
{
    return end >= FETCH_CUT && end <= FETCH_TOO_MANY;
}
