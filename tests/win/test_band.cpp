// The band as a browser drives it: created through COM after regsvr32 registered it, sited
// by the band host, sized, shown, offered keys and closed; every reference comes back.
#include <gtest/gtest.h>
#include <windows.h>
#include <shobjidl.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "band_host.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

const CLSID kPelorband = {0x408EA957, 0xCF17, 0x4D81, {0x93, 0xAB, 0xFD, 0xDA, 0x7A, 0xCD, 0xA9, 0x0F}};

// DllCanUnloadNow of the DLL that COM loaded into this process (S_OK when none is loaded).
// A closed band's watch worker may still be finishing a fetch; it ends by itself, and only
// then may the library go.
bool UnloadableSoon() {
    return PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 10000);
}

template <typename T>
T* Query(IUnknown* object, REFIID riid) {
    T* face = nullptr;
    if (FAILED(object->QueryInterface(riid, reinterpret_cast<void**>(&face)))) return nullptr;
    return face;
}

std::string ClassOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

IDeskBand* NewBand() {
    IDeskBand* band = nullptr;
    EXPECT_EQ(CoCreateInstance(kPelorband, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                               reinterpret_cast<void**>(&band)),
              S_OK);
    return band;
}

HRESULT SetSiteOf(IDeskBand* band, IUnknown* site) {
    IObjectWithSite* withSite = Query<IObjectWithSite>(band, IID_IObjectWithSite);
    if (!withSite) return E_NOINTERFACE;
    HRESULT hr = withSite->SetSite(site);
    withSite->Release();
    return hr;
}

class BandInHost : public ::testing::Test {
protected:
    void TearDown() override {
        // Whatever a test made is released: the host's site and browser hold their own
        // single reference again, and the DLL may be unloaded.
        host.CloseBand();
        EXPECT_EQ(host.site().RefCount(), 1);
        EXPECT_EQ(host.browser().RefCount(), 1);
        EXPECT_TRUE(UnloadableSoon());
    }
    BandHost host;
};

TEST_F(BandInHost, IsCreatedShownSizedAndClosedAsABrowserDoes) {
    ASSERT_EQ(host.CreateBand(), S_OK);
    HWND window = host.bandWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ClassOf(window), "Pelorin");
    char title[32] = "";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Pelorin");
    EXPECT_EQ(GetParent(window), host.rebar());
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN), WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(SendMessageA(host.rebar(), RB_GETBANDCOUNT, 0, 0), 1);
    EXPECT_EQ(LoadedDllCanUnloadNow(), S_FALSE);

    // The host asked with every bit: no title, the host's colour, mode flags 0, the
    // integral step left alone, and a band that stretches without limit.
    const DESKBANDINFO& info = host.bandInfo();
    EXPECT_EQ(info.dwMask, static_cast<DWORD>(DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_MODEFLAGS));
    EXPECT_EQ(info.dwModeFlags, static_cast<DWORD>(DBIMF_NORMAL));
    EXPECT_EQ(info.ptIntegral.x, 1);
    EXPECT_EQ(info.ptIntegral.y, 1);
    EXPECT_EQ(info.ptMaxSize.x, -1);
    EXPECT_EQ(info.ptMinSize.x, info.ptActual.x);
    EXPECT_EQ(info.ptMinSize.y, info.ptMaxSize.y);

    IDeskBand* band = host.band();
    EXPECT_EQ(band->ShowDW(FALSE), S_OK);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(band->ShowDW(TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(window));

    host.CloseBand();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(host.band(), nullptr);
}

