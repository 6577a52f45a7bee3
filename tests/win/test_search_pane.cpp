// The search pane as the container creates it: the definitions it reads from the module's
// pelorin.ini, Enter in its edit box, focus reports to the input-object site, its size report
// and layout, and its destruction.
#include <gtest/gtest.h>
#include <windows.h>
#include <shobjidl.h>

#include "band/band_create_params.h"
#include "module/module.h"
#include "recording_browser.h"
#include "search/search_pane.h"
#include "support/shell_open.h"
#include "support/test_env.h"

namespace {

// The pane reads ConfigPath(), which module start-up resolves; the tests start the module as
// the DLL's entry point does, once, with this program as the module, then write the file
// where it says.
class ModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ModuleStart(GetModuleHandleA(nullptr)); }
    void TearDown() override { ModuleStop(); }
};
const auto* const kModule = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

// An input-object site that records the focus changes it is told about.
class RecordingSite : public IInputObjectSite {
public:
    struct Change {
        IUnknown* object;
        BOOL focus;
    };
    std::vector<Change> changes;
    LONG RefCount() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IInputObjectSite) {
            *ppv = static_cast<IInputObjectSite*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown* object, BOOL focus) override {
        changes.push_back({object, focus});
        return S_OK;
    }

private:
    LONG refs_ = 1;
};

// Stands for the band object: the pane only passes its address on.
class FakeBand : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
};

const char kParentClass[] = "PelorinSearchPaneTestParent";

// pelorin.ini where the module looks for it, put back as it was afterwards.
class ConfigFile {
public:
    ConfigFile() : path_(ConfigPath()) {
        existed_ = GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (existed_) saved_ = ReadBytes(path_);
    }
    ~ConfigFile() {
        if (existed_) {
            WriteBytes(path_, saved_);
        } else {
            DeleteFileA(path_.c_str());
        }
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
    }
    void Write(const std::string& bytes) {
        WriteBytes(path_, bytes);
        // The profile reader keeps the file it read last; make it read this one.
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
    }

private:
    std::string path_;
    bool existed_ = false;
    std::string saved_;
};

class SearchPane : public ::testing::Test {
protected:
    // One host window for all the tests: a top-level window is the slow part of a test
    // under Wine, and the panes need only a parent.
    static void SetUpTestSuite() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kParentClass;
        RegisterClassA(&wc);
        parent_ = CreateWindowExA(0, kParentClass, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 120,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(parent_);
        PumpMessages(20);
    }
    static void TearDownTestSuite() { DestroyWindow(parent_); }

    void SetUp() override {
        ASSERT_FALSE(ConfigPath().empty());
        ASSERT_TRUE(parent_);
        SetForegroundWindow(parent_);
        SetFocus(parent_);
        config_.Write("[search]\r\nurl1=U\r\nform1=q=\r\n");
    }
    void TearDown() override {
        if (pane_ && IsWindow(pane_)) DestroyWindow(pane_);
        PumpMessages(10);
        EXPECT_EQ(browser_.RefCount(), 1);
        EXPECT_EQ(site_.RefCount(), 1);
        EXPECT_EQ(band_.refs, 1u);
    }

    // Creates the pane the way the container does, then shows it and gives it a size.
    HWND CreatePane(bool withBrowser = true, bool withSite = true) {
        BandCreateParams params = {&band_, parent_, withBrowser ? &browser_ : nullptr,
                                   withSite ? &site_ : nullptr};
        pane_ = CreateSearchPane(parent_, &params);
        if (!pane_) return nullptr;
        edit_ = FindWindowExA(pane_, nullptr, "Edit", nullptr);
        ShowWindow(pane_, SW_SHOWNA);
        MoveWindow(pane_, 0, 0, 240, 24, TRUE);
        return pane_;
    }

