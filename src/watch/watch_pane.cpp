#include "watch/watch_pane.h"

#include <commctrl.h>
#include <process.h>
#include <shellapi.h>

#include <algorithm>

#include "band/band_create_params.h"
#include "common/ansi.h"
#include "common/com_ptr.h"
#include "module/module.h"
#include "resources/resource.h"
#include "services/kept_text.h"
#include "services/seen_store.h"
#include "watch/passage_display.h"
#include "watch/watch_notice.h"
#include "watch/watch_worker.h"

namespace {

const char kClassName[] = "Pelorin-Watch";
const UINT_PTR kPollTimer = 0;
const UINT kToolbarId = 99;
const int kImageWidth = 27;
const int kImageHeight = 16;
// The worker's image changes, made by the pane on its own thread (see SetButtonImage):
// wParam the button's position, lParam the image. Answers kImageRefused, kImageTook or
// kImageDidNotTake.
const UINT kShowImageMessage = WM_APP + 1;
const LRESULT kImageRefused = 0;
const LRESULT kImageTook = 1;
const LRESULT kImageDidNotTake = 2;
const DWORD kToolbarStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                            TBSTYLE_TRANSPARENT | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
                            CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_TOP;  // 0x5600894D

WatchPaneState* StateOf(HWND hwnd) {
    return reinterpret_cast<WatchPaneState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

TBBUTTONINFOA ImageInfo(int image) {
    TBBUTTONINFOA info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_BYINDEX | TBIF_IMAGE;
    info.iImage = image;
    return info;
}

HWND CreateWatchToolbar(HWND parent, std::vector<WatchItem>& items,
                        const std::vector<HBITMAP>& bitmaps) {
    std::vector<TBBUTTON> buttons(items.size());
    for (size_t p = 0; p < items.size(); ++p) {
        TBBUTTON& button = buttons[p];
        button = TBBUTTON();
        button.iBitmap = Pending;
        button.idCommand = static_cast<int>(p + 1);
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = TBSTYLE_BUTTON;
        ItemLock lock(items[p]);
        items[p].buttonIndex = static_cast<int>(p);
    }
    HWND toolbar = CreateToolbarEx(parent, kToolbarStyle, kToolbarId, 2, ModuleInstance(),
                                   IDB_PENDING_CHECKING, buttons.empty() ? nullptr : buttons.data(),
                                   static_cast<int>(buttons.size()), kImageWidth, kImageHeight,
                                   kImageWidth, kImageHeight, sizeof(TBBUTTON));
    if (!toolbar) return nullptr;
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    // Images 0 and 1 come from the strip above; these two become Changed and Seen.
    for (HBITMAP bitmap : bitmaps) {
        TBADDBITMAP add = {nullptr, reinterpret_cast<UINT_PTR>(bitmap)};
        SendMessageA(toolbar, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&add));
    }
    return toolbar;
}

void StartWorker(WatchPaneState* state) {
    // The pane goes on as soon as the worker has published itself, not at the next turn of
    // a poll: a poll at 10 ms cost most of a band's load.
    state->workerStarted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!state->workerStarted) return;  // no worker: nothing could say that it runs
    state->AddRef();  // the worker's own reference
    uintptr_t thread = _beginthreadex(nullptr, 0, WorkerMain, state, 0, nullptr);
    if (!thread) {
        // No worker: the pane still shows its buttons and opens pages; nothing is polled.
        state->Release();
    } else {
        // The worker publishes itself before anything else; a worker that died before that
        // (it cannot, short of the process failing) ends the wait too.
        HANDLE waits[] = {state->workerStarted, reinterpret_cast<HANDLE>(thread)};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        state->worker = reinterpret_cast<HANDLE>(thread);
    }
    // Set once by the worker and never touched by it again.
    CloseHandle(state->workerStarted);
    state->workerStarted = nullptr;
}

void StartPolling(HWND hwnd, WatchPaneState* state) {
    state->items = LoadWatchItems();
    for (int id : {IDB_CHANGED, IDB_SEEN}) {
        state->bitmaps.push_back(static_cast<HBITMAP>(
            LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, kImageWidth,
                       kImageHeight, LR_LOADMAP3DCOLORS | LR_VGACOLOR)));
    }
    state->rebar = nullptr;
    state->toolbar = CreateWatchToolbar(hwnd, state->items, state->bitmaps);
    state->stopRequested = 0;
    state->wakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!state->wakeEvent) return;
    StartWorker(state);

    // A missing, zero, negative or non-numeric interval means one pass only; a huge one is
    // held to the longest period a timer takes.
    int seconds = static_cast<int>(GetPrivateProfileIntA("watch", "interval", 0, ConfigPath().c_str()));
    if (seconds > 0) {
        UINT period = static_cast<UINT>(std::min<unsigned>(seconds, USER_TIMER_MAXIMUM / 1000)) * 1000;
        SetTimer(hwnd, kPollTimer, period, nullptr);
    }
    SetEvent(state->wakeEvent);  // the first pass starts at once
}

