#include "screenshot.h"

#include <fstream>

#include "handles.h"
#include "png.h"

namespace {

RECT AreaOf(const std::vector<HWND>& windows) {
    RECT area = {};
    for (const HWND window : windows) {
        RECT rect = {};
        if (GetWindowRect(window, &rect)) UnionRect(&area, &area, &rect);
    }
    const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    return area;
}

// Top-down rows of 32-bit blue, green, red, unused.
bool CaptureScreen(const RECT& area, std::vector<uint8_t>& bgrx) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const WindowDc screen(nullptr);
    const MemoryDc memory(screen.Get());
    const OwnedBitmap bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
    if (!screen.Get() || !memory.Get() || !bitmap.Get()) return false;
    {
        const Selection selected(memory.Get(), bitmap.Get());
        if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY)) return false;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bgrx.assign(static_cast<size_t>(width) * height * 4, 0);
    return GetDIBits(memory.Get(), bitmap.Get(), 0, height, bgrx.data(), &info, DIB_RGB_COLORS) == height;
}

}  // namespace

std::string SaveScreenshot(const std::vector<HWND>& windows, const std::string& path) {
    const RECT area = AreaOf(windows);
    if (IsRectEmpty(&area)) return "nothing of the windows is on the screen";
    std::vector<uint8_t> bgrx;
    if (!CaptureScreen(area, bgrx)) return "the screen could not be read";

    std::vector<uint8_t> rgb;
    rgb.reserve(bgrx.size() / 4 * 3);
    for (size_t i = 0; i < bgrx.size(); i += 4) {
        rgb.push_back(bgrx[i + 2]);
        rgb.push_back(bgrx[i + 1]);
        rgb.push_back(bgrx[i]);
    }
    const std::string png = EncodePng(area.right - area.left, area.bottom - area.top, rgb);
    std::ofstream file(path, std::ios::binary);
    file.write(png.data(), static_cast<std::streamsize>(png.size()));
    return file ? std::string() : "cannot write " + path;
}
