// The DirectDraw driver on Wine's DirectDraw and DirectInput: pixels read back from the X
// display, keys pressed on it, and seams that answer for the display mode and the surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/blit/blit.h"
#include "gfx/builtin_data.h"
#include "gfx/palette.h"
#include "gfx/screen.h"
#include "gfx/win32/ddraw_driver.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"
#include "tests/gfx/win32/test_window.h"

namespace {

constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t red = 0xFF0000;
constexpr uint32_t green = 0x00FF00;
constexpr uint32_t blue = 0x0000FF;

bool screenshots_available() {
    return host_tool_available("xwd") && host_tool_available("convert");
}

// A busy machine may run the window thread's passes far apart: waits poll for what a pass
// brings, up to a bound far beyond any pass.
template <typename Ready> bool wait_for(Ready ready) {
    for (int waited = 0; waited < 5000; waited += 20) {
        if (ready()) return true;
        Sleep(20);
    }
    return ready();
}

// The first screenshot in which a client point shows the colour, or the last one taken.
screenshot shoot_when(int32_t x, int32_t y, uint32_t colour) {
    screenshot shot;
    for (int attempt = 0; attempt < 15; ++attempt) {
        settle(150);
        shot = take_screenshot();
        if (shot.valid() && client_pixel(shot, x, y) == colour) break;
    }
    EXPECT_TRUE(shot.valid());
    return shot;
}

// Reads under the screen lock, as the program's thread would.
template <typename T> T locked(const T& value) {
    lock();
    T copy = value;
    unlock();
    return copy;
}

void mark_all_dirty() {
    std::memset(gfx_screen->dirty, 1, static_cast<size_t>(gfx_screen->height));
}

void fill32(uint32_t colour) {
    lock();
    auto* pixels = reinterpret_cast<uint32_t*>(gfx_screen->visible_buffer);
    for (int32_t i = 0; i < gfx_screen->width * gfx_screen->height; ++i)
        pixels[i] = colour;
    mark_all_dirty();
    unlock();
}

BOOL CALLBACK count_own_window(HWND window, LPARAM context) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) ++*reinterpret_cast<int32_t*>(context);
    return TRUE;
}

int32_t window_count() {
    int32_t count = 0;
    EnumWindows(count_own_window, reinterpret_cast<LPARAM>(&count));
    return count;
}

// What the display-mode seam was asked, and the one mode it accepts.
std::vector<display_mode_request> mode_requests;
display_mode_request accepted_mode{};

HRESULT answer_display_mode(const display_mode_request& request) {
    mode_requests.push_back(request);
    const bool accept = request.width == accepted_mode.width &&
                        request.height == accepted_mode.height &&
                        request.depth == accepted_mode.depth;
    return accept ? DD_OK : DDERR_INVALIDMODE;
}

// The requests as rows of width, height, depth and flags.
std::vector<std::array<uint32_t, 4>> requested_modes() {
    std::vector<std::array<uint32_t, 4>> rows;
    for (const display_mode_request& r : mode_requests)
        rows.push_back({static_cast<uint32_t>(r.width), static_cast<uint32_t>(r.height),
                        static_cast<uint32_t>(r.depth), r.flags});
    return rows;
}

class DdrawScreen : public testing::Test {
  protected:
    void TearDown() override {
        close_test_screen();
        display_mode_seam = nullptr;
    }
};

class DdrawPixels : public DdrawScreen {
  protected:
    void SetUp() override {
        if (!screenshots_available()) GTEST_SKIP() << "xwd or ImageMagick missing";
    }
};

