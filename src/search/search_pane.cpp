#include "search/search_pane.h"

#include <new>
#include <string>
#include <vector>

#include "band/band_create_params.h"
#include "common/com_ptr.h"
#include "module/module.h"
#include "search/search_engine.h"
#include "search/submit_query.h"

namespace {

const char kClassName[] = "Pelorin-Search";

// One per pane, made at the pane's WM_NCCREATE and freed at its WM_DESTROY. The pane and,
// from WM_CREATE on, its edit box find it in their user-data words; both run on the host's
// UI thread, which alone touches it.
struct SearchPaneState {
    IUnknown* band = nullptr;  // passed in focus notifications; no reference held
    HWND hwndParent = nullptr;
    ComPtr<IWebBrowser2> browser;        // null without a browser (the taskbar)
    ComPtr<IInputObjectSite> inputSite;  // null when the host gave none
    WNDPROC editProc = nullptr;          // the edit box's own (Unicode) procedure
    HWND hwndPane = nullptr;
    HWND hwndEdit = nullptr;
    int extraWidth = 0;   // the edit box's frame plus its left margin
    int extraHeight = 0;  // the edit box's frame plus its right margin
    std::vector<SearchEngine> engines;
};

SearchPaneState* StateOf(HWND hwnd) {
    return reinterpret_cast<SearchPaneState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

void SetState(HWND hwnd, SearchPaneState* state) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
}

bool OnNcCreate(HWND hwnd, const CREATESTRUCTA* create) {
    auto* state = new (std::nothrow) SearchPaneState;
    if (!state) return false;
    if (const auto* params = static_cast<const BandCreateParams*>(create->lpCreateParams)) {
        state->band = params->band;
        state->hwndParent = params->hwndParent;
        state->browser = ComPtr<IWebBrowser2>(params->browser);
        state->inputSite = ComPtr<IInputObjectSite>(params->inputSite);
    }
    state->hwndPane = hwnd;
    SetState(hwnd, state);
    return true;
}

bool OnCreate(SearchPaneState* state) {
    state->engines = LoadSearchEngines(ConfigPath().c_str());

    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL,
                                0, 0, 16, 16, state->hwndPane, nullptr, ModuleInstance(), nullptr);
    // A pane without its edit box could take no query: better an empty slot in the band.
    if (!edit) return false;
    state->hwndEdit = edit;
    SetState(edit, state);
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    // The subclass is installed as a Unicode procedure, and the edit box's own Unicode
    // procedure gets what it does not take: through the ANSI pair, Wine's edit control turns
    // each byte of a double-byte character into a character of its own, so typed Japanese
    // would arrive as "・・". The edit box's text is still read in code page 932.
    state->editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SearchPaneProc)));

    RECT window = {}, client = {};
    GetWindowRect(edit, &window);
    GetClientRect(edit, &client);
    state->extraWidth = (window.right - window.left) - (client.right - client.left);
    state->extraHeight = (window.bottom - window.top) - (client.bottom - client.top);
    LRESULT margins = SendMessageA(edit, EM_GETMARGINS, 0, 0);
    state->extraWidth += LOWORD(margins);
    // The margin reply has no top or bottom margin; the right one stands in for them.
    state->extraHeight += HIWORD(margins);
    return true;
}

void OnDestroy(SearchPaneState* state) {
    // A window destroyed with the focus is sent no WM_KILLFOCUS, so the edit box would never
    // say it lost it: tell the site here, or the host would go on thinking the band holds
    // the keyboard.
    if (state->inputSite && state->hwndEdit && GetFocus() == state->hwndEdit) {
        state->inputSite->OnFocusChangeIS(state->band, FALSE);
    }
    // The edit box is destroyed after this record: give it back its own procedure now, so
    // that its last messages (WM_DESTROY, WM_NCDESTROY, which free its text) reach the
    // control itself and nothing is left that points at freed memory.
    if (state->hwndEdit) {
        if (state->editProc) {
            SetWindowLongPtrW(state->hwndEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state->editProc));
        }
        SetState(state->hwndEdit, nullptr);
    }
    SetState(state->hwndPane, nullptr);
    state->engines.clear();
    state->inputSite.reset();
    state->browser.reset();
    delete state;
}

