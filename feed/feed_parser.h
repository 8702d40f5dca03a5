// Reading the spooled feed into the product list, the window title and the list view.
#pragma once

#include <windows.h>

#include "feed/feed_format.h"

// Reads "Pra.vnl", titles window after its header ("  No Data" for a reply without data), builds
// the product list and fills list from it. The spool file is deleted in every case.
void ParseFeed(HWND window, HWND list);

// The reading half of ParseFeed: the spool file into the product list and title, then deleted.
// Returns false, title untouched, when the file cannot be opened.
bool ReadSpoolFile(char* title, size_t titleCapacity, FeedOutcome* outcome);
