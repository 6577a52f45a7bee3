#include "band/container_window.h"

#include <new>

#include "band/band_create_params.h"
#include "band/pane_layout.h"
#include "module/module.h"
#include "search/search_pane.h"
#include "watch/watch_pane.h"

namespace {

const char kClassName[] = "Pelorin";
// Sent by DestroyContainerWindow from another thread: the container destroys itself.
const UINT kDestroySelfMessage = WM_APP;

PaneFactory g_watchFactory = CreateWatchPane;
PaneFactory g_searchFactory = CreateSearchPane;

PaneSlots* SlotsOf(HWND window) {
    return reinterpret_cast<PaneSlots*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Asks every pane for its size; unless only measuring, moves the two panes into the row.
RowLayout Measure(const PaneSlots& slots, bool move) {
    PaneAnswer answers[3];
    for (int slot = 0; slot < 3; ++slot) {
        MINMAXINFO info = {};
        if (slots.panes[slot]) {
            SendMessageA(slots.panes[slot], WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        }
        answers[slot].width = info.ptMaxSize.x;
        answers[slot].minHeight = info.ptMinTrackSize.y;
        answers[slot].minWidth = info.ptMinTrackSize.x;
    }
    RowLayout row = LayOutRow(answers);
    if (move) {
        for (int slot = 0; slot < 2; ++slot) {
            if (!slots.panes[slot]) continue;
            MoveWindow(slots.panes[slot], row.panes[slot].x, 0, row.panes[slot].width, row.height, TRUE);
        }
    }
    return row;
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
    auto* params = static_cast<const BandCreateParams*>(create->lpCreateParams);
    // Without its slots the container could hold no pane: refuse to exist rather than show
    // an empty band.
    auto* slots = new (std::nothrow) PaneSlots{};
    if (!slots) return -1;
    slots->panes[0] = g_watchFactory(window, params);
    slots->panes[1] = g_searchFactory(window, params);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(slots));
    for (HWND pane : slots->panes) {
        if (pane) {
            SetWindowPos(pane, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
        }
    }
    Measure(*slots, true);
    return 0;
}

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_DESTROY: {
        PaneSlots* slots = SlotsOf(window);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete slots;
        return 0;
    }
    case kDestroySelfMessage:
        DestroyWindow(window);
        return 0;
    case WM_SIZE:
        // Before WM_CREATE and after WM_DESTROY there is nothing to lay out.
        if (PaneSlots* slots = SlotsOf(window)) {
            Measure(*slots, true);
            return 0;
        }
        break;
    case WM_GETMINMAXINFO:
        if (PaneSlots* slots = SlotsOf(window)) {
            RowLayout row = Measure(*slots, false);
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMaxSize = {row.width, row.height};
            info->ptMaxPosition = {0, 0};
            info->ptMinTrackSize = {row.width, row.height};
            info->ptMaxTrackSize = {-1, row.height};
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

ATOM RegisterContainerWindowClass() { return RegisterModuleWindowClass(kClassName, ContainerProc); }

HWND CreateContainerWindow(const BandCreateParams& params) {
    return CreateWindowExA(0, kClassName, "Pelorin", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                           0, 0, 1, 1, params.hwndParent, nullptr, ModuleInstance(),
                           const_cast<BandCreateParams*>(&params));
}

void DestroyContainerWindow(HWND container) {
    DWORD owner = GetWindowThreadProcessId(container, nullptr);
    if (!owner) return;  // not a window (any more)
    if (owner == GetCurrentThreadId()) {
        DestroyWindow(container);
        return;
    }
    // A handle kept after its window went may name another window by now: only a
    // container is asked to go.
    char name[sizeof kClassName + 1] = "";
    GetClassNameA(container, name, sizeof name);
    if (lstrcmpA(name, kClassName) == 0) SendMessageA(container, kDestroySelfMessage, 0, 0);
}

HWND ContainerPane(HWND container, int slot) {
    if (!container || slot < 0 || slot > 2 || !IsWindow(container)) return nullptr;
    PaneSlots* slots = SlotsOf(container);
    return slots ? slots->panes[slot] : nullptr;
}

void SetPaneFactories(PaneFactory watch, PaneFactory search) {
    g_watchFactory = watch ? watch : CreateWatchPane;
    g_searchFactory = search ? search : CreateSearchPane;
}