    // A key-down offered the way a host does: translated (which queues the character it
    // makes), then dispatched.
    void KeyDown(HWND target, WPARAM key, bool repeat = false) {
        MSG msg = {};
        msg.hwnd = target;
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        msg.lParam = 1 | (static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16) |
                     (repeat ? (1L << 30) : 0);
        msg.time = GetTickCount();
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    std::string EditText() {
        char text[1024] = "";
        GetWindowTextA(edit_, text, sizeof text);
        return text;
    }

    std::vector<std::string> Urls() {
        std::vector<std::string> urls;
        for (const NavigateCall& call : browser_.navigations) urls.push_back(call.url);
        return urls;
    }

    ConfigFile config_;
    RecordingBrowser browser_;
    RecordingSite site_;
    FakeBand band_;
    static HWND parent_;
    HWND pane_ = nullptr;
    HWND edit_ = nullptr;
};

HWND SearchPane::parent_ = nullptr;

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(SearchPane, IsAHiddenChildOfClassPelorinSearchWithOneEditBox) {
    BandCreateParams params = {&band_, parent_, &browser_, &site_};
    pane_ = CreateSearchPane(parent_, &params);
    ASSERT_TRUE(pane_);
    char name[64] = "";
    GetClassNameA(pane_, name, sizeof name);
    EXPECT_STREQ(name, "Pelorin-Search");
    GetWindowTextA(pane_, name, sizeof name);
    EXPECT_STREQ(name, "SEARCH");
    EXPECT_EQ(GetParent(pane_), parent_);
    LONG style = GetWindowLongA(pane_, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VISIBLE),
              WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    // Placed over the container's client area.
    RECT pane = {}, parent = {};
    GetClientRect(pane_, &pane);
    GetClientRect(parent_, &parent);
    EXPECT_EQ(pane.right, parent.right);
    EXPECT_EQ(pane.bottom, parent.bottom);

    HWND edit = FindWindowExA(pane_, nullptr, "Edit", nullptr);
    ASSERT_TRUE(edit);
    EXPECT_EQ(GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(GetWindowLongA(edit, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_MULTILINE),
              WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(edit, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
    // The pane holds one reference on each of the browser and the site, none on the band.
    EXPECT_EQ(browser_.RefCount(), 2);
    EXPECT_EQ(site_.RefCount(), 2);
    EXPECT_EQ(band_.refs, 1u);
    // A second pane registers the class again and is created all the same.
    HWND second = CreateSearchPane(parent_, &params);
    EXPECT_TRUE(second);
    DestroyWindow(second);
}

TEST_F(SearchPane, TypingAndEnterSubmitTheTextOncePerKeyDownAutoRepeatIncluded) {
    ASSERT_TRUE(CreatePane());
    SetFocus(edit_);
    ASSERT_EQ(GetFocus(), edit_);
    // Real key strokes through the input queue, as a user types them.
    INPUT keys[4] = {};
    WORD vks[2] = {'A', 'B'};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = vks[i / 2];
        keys[i].ki.dwFlags = (i % 2) ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(SendInput(4, keys, sizeof(INPUT)), 4u);
    ASSERT_TRUE(PumpUntil([&] { return EditText() == "ab"; }, 5000)) << EditText();

    KeyDown(edit_, VK_RETURN);
    KeyDown(edit_, VK_RETURN, true);
    KeyDown(edit_, VK_RETURN, true);
    PumpMessages(50);
    EXPECT_EQ(Urls(), (Strings{"U?q=%61%62", "U?q=%61%62", "U?q=%61%62"}));
    // Neither the box nor the focus changed, and no Enter character reached the box.
    EXPECT_EQ(EditText(), "ab");
    EXPECT_EQ(GetFocus(), edit_);
}

TEST_F(SearchPane, EnterFromTheKeyboardSubmitsThroughTheInputQueue) {
    ASSERT_TRUE(CreatePane());
    SetFocus(edit_);
    SetWindowTextA(edit_, "a b");
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
    ASSERT_TRUE(PumpUntil([&] { return !browser_.navigations.empty(); }, 5000));
    PumpMessages(50);
    EXPECT_EQ(Urls(), (Strings{"U?q=%61%20%62"}));
    EXPECT_EQ(EditText(), "a b");
}

TEST_F(SearchPane, CharactersStillQueuedAreDiscardedWithTheEnter) {
    ASSERT_TRUE(CreatePane());
    SetWindowTextA(edit_, "abc");
    PostMessageA(edit_, WM_CHAR, 'x', 1);
    PostMessageA(edit_, WM_CHAR, 'y', 1);
    KeyDown(edit_, VK_RETURN);
    PumpMessages(50);
    EXPECT_EQ(Urls(), (Strings{"U?q=%61%62%63"}));
    EXPECT_EQ(EditText(), "abc");
    // Characters typed after the Enter are the box's again.
    SendMessageA(edit_, EM_SETSEL, 3, 3);
    PostMessageA(edit_, WM_CHAR, 'z', 1);
    PumpMessages(50);
    EXPECT_EQ(EditText(), "abcz");
}

TEST_F(SearchPane, LongTextSubmitsItsFirst259BytesAndEmptyTextSubmitsNothingTyped) {
    ASSERT_TRUE(CreatePane());
    SetWindowTextA(edit_, std::string(300, 'x').c_str());
    KeyDown(edit_, VK_RETURN);
    SetWindowTextA(edit_, "");
    KeyDown(edit_, VK_RETURN);
    std::string expected = "U?q=";
    for (int i = 0; i < 259; ++i) expected += "%78";
    EXPECT_EQ(Urls(), (Strings{expected, "U?q="}));
}

TEST_F(SearchPane, DoubleByteTextIsSubmittedInCodePage932) {
    config_.Write("[search]\r\nurl1=http://e.test/\r\ncond1=eng\r\nurl2=http://j.test/\r\ncond2=jpn\r\nform2=q=\r\n");
    ASSERT_TRUE(CreatePane());
    SetWindowTextA(edit_, "\x8C\x9F\x8D\xF5 a");  // 検索 a
    KeyDown(edit_, VK_RETURN);
    EXPECT_EQ(Urls(), (Strings{"http://j.test/?q=%8C%9F%8D%F5%20%61"}));
}

TEST_F(SearchPane, TypedJapaneseReachesTheBoxWhole) {
    ASSERT_TRUE(CreatePane());
    SetFocus(edit_);
    // As an input method types it: one UTF-16 character, 検 (U+691C)...
    SendMessageW(edit_, WM_CHAR, 0x691C, 1);
    // ...and as a code page 932 program does: the two bytes of 索 (0x8D 0xF5), one after
    // the other.
    SendMessageA(edit_, WM_CHAR, 0x8D, 1);
    SendMessageA(edit_, WM_CHAR, 0xF5, 1);
    // A half-width katakana is one byte of its own: ｱ (0xB1).
    SendMessageA(edit_, WM_CHAR, 0xB1, 1);
    EXPECT_EQ(EditText(), "\x8C\x9F\x8D\xF5\xB1");
}

TEST_F(SearchPane, DefinitionsAreReadOnceWhenThePaneIsCreated) {
    config_.Write("[search]\r\nurl1=http://first.test/\r\nmethod1=post\r\nform1=k=\r\n");
    ASSERT_TRUE(CreatePane());
    config_.Write("[search]\r\nurl1=http://changed.test/\r\n");
    SetWindowTextA(edit_, "a");
    KeyDown(edit_, VK_RETURN);
    ASSERT_EQ(browser_.navigations.size(), 1u);
    EXPECT_EQ(browser_.navigations[0].url, "http://first.test/");
    EXPECT_EQ(browser_.navigations[0].postData, "k=%61");
}

TEST_F(SearchPane, NoDefinitionsMeansEnterSubmitsToNothing) {
    config_.Write("[watch]\r\ninterval=60\r\n");
    MessageBoxCatcher boxes;
    ASSERT_TRUE(CreatePane());
    SetWindowTextA(edit_, "a");
    KeyDown(edit_, VK_RETURN);
    PumpMessages(100);
    EXPECT_TRUE(browser_.navigations.empty());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(SearchPane, WithoutBrowserGetOpensThroughTheShellAndPostIsRefused) {
    config_.Write("[search]\r\nurl1=http://search.test/p\r\nmethod1=post\r\nurl2=http://search.test/g\r\nform2=q=\r\n");
    ShellOpenRecorder shell;
    MessageBoxCatcher boxes;
    ASSERT_TRUE(CreatePane(false, false));
    SetWindowTextA(edit_, "ab");
    KeyDown(edit_, VK_RETURN);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    ASSERT_TRUE(shell.WaitFor(1, 10000));
    EXPECT_EQ(shell.Opened(), (Strings{"http://search.test/g?q=%61%62"}));
}

TEST_F(SearchPane, FocusInAndOutOfTheEditBoxReachesTheInputSite) {
    ASSERT_TRUE(CreatePane());
    SetFocus(parent_);
    site_.changes.clear();
    // Focus given to the pane goes on to its edit box.
    SetFocus(pane_);
    EXPECT_EQ(GetFocus(), edit_);
    SetFocus(parent_);
    ASSERT_EQ(site_.changes.size(), 2u);
    EXPECT_EQ(site_.changes[0].object, &band_);
    EXPECT_EQ(site_.changes[0].focus, TRUE);
    EXPECT_EQ(site_.changes[1].object, &band_);
    EXPECT_EQ(site_.changes[1].focus, FALSE);
    // Other notifications of the edit box (text changes) tell the site nothing.
    SetWindowTextA(edit_, "changed");
    SendMessageA(pane_, WM_COMMAND, MAKEWPARAM(0, EN_UPDATE), reinterpret_cast<LPARAM>(edit_));
    EXPECT_EQ(site_.changes.size(), 2u);
}

TEST_F(SearchPane, WithoutInputSiteFocusChangesAreNotReported) {
    ASSERT_TRUE(CreatePane(true, false));
    SetFocus(edit_);
    SetFocus(parent_);
    EXPECT_TRUE(site_.changes.empty());
    EXPECT_EQ(site_.RefCount(), 1);
}

TEST_F(SearchPane, SizeReportFollowsTheFontAndTheEditFrame) {
    ASSERT_TRUE(CreatePane());
    HDC dc = GetDC(edit_);
    HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(edit_, dc);
    LONG h = metrics.tmHeight;
    ASSERT_GT(h, 0);
    RECT window = {}, client = {};
    GetWindowRect(edit_, &window);
    GetClientRect(edit_, &client);
    LRESULT margins = SendMessageA(edit_, EM_GETMARGINS, 0, 0);
    LONG extraWidth = (window.right - window.left) - client.right + LOWORD(margins);
    LONG extraHeight = (window.bottom - window.top) - client.bottom + HIWORD(margins);

    MINMAXINFO info;
    memset(&info, 0x5A, sizeof info);
    EXPECT_EQ(SendMessageA(pane_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.ptMaxSize.x, 10 * h);
    EXPECT_EQ(info.ptMaxSize.y, h + extraHeight);
    EXPECT_EQ(info.ptMaxPosition.x, 0);
    EXPECT_EQ(info.ptMaxPosition.y, 0);
    EXPECT_EQ(info.ptMinTrackSize.x, 3 * h + extraWidth);
    EXPECT_EQ(info.ptMinTrackSize.y, h + extraHeight);
    EXPECT_EQ(info.ptMaxTrackSize.x, -1);
    EXPECT_EQ(info.ptMaxTrackSize.y, h + extraHeight);
    EXPECT_EQ(info.ptReserved.x, 0x5A5A5A5A);  // not written
    // A client-edge frame is two pixels on each side.
    EXPECT_GE(extraHeight, 4);
}

TEST_F(SearchPane, EditBoxIsCentredVerticallyAtFullWidth) {
    ASSERT_TRUE(CreatePane());
    MINMAXINFO info = {};
    SendMessageA(pane_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    int h = info.ptMinTrackSize.y;
    auto editRect = [&] {
        RECT r = {};
        GetWindowRect(edit_, &r);
        MapWindowPoints(HWND_DESKTOP, pane_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    struct Case {
        int width, height;
    } cases[] = {{200, h + 6}, {333, h + 7}, {150, h}, {90, 10}};
    for (const Case& c : cases) {
        MoveWindow(pane_, 0, 0, c.width, c.height, TRUE);
        RECT r = editRect();
        int top = (c.height - h) / 2;  // toward zero: a pane lower than the box gets a negative top
        EXPECT_EQ(r.left, 0) << c.width << "x" << c.height;
        EXPECT_EQ(r.top, top) << c.width << "x" << c.height;
        EXPECT_EQ(r.right - r.left, c.width) << c.width << "x" << c.height;
        EXPECT_EQ(r.bottom - r.top, h) << c.width << "x" << c.height;
    }
    if (h > 10) {
        MoveWindow(pane_, 0, 0, 90, 10, TRUE);
        EXPECT_LT(editRect().top, 0);
    }
}

namespace {
HWND g_hookedPane = nullptr;
LRESULT g_sizeBeforeCreate = -1;
bool g_sawCreate = false;
LRESULT CALLBACK SizeBeforeCreateHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_CREATE && !g_sawCreate) {
        char name[64] = "";
        GetClassNameA(call->hwnd, name, sizeof name);
        if (strcmp(name, "Pelorin-Search") == 0) {
            g_sawCreate = true;
            g_hookedPane = call->hwnd;
            g_sizeBeforeCreate = SendMessageA(call->hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 30));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

TEST_F(SearchPane, SizeBeforeCreateMovesNothingAndAnswersZero) {
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, SizeBeforeCreateHook, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    g_sawCreate = false;
    ASSERT_TRUE(CreatePane());
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(g_sawCreate);
    EXPECT_EQ(g_hookedPane, pane_);
    EXPECT_EQ(g_sizeBeforeCreate, 0);
    // The pane was created normally after it.
    SetWindowTextA(edit_, "a");
    KeyDown(edit_, VK_RETURN);
    EXPECT_EQ(Urls(), (Strings{"U?q=%61"}));
}

namespace {
HWND g_watchedEdit = nullptr;
int g_editEndMessages = 0;
int g_editEndsThroughPaneProc = 0;
LRESULT CALLBACK EditEndHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == g_watchedEdit &&
        (call->message == WM_DESTROY || call->message == WM_NCDESTROY)) {
        ++g_editEndMessages;
        LONG_PTR proc = GetWindowLongPtrA(call->hwnd, GWLP_WNDPROC);
        LONG_PTR data = GetWindowLongPtrA(call->hwnd, GWLP_USERDATA);
        if (proc == reinterpret_cast<LONG_PTR>(SearchPaneProc) || data != 0) ++g_editEndsThroughPaneProc;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

TEST_F(SearchPane, DestroyedWithFocusInsideItReportsTheLossAndEndsItsEditBoxCleanly) {
    ASSERT_TRUE(CreatePane());
    SetFocus(edit_);
    site_.changes.clear();
    g_watchedEdit = edit_;
    g_editEndMessages = g_editEndsThroughPaneProc = 0;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, EditEndHook, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    DestroyWindow(pane_);
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(IsWindow(pane_));
    EXPECT_FALSE(IsWindow(edit_));
    // The edit box's last messages went to its own procedure, with no record left in it.
    EXPECT_EQ(g_editEndMessages, 2);
    EXPECT_EQ(g_editEndsThroughPaneProc, 0);
    ASSERT_EQ(site_.changes.size(), 1u);
    EXPECT_EQ(site_.changes[0].focus, FALSE);
    EXPECT_EQ(browser_.RefCount(), 1);
    EXPECT_EQ(site_.RefCount(), 1);
    // The focus left the destroyed windows.
    EXPECT_NE(GetFocus(), edit_);
}

namespace {
HWND g_paneToClose = nullptr;
void CALLBACK ClosePaneDuringBox(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_paneToClose) DestroyWindow(g_paneToClose);
    g_paneToClose = nullptr;
}
}  // namespace

TEST_F(SearchPane, ClosedWhileItsMessageBoxIsUpTheSubmissionStillFinishes) {
    // The taskbar closes the band while a refusal is on the screen: the message box's own
    // loop destroys the pane, and the submission must go on with what it had.
    config_.Write(
        "[search]\r\nurl1=http://search.test/p1\r\nmethod1=post\r\n"
        "url2=http://search.test/p2\r\nmethod2=post\r\nurl3=http://search.test/g\r\n");
    ShellOpenRecorder shell;
    ASSERT_TRUE(CreatePane(false, true));
    SetWindowTextA(edit_, "a");
    g_paneToClose = pane_;
    SetTimer(nullptr, 0, 10, ClosePaneDuringBox);
    {
        // Closed slowly enough that the timer fires inside the first box's loop.
        MessageBoxCatcher boxes;
        Sleep(0);
        KeyDown(edit_, VK_RETURN);
        EXPECT_EQ(boxes.Boxes().size(), 2u);
    }
    EXPECT_EQ(g_paneToClose, nullptr);
    EXPECT_FALSE(IsWindow(pane_));
    ASSERT_TRUE(shell.WaitFor(1, 10000));
    EXPECT_EQ(shell.Opened(), (Strings{"http://search.test/g?%61"}));
    EXPECT_EQ(site_.RefCount(), 1);
}

TEST_F(SearchPane, ManyCreateAndCloseCyclesLeakNothing) {
    // One cycle first, so that what is made once per process (the class, the edit control's
    // own set-up) is not counted as a leak.
    ASSERT_TRUE(CreatePane());
    SetFocus(edit_);
    DestroyWindow(pane_);
    PumpMessages(20);
    ProcessFootprint before = MeasureFootprint();
    std::vector<HWND> windows;
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(CreatePane());
        windows.push_back(pane_);
        windows.push_back(edit_);
        SetFocus(edit_);
        SetWindowTextA(edit_, "abc");
        KeyDown(edit_, VK_RETURN);
        MINMAXINFO info = {};
        SendMessageA(pane_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        DestroyWindow(pane_);
    }
    PumpMessages(20);
    for (HWND window : windows) EXPECT_FALSE(IsWindow(window));
    // What the test itself recorded is its memory, not the pane's.
    size_t navigations = browser_.navigations.size();
    std::vector<NavigateCall>().swap(browser_.navigations);
    std::vector<RecordingSite::Change>().swap(site_.changes);
    std::vector<HWND>().swap(windows);
    ProcessFootprint after = MeasureFootprint();
    PrintFootprints(before, after);
    EXPECT_EQ(after.probe, before.probe);
    // Less than 16 bytes a cycle: an edit box left without its own WM_NCDESTROY keeps
    // hundreds, and a pane's record with its definitions more.
    EXPECT_LT(after.processHeapBytes, before.processHeapBytes + 200 * 16);
    EXPECT_LT(after.runtimeHeapBytes, before.runtimeHeapBytes + 200 * 16);
    EXPECT_EQ(FindWindowExA(parent_, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(navigations, 200u);
    EXPECT_EQ(browser_.RefCount(), 1);
    EXPECT_EQ(site_.RefCount(), 1);
    EXPECT_EQ(band_.refs, 1u);
}

namespace {
LRESULT CALLBACK RefuseEditBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        const char* name = create->lpcs->lpszClass;
        if (!IS_INTRESOURCE(name) && _stricmp(name, "Edit") == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

TEST_F(SearchPane, WithoutItsEditBoxThePaneIsNotCreatedAndGivesEverythingBack) {
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseEditBoxes, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    BandCreateParams params = {&band_, parent_, &browser_, &site_};
    HWND pane = CreateSearchPane(parent_, &params);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(pane, nullptr);
    EXPECT_EQ(FindWindowExA(parent_, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(browser_.RefCount(), 1);
    EXPECT_EQ(site_.RefCount(), 1);
}

TEST_F(SearchPane, CreationRecordWithNothingInItGivesAWorkingPane) {
    config_.Write("[search]\r\nurl1=http://search.test/\r\nform1=q=\r\n");
    BandCreateParams params = {nullptr, parent_, nullptr, nullptr};
    pane_ = CreateSearchPane(parent_, &params);
    ASSERT_TRUE(pane_);
    edit_ = FindWindowExA(pane_, nullptr, "Edit", nullptr);
    ShowWindow(pane_, SW_SHOWNA);
    MoveWindow(pane_, 0, 0, 240, 24, TRUE);
    ShellOpenRecorder shell;
    SetFocus(edit_);
    SetWindowTextA(edit_, "a");
    KeyDown(edit_, VK_RETURN);
    ASSERT_TRUE(shell.WaitFor(1, 10000));
    EXPECT_EQ(shell.Opened(), (Strings{"http://search.test/?q=%61"}));
}
