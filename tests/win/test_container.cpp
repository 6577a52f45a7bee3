// The container's row with stand-in panes of known sizes, and the band built on it: where
// the panes go, what WM_GETMINMAXINFO and GetBandInfo answer, and where activation puts
// the focus. The container and the band come from the library the DLL is built from.
#include <gtest/gtest.h>
#include <windows.h>
#include <shobjidl.h>

#include "band/band_create_params.h"
#include "band/band_object.h"
#include "band/container_window.h"
#include "band_host.h"
#include "module/module.h"
#include "support/test_env.h"

namespace {

// What the stand-in panes answer to WM_GETMINMAXINFO, and what they were made as.
struct StandIn {
    LONG width;
    LONG height;
    HWND window;
    const BandCreateParams* params;
};
StandIn g_watch, g_search;

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETMINMAXINFO) {
        StandIn* pane = window == g_watch.window ? &g_watch : &g_search;
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxSize.x = pane->width;
        info->ptMinTrackSize.y = pane->height;
        // Fields the container must not read.
        info->ptMinTrackSize.x = 1000;
        info->ptMaxTrackSize = {2000, 2000};
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeStandIn(HWND parent, StandIn* pane, const BandCreateParams* params) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StandInProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "StandInPane";
    RegisterClassA(&wc);
    pane->params = params;
    // Hidden, as the real panes are made: the container shows them.
    pane->window = CreateWindowExA(0, "StandInPane", "", WS_CHILD, 50, 50, 5, 5, parent, nullptr, wc.hInstance, nullptr);
    return pane->window;
}
HWND WatchStandIn(HWND parent, const BandCreateParams* params) { return MakeStandIn(parent, &g_watch, params); }
HWND SearchStandIn(HWND parent, const BandCreateParams* params) { return MakeStandIn(parent, &g_search, params); }
HWND NoPane(HWND, const BandCreateParams*) { return nullptr; }