TEST_F(BandInHost, AnswersItsInterfaceTable) {
    IDeskBand* band = NewBand();
    ASSERT_NE(band, nullptr);
    IUnknown* unknown = Query<IUnknown>(band, IID_IUnknown);
    IDockingWindow* docking = Query<IDockingWindow>(band, IID_IDockingWindow);
    IOleWindow* oleWindow = Query<IOleWindow>(band, IID_IOleWindow);
    IInputObject* input = Query<IInputObject>(band, IID_IInputObject);
    IPersist* persist = Query<IPersist>(band, IID_IPersist);
    IPersistStream* stream = Query<IPersistStream>(band, IID_IPersistStream);
    IObjectWithSite* withSite = Query<IObjectWithSite>(band, IID_IObjectWithSite);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(band));
    EXPECT_EQ(static_cast<void*>(docking), static_cast<void*>(band));
    EXPECT_EQ(static_cast<void*>(oleWindow), static_cast<void*>(band));
    EXPECT_EQ(static_cast<void*>(persist), static_cast<void*>(stream));
    ASSERT_NE(input, nullptr);
    ASSERT_NE(stream, nullptr);
    ASSERT_NE(withSite, nullptr);
    EXPECT_NE(static_cast<void*>(input), static_cast<void*>(band));
    EXPECT_NE(static_cast<void*>(withSite), static_cast<void*>(stream));

    for (const IID* other : {&IID_IDispatch, &IID_IClassFactory, &IID_IServiceProvider, &IID_IPersistStreamInit}) {
        void* face = reinterpret_cast<void*>(1);
        EXPECT_EQ(band->QueryInterface(*other, &face), E_NOINTERFACE);
        EXPECT_EQ(face, nullptr);
    }

    // Nothing persists; the operations the band does not offer say so.
    CLSID clsid = {};
    EXPECT_EQ(stream->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, kPelorband);
    EXPECT_EQ(stream->IsDirty(), S_FALSE);
    EXPECT_EQ(stream->Load(nullptr), S_OK);
    EXPECT_EQ(stream->Save(nullptr, TRUE), S_OK);
    ULARGE_INTEGER size = {};
    EXPECT_EQ(stream->GetSizeMax(&size), E_FAIL);
    EXPECT_EQ(band->ContextSensitiveHelp(TRUE), E_NOTIMPL);
    EXPECT_EQ(band->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);

    // Before any site: no window, no size, and nothing to close.
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(band->GetWindow(&window), S_OK);
    EXPECT_EQ(window, nullptr);
    DESKBANDINFO info = {};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_ACTUAL | DBIM_TITLE | DBIM_BKCOLOR;
    info.ptMinSize = {7, 7};
    EXPECT_EQ(band->GetBandInfo(0, 0, &info), S_OK);
    EXPECT_EQ(info.ptMinSize.x, 0);
    EXPECT_EQ(info.ptMaxSize.y, 0);
    EXPECT_EQ(info.dwMask, static_cast<DWORD>(DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_ACTUAL));
    EXPECT_EQ(band->GetBandInfo(0, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(band->CloseDW(0), S_OK);
    IUnknown* site = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, reinterpret_cast<void**>(&site)), E_FAIL);
    EXPECT_EQ(site, nullptr);
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, nullptr), E_POINTER);

    for (IUnknown* face : std::vector<IUnknown*>{unknown, docking, oleWindow, input, persist, stream, withSite}) {
        face->Release();
    }
    EXPECT_EQ(band->Release(), 0u);
}

TEST_F(BandInHost, SiteWithoutAWindowGetsNoBand) {
    IDeskBand* band = NewBand();
    ASSERT_NE(band, nullptr);
    HostSite windowless(host.rebar(), &host.browser(), false);
    EXPECT_EQ(SetSiteOf(band, static_cast<IInputObjectSite*>(&windowless)), E_FAIL);
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(band->GetWindow(&window), S_OK);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(FindWindowExA(host.rebar(), nullptr, "Pelorin", nullptr), nullptr);
    // The site stays stored all the same.
    IObjectWithSite* withSite = Query<IObjectWithSite>(band, IID_IObjectWithSite);
    IInputObjectSite* site = nullptr;
    EXPECT_EQ(withSite->GetSite(IID_IInputObjectSite, reinterpret_cast<void**>(&site)), S_OK);
    EXPECT_EQ(site, static_cast<IInputObjectSite*>(&windowless));
    site->Release();
    withSite->Release();
    EXPECT_EQ(host.browser().RefCount(), 1);  // released before SetSite returned
    EXPECT_EQ(band->Release(), 0u);
    EXPECT_EQ(windowless.RefCount(), 1);
}