TEST_F(DdrawPixels, ThirtyTwoBitScreenArrivesUnchangedAndThenOnlyItsDirtyLines) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    EXPECT_NE(ddraw_state.target_surface, ddraw_state.primary_surface);
    EXPECT_EQ(ddraw_state.y_offset, 0);
    lock();
    auto* pixels = reinterpret_cast<uint32_t*>(gfx_screen->visible_buffer);
    for (int32_t y = 0; y < 200; ++y)
        for (int32_t x = 0; x < 320; ++x)
            pixels[y * 320 + x] = x < 160 ? 0x00123456 : 0x00FF8000;
    mark_all_dirty();
    unlock();
    screenshot shot = shoot_when(0, 0, 0x123456);
    EXPECT_EQ(client_pixel(shot, 159, 199), 0x123456u);
    EXPECT_EQ(client_pixel(shot, 160, 0), 0xFF8000u);
    EXPECT_EQ(client_pixel(shot, 319, 199), 0xFF8000u);

    fill32(0x00FFFFFF);
    lock();
    std::memset(gfx_screen->dirty, 0, 200);
    gfx_screen->dirty[10] = 1;
    gfx_screen->dirty[150] = 1;
    unlock();
    shot = shoot_when(300, 150, white);
    EXPECT_EQ(client_pixel(shot, 100, 9), 0x123456u);
    EXPECT_EQ(client_pixel(shot, 100, 10), white);
    EXPECT_EQ(client_pixel(shot, 100, 11), 0x123456u); // unlike GDI, no span between dirty lines
    EXPECT_EQ(client_pixel(shot, 100, 150), white);
    EXPECT_EQ(client_pixel(shot, 319, 199), 0xFF8000u);
    EXPECT_EQ(locked(gfx_screen->dirty[10]), 0);
}

TEST_F(DdrawPixels, SixteenBitScreenIsExpandedIntoTheDisplayFormat) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 16), 0);
    lock();
    for (int32_t y = 0; y < 200; ++y) {
        auto* line =
            reinterpret_cast<uint16_t*>(gfx_screen->visible_buffer + y * gfx_screen->pitch);
        for (int32_t x = 0; x < 320; ++x)
            line[x] = x < 100 ? 0xF800 : x < 200 ? 0x07E0 : 0x001F;
    }
    mark_all_dirty();
    unlock();
    screenshot shot = shoot_when(50, 100, 0xF80000);
    // Five and six bits reach the top of their byte with zero low bits.
    EXPECT_EQ(client_pixel(shot, 50, 100), 0xF80000u);
    EXPECT_EQ(client_pixel(shot, 150, 100), 0x00FC00u);
    EXPECT_EQ(client_pixel(shot, 250, 100), 0x0000F8u);
}

TEST_F(DdrawPixels, AClientAreaOfAnotherSizeStretchesTheImage) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    lock();
    auto* pixels = reinterpret_cast<uint32_t*>(gfx_screen->visible_buffer);
    for (int32_t y = 0; y < 200; ++y)
        for (int32_t x = 0; x < 320; ++x)
            pixels[y * 320 + x] = (y >= 40 && y < 60) ? green : x < 160 ? red : blue;
    mark_all_dirty();
    unlock();
    RECT outer{0, 0, 640, 400};
    AdjustWindowRect(&outer, static_cast<DWORD>(GetWindowLongPtrA(window_state.hwnd, GWL_STYLE)),
                     FALSE);
    SetWindowPos(window_state.hwnd, nullptr, 0, 0, outer.right - outer.left,
                 outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
    screenshot shot = shoot_when(639, 399, blue);
    // Twice as wide and tall; the blit may filter, so only points away from the edges count.
    EXPECT_EQ(client_pixel(shot, 0, 0), red);
    EXPECT_EQ(client_pixel(shot, 300, 10), red);
    EXPECT_EQ(client_pixel(shot, 340, 10), blue);
    EXPECT_EQ(client_pixel(shot, 639, 399), blue);
    EXPECT_EQ(client_pixel(shot, 100, 70), red);
    EXPECT_EQ(client_pixel(shot, 100, 85), green); // rows 40 to 59 now fill 80 to 119
    EXPECT_EQ(client_pixel(shot, 500, 115), green);
    EXPECT_EQ(client_pixel(shot, 100, 130), red);
}

