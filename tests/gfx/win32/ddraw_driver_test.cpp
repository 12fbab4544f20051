// The DirectDraw driver on Wine's DirectDraw and DirectInput: pixels read back from the X
// display, keys pressed on it, and seams that answer for the display mode and the surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
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
#include "tests/gfx/win32/ddraw_seams.h"
#include "tests/gfx/win32/test_window.h"

namespace {

constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t red = 0xFF0000;
constexpr uint32_t green = 0x00FF00;
constexpr uint32_t blue = 0x0000FF;

bool screenshots_available() {
    return host_tool_available("xwd") && host_tool_available("convert");
}

// The first screenshot in which a client point shows the colour, or the last one taken.
template <typename Shows> screenshot shoot_until(Shows shows) {
    screenshot shot;
    for (int attempt = 0; attempt < 15; ++attempt) {
        settle(150);
        shot = take_screenshot();
        if (shot.valid() && shows(shot)) break;
    }
    EXPECT_TRUE(shot.valid());
    return shot;
}

screenshot shoot_when(int32_t x, int32_t y, uint32_t colour) {
    return shoot_until([=](const screenshot& shot) { return client_pixel(shot, x, y) == colour; });
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

class DdrawScreen : public DdrawTest {};

class DdrawPixels : public DdrawScreen {
  protected:
    void SetUp() override {
        DdrawScreen::SetUp();
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

// Fills rows of the off-screen surface behind the driver's back: only a blit that takes those
// rows shows them.
void fill_surface_rows(int32_t top, int32_t bottom, uint32_t colour) {
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    RECT rows{0, top, window_state.width, bottom};
    ASSERT_EQ(ddraw_state.target_surface->Lock(&rows, &description, DDLOCK_WAIT, nullptr), DD_OK);
    auto* memory = static_cast<uint8_t*>(description.lpSurface);
    for (int32_t y = 0; y < bottom - top; ++y)
        for (int32_t x = 0; x < window_state.width; ++x)
            reinterpret_cast<uint32_t*>(memory + y * description.lPitch)[x] = colour;
    ddraw_state.target_surface->Unlock(memory);
}

void fill_line32(int32_t y, uint32_t colour) {
    auto* line = reinterpret_cast<uint32_t*>(gfx_screen->visible_buffer + y * gfx_screen->pitch);
    for (int32_t x = 0; x < gfx_screen->width; ++x)
        line[x] = colour;
    gfx_screen->dirty[y] = 1;
}

TEST_F(DdrawPixels, APassBlitsItsDirtyRowsAloneAndAPaintBlitsTheWholeSurface) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    fill32(0x00123456);
    shoot_when(319, 199, 0x123456);
    fill_surface_rows(0, 50, blue);
    lock();
    for (int32_t y = 100; y < 110; ++y)
        fill_line32(y, white);
    unlock();
    screenshot shot = shoot_when(0, 100, white);
    EXPECT_EQ(client_pixel(shot, 10, 49), 0x123456u); // the band's blit took no other row
    EXPECT_EQ(client_pixel(shot, 10, 50), 0x123456u);
    EXPECT_EQ(client_pixel(shot, 10, 99), 0x123456u);
    EXPECT_EQ(client_pixel(shot, 319, 109), white);
    EXPECT_EQ(client_pixel(shot, 10, 110), 0x123456u);

    InvalidateRect(window_state.hwnd, nullptr, FALSE);
    shot = shoot_when(10, 49, blue);
    EXPECT_EQ(client_pixel(shot, 0, 0), blue);
    EXPECT_EQ(client_pixel(shot, 319, 49), blue);
    EXPECT_EQ(client_pixel(shot, 10, 50), 0x123456u);
    EXPECT_EQ(client_pixel(shot, 10, 105), white);
}

// Dirties line 150 once, just before the window thread locks the band it measured.
std::atomic<bool> dirty_line_at_lock;
HRESULT dirty_line_150(ddraw_call call, void*) {
    if (call != ddraw_call::lock || !dirty_line_at_lock.exchange(false)) return DD_OK;
    lock();
    fill_line32(150, white);
    unlock();
    return DD_OK;
}

TEST_F(DdrawPixels, ALineDirtiedOutsideTheLockedBandWaitsForTheNextPass) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    fill32(0x00123456);
    shoot_when(319, 199, 0x123456);
    lock();
    dirty_line_at_lock = true;
    ddraw_seam = dirty_line_150;
    fill_line32(10, white);
    unlock();
    screenshot shot = shoot_when(0, 150, white);
    EXPECT_FALSE(dirty_line_at_lock);
    EXPECT_EQ(client_pixel(shot, 0, 10), white);
    EXPECT_EQ(client_pixel(shot, 0, 150), white);
    EXPECT_EQ(client_pixel(shot, 0, 149), 0x123456u);
    EXPECT_EQ(client_pixel(shot, 0, 151), 0x123456u);
    EXPECT_EQ(locked(gfx_screen->dirty[150]), 0);
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
    if (!screenshots_available()) GTEST_SKIP() << "xwd or ImageMagick missing";
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
    expect_nothing_open();
}

// The desktop's size at 16 bits, a mode that Wine really sets.
TEST_F(DdrawScreen, RealFullscreenModeShowsTheFramebufferAndRestoresTheDesktop) {
    DEVMODEA desktop{};
    desktop.dmSize = sizeof desktop;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &desktop));
    ASSERT_EQ(desktop.dmBitsPerPel, 32u);
    const int32_t width = static_cast<int32_t>(desktop.dmPelsWidth);
    const int32_t height = static_cast<int32_t>(desktop.dmPelsHeight);
    ASSERT_EQ(open_test_screen_on(directdraw_driver, width, height, 16, fullscreen), 0);
    EXPECT_EQ(ddraw_state.y_offset, 0);
    DEVMODEA during{};
    during.dmSize = sizeof during;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &during));
    EXPECT_EQ(during.dmBitsPerPel, 16u);
    if (screenshots_available()) {
        lock();
        auto* pixels = reinterpret_cast<uint16_t*>(gfx_screen->visible_buffer);
        std::fill(pixels, pixels + width * height, uint16_t{0x001F});
        mark_all_dirty();
        unlock();
        // A 16-bit display widens five bits of blue in its own way.
        screenshot shot =
            shoot_until([](const screenshot& s) { return near_colour(s.pixel(0, 0), blue); });
        EXPECT_TRUE(near_colour(shot.pixel(0, 0), blue)) << std::hex << shot.pixel(0, 0);
        EXPECT_TRUE(near_colour(shot.pixel(width - 1, height - 1), blue));
    }
    close_test_screen();
    DEVMODEA after{};
    after.dmSize = sizeof after;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &after));
    EXPECT_EQ(after.dmPelsWidth, desktop.dmPelsWidth);
    EXPECT_EQ(after.dmBitsPerPel, 32u);
}