TEST_F(BandInHost, BrowserWithoutToolbarsGetsNoBand) {
    host.browser().toolBar = 0;
    EXPECT_EQ(host.CreateBand(), E_FAIL);
    EXPECT_EQ(host.band(), nullptr);
    EXPECT_EQ(FindWindowExA(host.rebar(), nullptr, "Pelorin", nullptr), nullptr);
    host.browser().toolBar = 1;
}

TEST(BandInTaskbar, GetsAWindowWithoutABrowser) {
    BandHost taskbar(HostMode::Taskbar);
    ASSERT_EQ(taskbar.CreateBand(), S_OK);
    EXPECT_TRUE(IsWindow(taskbar.bandWindow()));
    EXPECT_EQ(taskbar.browser().RefCount(), 1);  // nobody ever got it
    taskbar.CloseBand();
    EXPECT_EQ(taskbar.site().RefCount(), 1);
    EXPECT_TRUE(UnloadableSoon());
}

TEST_F(BandInHost, UnsitingKeepsTheWindowAndClosingTwiceIsHarmless) {
    ASSERT_EQ(host.CreateBand(), S_OK);
    HWND window = host.bandWindow();
    IDeskBand* band = host.band();
    // The band lets go of its site; the panes keep the input-object site they copied until
    // their windows go.
    LONG sited = host.site().RefCount();
    EXPECT_EQ(SetSiteOf(band, nullptr), S_OK);
    EXPECT_EQ(host.site().RefCount(), sited - 1);
    EXPECT_TRUE(IsWindow(window));
    HWND current = nullptr;
    EXPECT_EQ(band->GetWindow(&current), S_OK);
    EXPECT_EQ(current, window);
    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_EQ(band->GetWindow(&current), S_OK);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(band->ShowDW(TRUE), S_OK);
}

TEST_F(BandInHost, SecondSiteClosesTheFirstWindow) {
    ASSERT_EQ(host.CreateBand(), S_OK);
    HWND first = host.bandWindow();
    BandHost other(HostMode::Taskbar);
    EXPECT_EQ(SetSiteOf(host.band(), static_cast<IInputObjectSite*>(&other.site())), S_OK);
    HWND second = nullptr;
    host.band()->GetWindow(&second);
    EXPECT_FALSE(IsWindow(first));
    ASSERT_TRUE(IsWindow(second));
    EXPECT_EQ(GetParent(second), other.rebar());
    EXPECT_EQ(host.site().RefCount(), 1);  // the first site was released
    host.CloseBand();
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(other.site().RefCount(), 1);
}

// A band site that removes a band only lets go of it: no CloseDW, no SetSite(NULL). The
// band is sited in the host, its watch pane's first pass (the built-in item, served by the
// fixture) runs to its end, and the caller then makes the last Release.
class ReleasedWithoutClosing : public BandInHost {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        RemoveAppDataIni();  // the built-in item alone
        unsited_ = host.site().RefCount();
        int hits = ToolbarPageHits();
        band_ = NewBand();
        ASSERT_NE(band_, nullptr);
        ASSERT_EQ(SetSiteOf(band_, static_cast<IInputObjectSite*>(&host.site())), S_OK);
        ASSERT_EQ(band_->GetWindow(&window_), S_OK);
        ASSERT_TRUE(IsWindow(window_));
        toolbar_ = FindWatchToolbar(window_);
        ASSERT_NE(toolbar_, nullptr);
        ASSERT_TRUE(PumpUntil([&] {
            int image = ButtonImageAt(toolbar_, 0);
            return ToolbarPageHits() > hits && (image == kChanged || image == kSeen);
        }, 10000)) << "the first pass did not end";
        // The band and both panes hold the site now.
        ASSERT_GE(host.site().RefCount(), unsited_ + 3);
    }
    void TearDown() override {
        if (band_) band_->Release();  // a test that stopped early
        BandInHost::TearDown();
    }
    static int ToolbarPageHits() { return std::atoi(FixtureGet("/_ctl/hits/toolbar/").body.c_str()); }
    // Nothing of the band is left: its windows, its references on the site, its hold on the
    // library.
    void ExpectNothingLeft() {
        EXPECT_FALSE(IsWindow(window_));
        EXPECT_FALSE(IsWindow(toolbar_));
        EXPECT_EQ(FindWindowExA(host.rebar(), nullptr, "Pelorin", nullptr), nullptr);
        EXPECT_EQ(host.site().RefCount(), unsited_);
        EXPECT_TRUE(UnloadableSoon());
    }

    static constexpr int kChanged = 2;
    static constexpr int kSeen = 3;
    IDeskBand* band_ = nullptr;
    HWND window_ = nullptr;
    HWND toolbar_ = nullptr;
    LONG unsited_ = 0;
};