// Mode 13 on an 8-bit display: the lines are copied as indexes and the default palette, then a
// palette port write, reach the display through the DirectDraw palette.
TEST_F(DdrawPixels, ModeThirteenOnAnEightBitDisplayShowsTheDefaultPaletteThroughDirectDraw) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = 8;
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL)
        GTEST_SKIP() << "no 8-bit display mode";
    runtime_start();
    os_set_environment("QXGFX", "DirectX");
    ASSERT_EQ(screen_mode(13, 0, 1, 0, 0), 0);
    ASSERT_EQ(gfx_screen->driver, &directdraw_driver);
    EXPECT_NE(ddraw_state.ddraw_palette, nullptr);
    EXPECT_EQ(window_state.blitter, blit_copy_lines);
    // 16 x 16 cells of 20 x 12 pixels, the cell of row r and column c filled with index 16r + c.
    screen_lock();
    for (int32_t y = 0; y < 192; ++y)
        for (int32_t x = 0; x < 320; ++x)
            gfx_screen->visible_buffer[y * 320 + x] = static_cast<uint8_t>(y / 12 * 16 + x / 20);
    screen_unlock(0, -1);
    uint32_t expected[256];
    const uint8_t* rgb = palette256()->colors;
    for (int32_t i = 0; i < 256; ++i)
        expected[i] = uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
    auto wrong_cells = [&](const screenshot& shot) {
        std::vector<int32_t> wrong;
        for (int32_t index = 0; index < 256; ++index)
            if (client_pixel(shot, index % 16 * 20 + 10, index / 16 * 12 + 6) != expected[index])
                wrong.push_back(index);
        return wrong;
    };
    EXPECT_EQ(wrong_cells(shoot_when(10, 6, expected[0])), std::vector<int32_t>{});

    // Entry 1, dark blue by default, becomes pure red through the ports.
    ASSERT_EQ(port_write(0x3C8, 1), 0);
    for (int32_t v : {63, 0, 0})
        ASSERT_EQ(port_write(0x3C9, v), 0);
    expected[1] = red;
    EXPECT_EQ(wrong_cells(shoot_when(30, 6, red)), std::vector<int32_t>{});
    close_screen();
    os_set_environment("QXGFX", nullptr);
    ChangeDisplaySettingsA(nullptr, 0);
}

TEST_F(DdrawScreen, HeldKeysShowInKeyStateAndExtendedKeysAtTheirBaseScancode) {
    if (!host_tool_available("xdotool")) GTEST_SKIP() << "xdotool missing";
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    ASSERT_NE(ddraw_state.keyboard_device, nullptr);
    // Keys of the display go where the pointer is when no window manager gives the focus.
    SetForegroundWindow(window_state.hwnd);
    POINT inside = client_to_screen(20, 20);
    SetCursorPos(inside.x, inside.y);
    settle();
    const uint8_t* keys = gfx_screen->key_state;
    run_host_command("xdotool keydown a");
    EXPECT_TRUE(wait_for([&] { return locked(keys[30]) == 1; }));
    run_host_command("xdotool keyup a keydown Right");
    // 0xCD in the device's numbering.
    EXPECT_TRUE(wait_for([&] { return locked(keys[77]) == 1; }));
    EXPECT_EQ(locked(keys[30]), 0);
    run_host_command("xdotool keyup Right");
    EXPECT_TRUE(wait_for([&] { return locked(keys[77]) == 0; }));
}

TEST_F(DdrawScreen, FullscreenUsesATallerModeAndShowsTheImageCentred) {
    display_mode_seam = answer_display_mode;
    mode_requests.clear();
    accepted_mode = display_mode_request{1280, 1024, 32, 0, 0};
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 1280, 768, 24, fullscreen), 0);
    EXPECT_EQ(requested_modes(), (std::vector<std::array<uint32_t, 4>>{
                                     {1280, 768, 32, 0}, {1280, 768, 24, 0}, {1280, 1024, 32, 0}}));
    EXPECT_EQ(ddraw_state.y_offset, 128);
    EXPECT_EQ(ddraw_state.target_surface, ddraw_state.primary_surface);
    if (!screenshots_available()) return;
    // The display kept its own, larger mode: the image lands 128 rows down on it.
    fill32(0x00204080);
    screenshot shot = shoot_when(0, 128, 0x204080);
    EXPECT_EQ(shot.pixel(0, 128), 0x204080u);
    EXPECT_EQ(shot.pixel(1279, 128 + 767), 0x204080u);
    EXPECT_NE(shot.pixel(0, 127), 0x204080u);
    EXPECT_NE(shot.pixel(0, 128 + 768), 0x204080u);
}