// Every surface call the window thread has made since the recording began.
std::vector<std::string> surface_calls() {
    std::vector<std::string> calls = recorded_calls();
    calls.erase(std::remove_if(calls.begin(), calls.end(),
                               [](const std::string& c) {
                                   return c.size() < 2 || (c.back() != 'P' && c.back() != 'T');
                               }),
                calls.end());
    return calls;
}

std::vector<FLASHWINFO> flashes;
BOOL WINAPI record_flash(PFLASHWINFO request) {
    flashes.push_back(*request);
    return TRUE;
}

class DdrawLostSurfaces : public DdrawScreen {
  protected:
    void SetUp() override {
        DdrawScreen::SetUp();
        ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    }
    // Lets the thread run with the losses answered; returns the surface calls it made.
    std::vector<std::string> run_passes(int32_t losses, int32_t wrong_modes) {
        start_recording(
            {{"lost P", DDERR_SURFACELOST, losses}, {"restore P", DDERR_WRONGMODE, wrong_modes}});
        // Enough for the loss, the copy and the blit after it.
        wait_for([] { return surface_calls().size() >= 12; });
        stop_recording();
        return surface_calls();
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
    if (!screenshots_available()) GTEST_SKIP() << "xwd or ImageMagick missing";
    fill32(0x00445566);
    screenshot shot = shoot_when(10, 10, 0x445566);
    EXPECT_EQ(client_pixel(shot, 10, 10), 0x445566u);
}

TEST_F(DdrawLostSurfaces, RestoredSurfacesAreRepaintedWholeAndCleanPassesOnlyCheckForALoss) {
    const bool pixels = screenshots_available();
    if (pixels) {
        fill32(0x00123456);
        shoot_when(319, 199, 0x123456);
    }
    // Lines changed behind the driver's back: only a repaint of every line shows them.
    lock();
    auto* framebuffer = reinterpret_cast<uint32_t*>(gfx_screen->visible_buffer);
    for (int32_t i = 0; i < 320 * 200; ++i)
        framebuffer[i] = 0x00654321;
    unlock();
    std::vector<std::string> calls = run_passes(1, 0);
    ASSERT_GE(calls.size(), 12u);
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 4, calls.begin() + 7),
              (std::vector<std::string>{"lock T", "lost P", "blt P"}));
    EXPECT_EQ(std::count(calls.begin() + 7, calls.end(), "lost P"),
              static_cast<std::ptrdiff_t>(calls.size() - 7));
    if (!pixels) GTEST_SKIP() << "xwd or ImageMagick missing";
    screenshot shot = shoot_when(319, 199, 0x654321);
    EXPECT_EQ(client_pixel(shot, 0, 0), 0x654321u);
    EXPECT_EQ(client_pixel(shot, 319, 199), 0x654321u);
}