void OnGetMinMaxInfo(SearchPaneState* state, MINMAXINFO* info) {
    if (!info) return;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(state->hwndEdit, WM_GETFONT, 0, 0));
    HDC dc = GetDC(state->hwndEdit);
    TEXTMETRICA metrics = {};
    if (dc) {
        HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
        GetTextMetricsA(dc, &metrics);
        if (previous) SelectObject(dc, previous);
        ReleaseDC(state->hwndEdit, dc);
    }
    LONG h = metrics.tmHeight;
    LONG height = h + state->extraHeight;
    info->ptMaxSize = {10 * h, height};
    info->ptMaxPosition = {0, 0};
    info->ptMinTrackSize = {3 * h + state->extraWidth, height};
    info->ptMaxTrackSize = {-1, height};
}

void OnSize(SearchPaneState* state, const RECT& client, LPARAM lParam) {
    if (!state->hwndEdit) return;
    MINMAXINFO info = {};
    SendMessageA(state->hwndPane, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    int h = info.ptMinTrackSize.y;
    int clientHeight = client.bottom - client.top;
    MoveWindow(state->hwndEdit, 0, (clientHeight - h) / 2, LOWORD(lParam), h, TRUE);
}

void OnSubmitQuery(SearchPaneState* state, HWND source) {
    char text[260] = "";
    GetWindowTextA(source, text, sizeof text);
    // The submission can run a modal loop (a message box) in which the host may close the
    // band and this pane with it; it works on copies that such a close cannot free.
    std::vector<SearchEngine> engines = state->engines;
    ComPtr<IWebBrowser2> browser = state->browser;
    SubmitQuery(engines, browser.get(), text);
}

// Enter in the edit box: the key-down and the character it produces are the pane's, and so
// are characters typed ahead that are still queued; the text in the box is what is sent.
LRESULT OnEditEnter(HWND edit, HWND pane) {
    MSG queued;
    while (PeekMessageA(&queued, edit, WM_CHAR, WM_CHAR, PM_REMOVE)) {
    }
    // Nothing of the record is touched after this: the submission may have freed it.
    SendMessageA(pane, WM_SUBMIT_QUERY, reinterpret_cast<WPARAM>(edit), 0);
    return 0;
}

LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE && !OnNcCreate(hwnd, reinterpret_cast<CREATESTRUCTA*>(lParam))) {
        return FALSE;
    }
    SearchPaneState* state = StateOf(hwnd);
    if (!state) return DefWindowProcA(hwnd, message, wParam, lParam);

    if (hwnd == state->hwndEdit) {
        if (message == WM_KEYDOWN && wParam == VK_RETURN) return OnEditEnter(hwnd, state->hwndPane);
        return CallWindowProcW(state->editProc, hwnd, message, wParam, lParam);
    }

    RECT client = {};
    GetClientRect(hwnd, &client);
    switch (message) {
    case WM_CREATE:
        return OnCreate(state) ? 0 : -1;
    case WM_DESTROY:
        OnDestroy(state);
        return 0;
    case WM_NCDESTROY:
        // Still attached only when creation failed after WM_NCCREATE without a WM_DESTROY.
        OnDestroy(state);
        break;
    case WM_SIZE:
        OnSize(state, client, lParam);
        return 0;
    case WM_SETFOCUS:
        if (state->hwndEdit) SetFocus(state->hwndEdit);
        break;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(state, reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_COMMAND:
        if (state->inputSite && HIWORD(wParam) == EN_SETFOCUS) {
            state->inputSite->OnFocusChangeIS(state->band, TRUE);
        } else if (state->inputSite && HIWORD(wParam) == EN_KILLFOCUS) {
            state->inputSite->OnFocusChangeIS(state->band, FALSE);
        }
        break;
    case WM_SUBMIT_QUERY:
        OnSubmitQuery(state, reinterpret_cast<HWND>(wParam));
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK SearchPaneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing may be thrown into the host's message loop; running out of memory while
    // reading the definitions or copying them ends the message quietly.
    try {
        return Dispatch(hwnd, message, wParam, lParam);
    } catch (...) {
        return message == WM_CREATE ? -1 : 0;
    }
}

HWND CreateSearchPane(HWND parent, const BandCreateParams* params) {
    RegisterModuleWindowClass(kClassName, SearchPaneProc);  // an earlier pane may have done it

    RECT area = {};
    GetClientRect(parent, &area);
    return CreateWindowExA(0, kClassName, "SEARCH", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                           area.left, area.top, area.right - area.left, area.bottom - area.top,
                           parent, nullptr, ModuleInstance(), const_cast<BandCreateParams*>(params));
}