// The worker may be sending this pane an image at this very moment, and a send waits for
// the pane's thread: the pane answers sent messages while it waits (its image messages are
// refused once it is stopping), or the two would wait on each other for the whole grace and
// the worker would then go on to fetch the next page for a band that is gone.
void WaitForWorker(HANDLE worker, DWORD graceMs) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= graceMs) return;
        if (MsgWaitForMultipleObjects(1, &worker, FALSE, graceMs - spent, QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1) {
            return;  // the worker ended, the grace ran out, or the wait failed
        }
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // only sent ones
    }
}

void StopPolling(HWND hwnd, WatchPaneState* state) {
    KillTimer(hwnd, kPollTimer);
    InterlockedExchange(&state->stopRequested, 1);
    if (state->wakeEvent) SetEvent(state->wakeEvent);
    // About 100 ms of grace. A waiting worker ends at once, and the pane waits for the
    // thread itself, not only for its flag, so that the library's lock count is back down
    // when the band has closed. A worker still inside a fetch then is left to finish it
    // alone (the fetch ends by its deadline): it holds its own reference to this state and
    // sends nothing more to the toolbar, so the pane never waits longer and never kills a
    // thread that may hold WinINet's or the heap's locks.
    if (state->worker) {
        WaitForWorker(state->worker, 100);
        CloseHandle(state->worker);
        state->worker = nullptr;
    }
    state->toolbar = nullptr;
    for (HBITMAP bitmap : state->bitmaps) DeleteObject(bitmap);  // the toolbar has copies
    state->bitmaps.clear();
}

// Tells the host that item `position` turned Changed or stopped showing it, when the host
// wants to know (see watch_notice.h). Checking and Pending are no verdict: a Changed page
// passes through Checking at every pass and is not told again. No item lock is held here:
// the host may do anything.
void NoticeImage(WatchPaneState* state, size_t position, ButtonImage image) {
    if (image != Changed && image != Seen) return;
    if (state->toldChanged.size() < state->items.size()) state->toldChanged.resize(state->items.size());
    bool changed = image == Changed;
    if (state->toldChanged[position] == changed) return;
    state->toldChanged[position] = changed;
    if (!state->hostListens || !state->inputSite) return;
    ComPtr<IOleCommandTarget> target;
    if (FAILED(state->inputSite->QueryInterface(IID_IOleCommandTarget, target.put_void())) || !target) {
        state->hostListens = false;
        return;
    }
    WatchItem& item = state->items[position];
    std::wstring texts[3];  // the page's address, its title, what is new in it
    NewPassages passages;
    {
        ItemLock lock(item);
        texts[0] = AnsiToWide(PageAddress(item));
        if (changed) passages = item.newPassages;
    }
    texts[1] = AnsiToWide(item.title);
    texts[2] = DescribeNewPassages(passages, UsesEnglishTexts());
    SAFEARRAY* page = SafeArrayCreateVector(VT_BSTR, 0, 3);
    if (!page) return;
    for (LONG index = 0; index < 3; ++index) {
        BSTR text = SysAllocStringLen(texts[index].data(), static_cast<UINT>(texts[index].size()));
        SafeArrayPutElement(page, &index, text);  // copies the string
        SysFreeString(text);
    }
    VARIANT in;
    VariantInit(&in);
    V_VT(&in) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&in) = page;
    HRESULT hr = target->Exec(&kPelorinWatchGroup, changed ? kWatchPageChanged : kWatchPageNoLongerChanged,
                              OLECMDEXECOPT_DONTPROMPTUSER, &in, nullptr);
    if (hr == OLECMDERR_E_UNKNOWNGROUP || hr == OLECMDERR_E_NOTSUPPORTED || hr == E_NOTIMPL) state->hostListens = false;
    VariantClear(&in);
}