// At each lock of the target: whether a vertical blank was still requested.
std::vector<int32_t> requests_at_lock;
HRESULT record_lock(ddraw_call call, void*) {
    if (call != ddraw_call::lock) return DD_OK;
    lock();
    requests_at_lock.push_back(ddraw_state.vsync_requested);
    unlock();
    return DD_OK;
}

TEST_F(DdrawScreen, TheWindowThreadWaitsForTheBlankAndThenCopies) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    directdraw_driver.wait_vsync();
    // Nothing is dirty: only the blank makes a pass copy.
    ASSERT_TRUE(wait_for([] { return locked(gfx_screen->dirty[0]) == 0; }));
    // A wait on an auto-reset event takes its signal, so the event shows afterwards whether the
    // window thread waited for the blank. The thread is kept out while the blank comes.
    lock();
    const HANDLE own_event = ddraw_state.vsync_event;
    ddraw_state.vsync_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    requests_at_lock.clear();
    ddraw_seam = record_lock;
    directdraw_driver.wait_vsync();
    EXPECT_EQ(ddraw_state.vsync_requested, 1);
    unlock();
    EXPECT_TRUE(wait_for([] { return locked(requests_at_lock).size() > 0; }));
    lock();
    ddraw_seam = nullptr;
    EXPECT_EQ(ddraw_state.vsync_requested, 0);
    EXPECT_EQ(WaitForSingleObject(ddraw_state.vsync_event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_FALSE(requests_at_lock.empty());
    EXPECT_EQ(requests_at_lock[0], 0);
    CloseHandle(ddraw_state.vsync_event);
    ddraw_state.vsync_event = own_event;
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

TEST_F(DdrawScreen, OpenglAndShapedScreensAreRefused) {
    for (uint32_t flags : {opengl, shaped_window | no_switch | no_frame}) {
        EXPECT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32, flags), -1);
        EXPECT_EQ(window_state.hwnd, nullptr);
        EXPECT_FALSE(running_now());
        close_test_screen();
    }
}

// The DirectDraw object each mode list was read from.
std::vector<void*> listed_by;
void record_lister(const std::string& name, void* subject) {
    if (name == "modes") listed_by.push_back(subject);
}

TEST_F(DdrawScreen, FetchModesWithTheDriverClosedAndOpen) {
    DEVMODEA desktop{};
    desktop.dmSize = sizeof desktop;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &desktop));
    const int32_t desktop_mode =
        static_cast<int32_t>(desktop.dmPelsWidth * 65536 + desktop.dmPelsHeight);
    listed_by.clear();
    start_recording({}, record_lister);
    int32_t count = -1;
    int32_t* closed = ddraw_fetch_modes(32, &count);
    ASSERT_GT(count, 0);
    EXPECT_NE(std::find(closed, closed + count, desktop_mode), closed + count);
    int32_t count7 = -1;
    EXPECT_EQ(ddraw_fetch_modes(7, &count7), nullptr);
    EXPECT_EQ(count7, 0);
    // Closed, an object of its own, released with its library.
    ASSERT_EQ(listed_by.size(), 2u);
    EXPECT_NE(listed_by[0], nullptr);
    EXPECT_EQ(ddraw_references(), 0);

    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    const int32_t driver_references = ddraw_references();
    int32_t open_count = -1;
    int32_t* open = ddraw_fetch_modes(32, &open_count);
    // Open, the driver's own.
    ASSERT_EQ(listed_by.size(), 3u);
    EXPECT_EQ(listed_by[2], ddraw_state.direct_draw);
    EXPECT_EQ(ddraw_references(), driver_references);
    ASSERT_EQ(open_count, count);
    EXPECT_EQ(std::memcmp(open, closed, sizeof(int32_t) * static_cast<size_t>(count)), 0);
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
    // Threads of the first screen may still have been ending when they were counted: fewer now
    // is no leak.
    wait_for_thread_count(threads_before);
    EXPECT_LE(thread_count(), threads_before);
    EXPECT_EQ(window_count(), windows_before);
    // Wine keeps ddraw.dll once loaded; dinput.dll goes with its last user.
    EXPECT_EQ(GetModuleHandleA("dinput.dll"), nullptr);
}

} // namespace