TEST_F(DdrawScreen, FullscreenModeSearchFlagsStandardVgaAndGivesUpPast1024) {
    display_mode_seam = answer_display_mode;
    mode_requests.clear();
    accepted_mode = display_mode_request{320, 200, 8, 0, 0};
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 8, fullscreen), 0);
    EXPECT_EQ(requested_modes(),
              (std::vector<std::array<uint32_t, 4>>{{320, 200, 8, DDSDM_STANDARDVGAMODE}}));
    EXPECT_EQ(ddraw_state.y_offset, 0);
    close_test_screen();

    mode_requests.clear();
    accepted_mode = display_mode_request{};
    EXPECT_EQ(open_test_screen_on(directdraw_driver, 640, 480, 16, fullscreen), -1);
    EXPECT_EQ(requested_modes(), (std::vector<std::array<uint32_t, 4>>{{640, 480, 16, 0},
                                                                       {640, 480, 15, 0},
                                                                       {640, 600, 16, 0},
                                                                       {640, 600, 15, 0},
                                                                       {640, 768, 16, 0},
                                                                       {640, 768, 15, 0},
                                                                       {640, 1024, 16, 0},
                                                                       {640, 1024, 15, 0}}));
    EXPECT_EQ(FindWindowA("qxgfxclass_win32_tests", nullptr), nullptr);
}

TEST_F(DdrawScreen, RealFullscreenModeShowsTheFramebufferAndRestoresTheDesktop) {
    DEVMODEA desktop{};
    desktop.dmSize = sizeof desktop;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &desktop));
    const int32_t width = static_cast<int32_t>(desktop.dmPelsWidth);
    const int32_t height = static_cast<int32_t>(desktop.dmPelsHeight);
    ASSERT_EQ(open_test_screen_on(directdraw_driver, width, height, 32, fullscreen), 0);
    EXPECT_EQ(ddraw_state.y_offset, 0);
    if (screenshots_available()) {
        fill32(0x00336699);
        screenshot shot = shoot_when(0, 0, 0x336699);
        EXPECT_EQ(shot.pixel(0, 0), 0x336699u);
        EXPECT_EQ(shot.pixel(width - 1, height - 1), 0x336699u);
    }
    close_test_screen();
    DEVMODEA after{};
    after.dmSize = sizeof after;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &after));
    EXPECT_EQ(after.dmPelsWidth, desktop.dmPelsWidth);
    EXPECT_EQ(after.dmBitsPerPel, desktop.dmBitsPerPel);
}

// Every surface call the window thread makes, as "lost P", "restore T", "lock T", "blt P" (P
// the primary surface, T the off-screen one), and the answers it is given in place of some.
std::vector<std::string> surface_calls;
int32_t losses_to_report;
int32_t wrong_modes_to_report;

// Called by the window thread, inside window_lock or not.
HRESULT answer_surface(surface_call call, IDirectDrawSurface* surface) {
    static const char* const names[] = {"lost", "restore", "lock", "blt"};
    const bool primary = surface == ddraw_state.primary_surface;
    HRESULT answer = DD_OK;
    lock();
    surface_calls.push_back(std::string(names[static_cast<int>(call)]) + (primary ? " P" : " T"));
    if (call == surface_call::is_lost && losses_to_report > 0) {
        --losses_to_report;
        answer = DDERR_SURFACELOST;
    } else if (call == surface_call::restore && primary && wrong_modes_to_report > 0) {
        --wrong_modes_to_report;
        answer = DDERR_WRONGMODE;
    }
    unlock();
    return answer;
}

std::vector<FLASHWINFO> flashes;
BOOL WINAPI record_flash(PFLASHWINFO request) {
    flashes.push_back(*request);
    return TRUE;
}

