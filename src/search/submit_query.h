// Sending one query to every definition that takes it: through the hosting browser, or,
// without one (the taskbar), through the shell, where POST cannot be made.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <string>
#include <vector>

#include "search/search_engine.h"

// UI thread only. Every accepting definition in list order gets its own Navigate or shell
// "open"; a POST definition without a browser gets a message box instead, which runs a modal
// loop, so the caller must not pass a list or browser that those messages could free.
void SubmitQuery(const std::vector<SearchEngine>& engines, IWebBrowser2* browser,
                 const std::string& query);
