#include "support/internet_handles.h"

bool AllClosed(const std::vector<HINTERNET>& handles) {
    for (HINTERNET h : handles) {
        DWORD type = 0, size = sizeof type;
        if (InternetQueryOptionA(h, INTERNET_OPTION_HANDLE_TYPE, &type, &size)) return false;
    }
    return true;
}