class DdrawLostSurfaces : public DdrawScreen {
  protected:
    void SetUp() override { ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0); }
    void TearDown() override {
        lock();
        surface_seam = nullptr;
        unlock();
        DdrawScreen::TearDown();
    }
    // Lets the thread run with the seam in place; returns what it called.
    std::vector<std::string> run_passes(int32_t losses, int32_t wrong_modes) {
        lock();
        surface_calls.clear();
        losses_to_report = losses;
        wrong_modes_to_report = wrong_modes;
        surface_seam = answer_surface;
        unlock();
        // Enough for the loss, the copy and the blit after it.
        wait_for([] {
            lock();
            const size_t count = surface_calls.size();
            unlock();
            return count >= 12;
        });
        lock();
        surface_seam = nullptr;
        std::vector<std::string> calls = surface_calls;
        unlock();
        return calls;
    }
};

TEST_F(DdrawLostSurfaces, LostSurfacesAreRestoredBeforeTheNextLockAndBlit) {
    std::vector<std::string> calls = run_passes(1, 0);
    // The first check reports the loss: both surfaces are restored and checked again before
    // the copy locks the off-screen surface; the blit checks before it goes too.
    ASSERT_GE(calls.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 7),
              (std::vector<std::string>{"lost P", "restore T", "restore P", "lost P", "lock T",
                                        "lost P", "blt P"}));
    for (size_t i = 1; i < calls.size(); ++i) {
        if (calls[i] == "lock T" || calls[i] == "blt P") {
            EXPECT_EQ(calls[i - 1], "lost P") << i;
        }
    }
}

TEST_F(DdrawLostSurfaces, AChangedDisplayModeRecreatesThePresentationAndStopsTheFlashing) {
    const HWND before = window_state.hwnd;
    lock();
    flashes.clear();
    window_state.flash_window_ex = record_flash;
    unlock();
    std::vector<std::string> calls = run_passes(1, 1);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[2], "restore P");
    EXPECT_TRUE(IsWindow(window_state.hwnd));
    EXPECT_NE(window_state.hwnd, before);
    EXPECT_FALSE(IsWindow(before));
    ASSERT_EQ(flashes.size(), 1u);
    EXPECT_EQ(flashes[0].hwnd, window_state.hwnd);
    EXPECT_EQ(flashes[0].dwFlags, static_cast<DWORD>(FLASHW_STOP));
    // The new presentation shows the framebuffer again.
    if (!screenshots_available()) return;
    fill32(0x00445566);
    screenshot shot = shoot_when(10, 10, 0x445566);
    EXPECT_EQ(client_pixel(shot, 10, 10), 0x445566u);
}

// Each lock of the target and whether the vertical blank had been signalled by then.
std::vector<bool> locks_after_blank;
HRESULT record_lock(surface_call call, IDirectDrawSurface*) {
    if (call != surface_call::lock) return DD_OK;
    lock();
    locks_after_blank.push_back(WaitForSingleObject(ddraw_state.vsync_event, 0) == WAIT_OBJECT_0);
    unlock();
    return DD_OK;
}

TEST_F(DdrawScreen, WaitVsyncReturnsAndTheNextCopyFollowsTheBlank) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    directdraw_driver.wait_vsync();
    // The window thread is kept out while the request is made, so its next pass is the one
    // that serves it.
    lock();
    locks_after_blank.clear();
    surface_seam = record_lock;
    ResetEvent(ddraw_state.vsync_event);
    directdraw_driver.wait_vsync();
    EXPECT_EQ(ddraw_state.vsync_requested, 1);
    EXPECT_EQ(WaitForSingleObject(ddraw_state.vsync_event, 0), WAIT_OBJECT_0);
    unlock();
    EXPECT_TRUE(wait_for([] { return locked(locks_after_blank).size() > 0; }));
    lock();
    surface_seam = nullptr;
    EXPECT_EQ(ddraw_state.vsync_requested, 0);
    ASSERT_FALSE(locks_after_blank.empty());
    EXPECT_TRUE(locks_after_blank[0]);
    unlock();
}