void OpenWatchItem(WatchPaneState* state, WPARAM wParam) {
    LRESULT count = state->toolbar ? SendMessageA(state->toolbar, TB_BUTTONCOUNT, 0, 0) : 0;
    count = std::min<LRESULT>(count, static_cast<LRESULT>(state->items.size()));
    if (wParam < 1 || wParam > static_cast<WPARAM>(count)) {
        MessageBoxA(nullptr, "よく分からない WM_COMMAND メッセージが来ました.", "Pelorin", MB_OK);
        return;
    }
    WatchItem& item = state->items[wParam - 1];
    std::string address, digest;
    {
        // Held while the seen digest is written and the image set, so that the worker cannot
        // replace the digest in between.
        ItemLock lock(item);
        address = PageAddress(item);
        digest = item.digest;
        WriteSeenDigest(address, digest, item.comparison);
        item.newPassages = NewPassages();  // what was new is seen now
        SetButtonImage(state->toolbar, item.buttonIndex, Seen);
    }
    // The text the pass kept with that digest is now the one the user saw: a rename, after the
    // lock, so that the worker never waits on a file for it. A pass that keeps a newer text
    // meanwhile costs at most the kept text (kept_text.h), never a wrong one.
    if (ComparesText(item.comparison) && !digest.empty()) PromoteLatestText(address, digest);
    NoticeImage(state, wParam - 1, Seen);
    if (state->browser) {
        BSTR url = AnsiToBstr(address);
        state->browser->Navigate(url, nullptr, nullptr, nullptr, nullptr);
        SysFreeString(url);
    } else {
        ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
}

// One attempt at an image, on the toolbar's own thread: the set and the check that it took
// cannot be split by anything else the thread does (the user's opening of the item).
// Only the button whose image changed is repainted: the whole toolbar, twice an item, made
// a pass cost more the more buttons it had.
void RepaintButton(HWND toolbar, int position) {
    RECT button = {};
    bool known = SendMessageA(toolbar, TB_GETITEMRECT, position, reinterpret_cast<LPARAM>(&button)) != 0;
    InvalidateRect(toolbar, known ? &button : nullptr, TRUE);
    UpdateWindow(toolbar);
}

LRESULT TrySetImage(HWND toolbar, int position, ButtonImage image) {
    TBBUTTONINFOA info = ImageInfo(image);
    if (!SendMessageA(toolbar, TB_SETBUTTONINFOA, position, reinterpret_cast<LPARAM>(&info))) return kImageRefused;
    return GetButtonImage(toolbar, position) == image ? kImageTook : kImageDidNotTake;
}

// The worker's image for button `position`, shown on the UI thread. A Changed found before
// the user opened the item is stale once the user has: the item's digest is then the seen
// one, and the button stays Seen.
LRESULT ShowWorkerImage(WatchPaneState* state, WPARAM position, ButtonImage image) {
    if (!state->toolbar || position >= state->items.size()) return kImageRefused;
    if (InterlockedCompareExchange(&state->stopRequested, 0, 0)) return kImageRefused;  // closing
    if (image == Changed) {
        WatchItem& item = state->items[position];
        std::string address, digest;
        {
            ItemLock lock(item);
            address = PageAddress(item);
            digest = item.digest;
        }
        if (!digest.empty() && digest == ReadSeenDigest(address, std::string())) image = Seen;
    }
    LRESULT result = TrySetImage(state->toolbar, static_cast<int>(position), image);
    RepaintButton(state->toolbar, static_cast<int>(position));
    if (result == kImageTook) NoticeImage(state, position, image);
    return result;
}

// What a Changed button's page has new, when a pass found something; None otherwise.
NewPassages ShownPassages(WatchPaneState* state, WatchItem& item) {
    int button;
    NewPassages passages;
    {
        ItemLock lock(item);
        button = item.buttonIndex;
        passages = item.newPassages;
    }
    if (passages.kind == NewPassageKind::None || !state->toolbar ||
        GetButtonImage(state->toolbar, button) != Changed)
        return NewPassages();
    return passages;
}

void ShowTooltip(WatchPaneState* state, NMHDR* header) {
    if (header->code != TTN_GETDISPINFOA && header->code != TTN_GETDISPINFOW) return;
    UINT_PTR id = header->idFrom;
    bool known = id >= 1 && id <= state->items.size();
    NewPassages passages = known ? ShownPassages(state, state->items[id - 1]) : NewPassages();
    bool withPassage = passages.kind != NewPassageKind::None;
    // The tooltip asking: a passage makes a long text, wrapped to a readable width; and
    // without TTS_NOPREFIX it would take each "&" of the passage as a mnemonic mark.
    HWND tip = nullptr;
    char className[32] = "";
    if (header->hwndFrom && GetClassNameA(header->hwndFrom, className, sizeof className) &&
        lstrcmpiA(className, TOOLTIPS_CLASSA) == 0)
        tip = header->hwndFrom;
    bool noPrefix = !tip || (GetWindowLongPtrA(tip, GWL_STYLE) & TTS_NOPREFIX);
    if (tip && known) SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, withPassage ? 480 : -1);
    bool english = UsesEnglishTexts();
    if (header->code == TTN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        info->hinst = ModuleInstance();
        if (!known) return;
        const std::string& title = state->items[id - 1].title;
        if (!withPassage) {
            // title never changes while the item lives, so the text need not be copied.
            info->lpszText = const_cast<char*>(title.c_str());
            return;
        }
        state->tipText = PassageTooltipAnsi(title, passages, english, noPrefix);
        info->lpszText = const_cast<char*>(state->tipText.c_str());
    } else {
        // Some toolbars ask in UTF-16 whatever the parent speaks.
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        info->hinst = ModuleInstance();
        if (!known) return;
        state->tipTextWide = PassageTooltipWide(state->items[id - 1].title, passages, english, noPrefix);
        if (withPassage) {
            info->lpszText = const_cast<wchar_t*>(state->tipTextWide.c_str());
        } else {
            lstrcpynW(info->szText, state->tipTextWide.c_str(), ARRAYSIZE(info->szText));
            info->lpszText = info->szText;
        }
    }
}