RECT PlaceOf(HWND pane) {
    RECT rect = {};
    GetWindowRect(pane, &rect);
    MapWindowPoints(nullptr, GetParent(pane), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class Container : public ::testing::Test {
protected:
    void SetUp() override {
        g_watch = {120, 22, nullptr, nullptr};
        g_search = {120, 22, nullptr, nullptr};
        SetPaneFactories(WatchStandIn, SearchStandIn);
        RegisterContainerWindowClass();
        params_.hwndParent = host_.rebar();
    }
    void TearDown() override {
        if (container_) DestroyWindow(container_);
        SetPaneFactories(nullptr, nullptr);
    }
    HWND Create() {
        container_ = CreateContainerWindow(params_);
        return container_;
    }
    MINMAXINFO Reply() {
        MINMAXINFO info = {};
        info.ptReserved = {77, 88};
        SendMessageA(container_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        return info;
    }
    BandHost host_;
    BandCreateParams params_ = {};
    HWND container_ = nullptr;
};

void ExpectPlace(HWND pane, LONG x, LONG width, LONG height) {
    RECT rect = PlaceOf(pane);
    EXPECT_EQ(rect.left, x);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, height);
}

TEST_F(Container, LaysTwoPanesOutInOneRowAndReportsTheBandSize) {
    g_search.height = 20;  // the watch pane is the taller one
    g_watch.height = 22;
    ASSERT_NE(Create(), nullptr);
    EXPECT_EQ(g_watch.params, &params_);
    EXPECT_EQ(g_search.params, &params_);
    EXPECT_EQ(ContainerPane(container_, 0), g_watch.window);
    EXPECT_EQ(ContainerPane(container_, 1), g_search.window);
    EXPECT_EQ(ContainerPane(container_, 2), nullptr);
    EXPECT_TRUE(GetWindowLongA(g_watch.window, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongA(g_search.window, GWL_STYLE) & WS_VISIBLE);
    ExpectPlace(g_watch.window, 0, 120, 22);
    ExpectPlace(g_search.window, 123, 120, 22);

    MINMAXINFO info = Reply();
    EXPECT_EQ(info.ptMinTrackSize.x, 246);
    EXPECT_EQ(info.ptMinTrackSize.y, 22);
    EXPECT_EQ(info.ptMaxTrackSize.x, -1);
    EXPECT_EQ(info.ptMaxTrackSize.y, 22);
    EXPECT_EQ(info.ptMaxSize.x, 246);
    EXPECT_EQ(info.ptMaxSize.y, 22);
    EXPECT_EQ(info.ptMaxPosition.x, 0);
    EXPECT_EQ(info.ptMaxPosition.y, 0);
    EXPECT_EQ(info.ptReserved.x, 77);
    EXPECT_EQ(info.ptReserved.y, 88);
}

TEST_F(Container, ZeroWidthWatchPaneLeavesTheSearchPaneAtThree) {
    g_watch.width = 0;
    ASSERT_NE(Create(), nullptr);
    ExpectPlace(g_search.window, 3, 120, 22);
    EXPECT_EQ(Reply().ptMinTrackSize.x, 126);
}

TEST_F(Container, MissingPaneIsAnEmptySlot) {
    SetPaneFactories(NoPane, SearchStandIn);
    ASSERT_NE(Create(), nullptr);
    EXPECT_EQ(ContainerPane(container_, 0), nullptr);
    ExpectPlace(g_search.window, 3, 120, 22);
    MINMAXINFO info = Reply();
    EXPECT_EQ(info.ptMinTrackSize.x, 126);
    EXPECT_EQ(info.ptMinTrackSize.y, 22);
}

TEST_F(Container, PanesKeepTheirWidthsWhateverTheContainerWidth) {
    ASSERT_NE(Create(), nullptr);
    for (int width : {600, 100, 246, 10}) {
        MoveWindow(container_, 0, 0, width, 22, TRUE);
        ExpectPlace(g_watch.window, 0, 120, 22);
        ExpectPlace(g_search.window, 123, 120, 22);
    }
    // A pane that answers differently is laid out anew at the next WM_SIZE.
    g_watch.width = 80;
    g_search.height = 30;
    SendMessageA(container_, WM_SIZE, 0, MAKELPARAM(300, 30));
    ExpectPlace(g_watch.window, 0, 80, 30);
    ExpectPlace(g_search.window, 83, 120, 30);
}

TEST_F(Container, PanesGoWithTheContainer) {
    ASSERT_NE(Create(), nullptr);
    HWND window = container_;
    container_ = nullptr;
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(g_watch.window));
    EXPECT_FALSE(IsWindow(g_search.window));
    EXPECT_EQ(ContainerPane(window, 1), nullptr);
}

// The band itself on the stand-ins, as the DLL's band would be with its real panes.
TEST_F(Container, BandReportsTheRowAndActivatesTheSearchPane) {
    g_search.height = 20;
    LONG before = ModuleLockCount;
    IDeskBand* band = nullptr;
    ASSERT_EQ(BandObject::Create(nullptr, IID_IDeskBand, reinterpret_cast<void**>(&band)), S_OK);
    EXPECT_EQ(ModuleLockCount, before + 1);
    IObjectWithSite* withSite = nullptr;
    band->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    ASSERT_EQ(withSite->SetSite(static_cast<IInputObjectSite*>(&host_.site())), S_OK);
    // The panes saw the whole record while they were made.
    ASSERT_NE(g_watch.params, nullptr);
    DESKBANDINFO info = {};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_ACTUAL | DBIM_INTEGRAL;
    info.ptIntegral = {0, 5};
    ASSERT_EQ(band->GetBandInfo(0, DBIF_VIEWMODE_VERTICAL, &info), S_OK);
    EXPECT_EQ(info.ptMinSize.x, 246);
    EXPECT_EQ(info.ptMinSize.y, 22);
    EXPECT_EQ(info.ptMaxSize.x, -1);
    EXPECT_EQ(info.ptMaxSize.y, 22);
    EXPECT_EQ(info.ptActual.x, 246);
    EXPECT_EQ(info.ptActual.y, 22);
    EXPECT_EQ(info.ptIntegral.y, 5);

    SetForegroundWindow(host_.hostWindow());
    IInputObject* input = nullptr;
    band->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input));
    SetFocus(host_.hostWindow());
    EXPECT_EQ(input->UIActivateIO(FALSE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), host_.hostWindow());
    EXPECT_EQ(input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), g_search.window);
    EXPECT_EQ(input->HasFocusIO(), S_OK);
    // Once the search pane is gone, activation focuses nothing.
    DestroyWindow(g_search.window);
    SetFocus(host_.hostWindow());
    EXPECT_EQ(input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), host_.hostWindow());

    input->Release();
    band->CloseDW(0);
    withSite->SetSite(nullptr);
    withSite->Release();
    EXPECT_EQ(band->Release(), 0u);
    EXPECT_EQ(ModuleLockCount, before);
    EXPECT_EQ(host_.site().RefCount(), 1);
    EXPECT_EQ(host_.browser().RefCount(), 1);
}

}  // namespace