// Wine's displays are 5:6:5 and red-high only; the other formats are checked as records.
TEST(DdrawDriver, DisplayFormatsNameTheirConversion) {
    struct case_row {
        DWORD bits, red, green;
        int32_t depth, rgb_order;
    };
    // clang-format off
    const case_row rows[] = {
        // bits  red mask  green mask  depth  rgb_order
        {8,      0,        0,          8,     0},
        {16,     0xF800,   0x7E0,      16,    0},
        {16,     0x7C00,   0x3E0,      15,    0},
        {16,     0x1F,     0x3E0,      15,    1},
        {16,     0x1F,     0x7E0,      16,    1},
        {24,     0xFF,     0xFF00,     24,    1},
        {32,     0xFF0000, 0xFF00,     32,    0},
        {32,     0xFF,     0xFF00,     32,    1},
    };
    // clang-format on
    for (const case_row& row : rows) {
        DDPIXELFORMAT format{};
        format.dwRGBBitCount = row.bits;
        format.dwRBitMask = row.red;
        format.dwGBitMask = row.green;
        const display_format display = display_format_of(format);
        EXPECT_EQ(display.depth, row.depth) << row.bits << " " << std::hex << row.red;
        EXPECT_EQ(display.rgb_order, row.rgb_order) << row.bits << " " << std::hex << row.red;
    }
}

TEST(DdrawDriver, OpenglAndShapedScreensAreRefused) {
    for (uint32_t flags : {opengl, shaped_window | no_switch | no_frame}) {
        EXPECT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32, flags), -1);
        EXPECT_EQ(window_state.hwnd, nullptr);
        EXPECT_FALSE(running_now());
        close_test_screen();
    }
}

TEST(DdrawDriver, FetchModesWithTheDriverClosedAndOpen) {
    DEVMODEA desktop{};
    desktop.dmSize = sizeof desktop;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &desktop));
    const int32_t desktop_mode =
        static_cast<int32_t>(desktop.dmPelsWidth * 65536 + desktop.dmPelsHeight);
    int32_t count = -1;
    int32_t* closed = ddraw_fetch_modes(32, &count);
    ASSERT_GT(count, 0);
    EXPECT_NE(std::find(closed, closed + count, desktop_mode), closed + count);
    int32_t count7 = -1;
    EXPECT_EQ(ddraw_fetch_modes(7, &count7), nullptr);
    EXPECT_EQ(count7, 0);

    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    int32_t open_count = -1;
    int32_t* open = ddraw_fetch_modes(32, &open_count);
    ASSERT_EQ(open_count, count);
    EXPECT_EQ(std::memcmp(open, closed, sizeof(int32_t) * static_cast<size_t>(count)), 0);
    close_test_screen();
    std::free(closed);
    std::free(open);
}

TEST(DdrawDriver, TwentyModeSetsInARowLeakNoHandleThreadOrWindow) {
    runtime_start();
    os_set_environment("QXGFX", "DirectX");
    ASSERT_EQ(screen_res(320, 200, 32, 1, 0, 0), 0);
    ASSERT_EQ(gfx_screen->driver, &directdraw_driver);
    close_screen();
    const int32_t threads_before = thread_count();
    const int32_t windows_before = window_count();
    DWORD handles_before = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles_before);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(screen_res(320, 200, i % 2 ? 16 : 32, 1, 0, 0), 0) << "round " << i;
        EXPECT_EQ(gfx_screen->driver, &directdraw_driver);
    }
    close_screen();
    os_set_environment("QXGFX", nullptr);
    DWORD handles_after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles_after);
    EXPECT_LE(handles_after, handles_before + 2);
    wait_for_thread_count(threads_before);
    EXPECT_EQ(thread_count(), threads_before);
    EXPECT_EQ(window_count(), windows_before);
    // Wine keeps ddraw.dll once loaded; dinput.dll goes with its last user.
    EXPECT_EQ(GetModuleHandleA("dinput.dll"), nullptr);
}

} // namespace