LRESULT CALLBACK WatchPaneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* params = static_cast<const BandCreateParams*>(create->lpCreateParams);
        auto* state = new (std::nothrow) WatchPaneState();
        if (!state) return FALSE;
        if (params) {
            state->band = params->band;
            state->hwndParent = params->hwndParent;
            state->browser = params->browser;
            state->inputSite = params->inputSite;
            if (state->browser) state->browser->AddRef();
            if (state->inputSite) state->inputSite->AddRef();
        }
        state->window = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    WatchPaneState* state = StateOf(hwnd);
    if (!state) return DefWindowProcA(hwnd, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        StartPolling(hwnd, state);
        return 0;
    case WM_SIZE:
        if (state->toolbar) MoveWindow(state->toolbar, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_GETMINMAXINFO: {
        SIZE size = {0, 0};  // no toolbar: the pane takes no room
        if (state->toolbar) SendMessageA(state->toolbar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxSize = {size.cx, size.cy};
        info->ptMaxPosition = {0, 0};
        info->ptMinTrackSize = {size.cx, size.cy};
        info->ptMaxTrackSize = {size.cx, size.cy};
        return 0;
    }
    case WM_NOTIFY:
        ShowTooltip(state, reinterpret_cast<NMHDR*>(lParam));
        return 0;
    case WM_COMMAND:
        OpenWatchItem(state, wParam);
        return 0;
    case WM_TIMER:
        if (state->wakeEvent) SetEvent(state->wakeEvent);
        break;
    case kShowImageMessage:
        return ShowWorkerImage(state, wParam, static_cast<ButtonImage>(lParam));
    case WM_DESTROY:
        StopPolling(hwnd, state);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        if (state->browser) state->browser->Release();
        if (state->inputSite) state->inputSite->Release();
        state->browser = nullptr;
        state->inputSite = nullptr;
        state->Release();  // a worker still in a fetch holds the rest alive
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

WatchPaneState::~WatchPaneState() {
    if (wakeEvent) CloseHandle(wakeEvent);
}

ButtonImage GetButtonImage(HWND toolbar, int position) {
    TBBUTTONINFOA info = ImageInfo(0);
    SendMessageA(toolbar, TB_GETBUTTONINFOA, position, reinterpret_cast<LPARAM>(&info));
    return static_cast<ButtonImage>(info.iImage);
}

LRESULT SetButtonImage(HWND toolbar, int position, ButtonImage image) {
    if (!toolbar) return 0;
    // From the worker, each attempt is one message to the pane, which sets and checks on the
    // UI thread. Sent as two toolbar messages, the user's click could come between them: the
    // check then saw Seen, took it for a failed set and put the worker's image back 300 ms
    // later (a button just opened went back to Checking, or to a stale Changed).
    bool fromWorker = GetWindowThreadProcessId(toolbar, nullptr) != GetCurrentThreadId();
    HWND pane = GetParent(toolbar);
    LRESULT answer = kImageRefused;
    for (int attempt = 0; attempt < 10; ++attempt) {
        answer = fromWorker ? SendMessageA(pane, kShowImageMessage, static_cast<WPARAM>(position), image)
                            : TrySetImage(toolbar, position, image);
        if (answer != kImageDidNotTake) break;
        Sleep(300);
    }
    if (!fromWorker) RepaintButton(toolbar, position);
    return answer == kImageRefused ? 0 : 1;
}

HWND CreateWatchPane(HWND parent, const BandCreateParams* params) {
    RegisterModuleWindowClass(kClassName, WatchPaneProc);  // an earlier pane may have done it
    return CreateWindowExA(0, kClassName, "Pelorin Watch",
                           WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 1, 1, parent, nullptr,
                           ModuleInstance(), const_cast<BandCreateParams*>(params));
}