TEST_F(ReleasedWithoutClosing, OnItsOwnThreadLeavesNothingBehind) {
    IDeskBand* band = band_;
    band_ = nullptr;
    EXPECT_EQ(band->Release(), 0u);
    ExpectNothingLeft();
}

struct ForeignRelease {
    IDeskBand* band;
    ULONG result;
};

DWORD WINAPI ReleaseOnThisThread(void* param) {
    auto* release = static_cast<ForeignRelease*>(param);
    release->result = release->band->Release();
    return 0;
}

// A host that breaks the apartment's rule and makes the last Release on another thread:
// the window is still closed by its own thread, which answers while it pumps.
TEST_F(ReleasedWithoutClosing, OnAnotherThreadLeavesNothingBehind) {
    ForeignRelease release = {band_, 99};
    band_ = nullptr;
    HANDLE thread = CreateThread(nullptr, 0, ReleaseOnThisThread, &release, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 10000));
    CloseHandle(thread);
    EXPECT_EQ(release.result, 0u);
    ExpectNothingLeft();
}

// A window that records the keys dispatched to it.
std::vector<std::pair<UINT, WPARAM>> g_received;
LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR) g_received.emplace_back(message, wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class KeyOffers : public BandInHost {
protected:
    void SetUp() override {
        ASSERT_EQ(host.CreateBand(), S_OK);
        input_ = Query<IInputObject>(host.band(), IID_IInputObject);
        ASSERT_NE(input_, nullptr);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecorderProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KeyRecorder";
        RegisterClassA(&wc);
        recorder_ = CreateWindowExA(0, "KeyRecorder", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, host.bandWindow(),
                                    nullptr, wc.hInstance, nullptr);
        edit_ = CreateWindowExA(0, "EDIT", "some text", WS_CHILD | WS_VISIBLE, 10, 0, 100, 20, host.bandWindow(),
                                nullptr, wc.hInstance, nullptr);
        g_received.clear();
    }
    void TearDown() override {
        SetCtrl(false);
        input_->Release();
        BandInHost::TearDown();
    }
    static void SetCtrl(bool down) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = down ? 0x80 : 0;
        keys[VK_LCONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    HRESULT Offer(HWND target, UINT message, WPARAM key) {
        MSG msg = {target, message, key, 1};
        return input_->TranslateAcceleratorIO(&msg);
    }
    IInputObject* input_ = nullptr;
    HWND recorder_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(KeyOffers, EditingKeysAreDispatchedToTheirTarget) {
    const WPARAM keys[] = {VK_RETURN, VK_BACK, VK_DELETE, VK_END, VK_HOME, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN};
    for (WPARAM key : keys) {
        g_received.clear();
        EXPECT_EQ(Offer(recorder_, WM_KEYDOWN, key), S_OK) << key;
        ASSERT_FALSE(g_received.empty()) << key;
        EXPECT_EQ(g_received[0], std::make_pair(static_cast<UINT>(WM_KEYDOWN), key));
        g_received.clear();
        EXPECT_EQ(Offer(recorder_, WM_KEYUP, key), S_OK) << key;
        EXPECT_EQ(g_received.size(), 1u) << key;
    }
    // Backspace reaches the edit box as its own key, and deletes there.
    SendMessageA(edit_, EM_SETSEL, 9, 9);
    EXPECT_EQ(Offer(edit_, WM_KEYDOWN, VK_BACK), S_OK);
    PumpMessages(50);
    char text[32] = "";
    GetWindowTextA(edit_, text, sizeof text);
    EXPECT_STREQ(text, "some tex");
}

TEST_F(KeyOffers, OtherKeysAreLeftToTheHost) {
    for (WPARAM key : {static_cast<WPARAM>(VK_TAB), static_cast<WPARAM>(VK_ESCAPE), static_cast<WPARAM>(VK_PRIOR),
                       static_cast<WPARAM>(VK_F5), static_cast<WPARAM>('A'), static_cast<WPARAM>('C')}) {
        EXPECT_EQ(Offer(recorder_, WM_KEYDOWN, key), S_FALSE) << key;
    }
    EXPECT_EQ(Offer(recorder_, WM_CHAR, 'a'), S_FALSE);
    EXPECT_EQ(Offer(recorder_, WM_CHAR, VK_BACK), S_FALSE);
    EXPECT_EQ(Offer(recorder_, WM_SYSKEYDOWN, VK_BACK), S_FALSE);
    EXPECT_TRUE(g_received.empty());
    EXPECT_EQ(input_->TranslateAcceleratorIO(nullptr), E_INVALIDARG);
}

TEST_F(KeyOffers, CtrlKeysForTheEditBox) {
    SetCtrl(true);
    ASSERT_TRUE(GetKeyState(VK_CONTROL) & 0x8000);
    SendMessageA(edit_, EM_SETSEL, 2, 2);
    // Ctrl+A up does nothing, down selects all of the target's text.
    EXPECT_EQ(Offer(edit_, WM_KEYUP, 'A'), S_OK);
    DWORD start = 0, end = 0;
    SendMessageA(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(end, 2u);
    EXPECT_EQ(Offer(edit_, WM_KEYDOWN, 'A'), S_OK);
    SendMessageA(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 9u);

    for (WPARAM key : {'C', 'V', 'X', 'Z'}) {
        g_received.clear();
        EXPECT_EQ(Offer(recorder_, WM_KEYDOWN, key), S_OK) << key;
        ASSERT_FALSE(g_received.empty());
        EXPECT_EQ(g_received[0], std::make_pair(static_cast<UINT>(WM_KEYDOWN), key));
    }
    g_received.clear();
    EXPECT_EQ(Offer(recorder_, WM_KEYDOWN, 'B'), S_FALSE);
    EXPECT_EQ(Offer(recorder_, WM_KEYDOWN, VK_TAB), S_FALSE);
    EXPECT_TRUE(g_received.empty());
}

TEST_F(KeyOffers, HostDispatchesWhatTheBandLeaves) {
    MSG tab = {recorder_, WM_KEYDOWN, VK_TAB, 1};
    EXPECT_EQ(host.DeliverKey(tab), S_FALSE);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0], std::make_pair(static_cast<UINT>(WM_KEYDOWN), static_cast<WPARAM>(VK_TAB)));
    g_received.clear();
    MSG enter = {recorder_, WM_KEYDOWN, VK_RETURN, 1};
    EXPECT_EQ(host.DeliverKey(enter), S_OK);
    EXPECT_EQ(g_received.size(), 1u);  // dispatched once, by the band
}

TEST_F(KeyOffers, FocusCountsAnywhereInsideTheContainer) {
    SetForegroundWindow(host.hostWindow());
    SetActiveWindow(host.hostWindow());
    HWND outside = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, host.hostWindow(), nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    SetFocus(edit_);
    ASSERT_EQ(GetFocus(), edit_);
    EXPECT_EQ(input_->HasFocusIO(), S_OK);
    SetFocus(host.bandWindow());
    EXPECT_EQ(input_->HasFocusIO(), S_OK);
    SetFocus(outside);
    ASSERT_EQ(GetFocus(), outside);
    EXPECT_EQ(input_->HasFocusIO(), S_FALSE);
    // Activation focuses the search pane, which passes the focus on to its edit box.
    EXPECT_EQ(input_->UIActivateIO(TRUE, nullptr), S_OK);
    HWND search = FindSearchPane(host.bandWindow());
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(GetParent(GetFocus()), search);
    EXPECT_EQ(input_->HasFocusIO(), S_OK);
    DestroyWindow(outside);
}

}  // namespace
