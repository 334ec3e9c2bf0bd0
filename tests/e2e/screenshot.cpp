// Screen pixels to PNG: a BitBlt from the screen into a 24-bit DIB, written
// as an 8-bit RGB PNG with zlib.
#include <zlib.h>

#include <cstdio>
#include <memory>

#include "desktop.h"

namespace e2e {
namespace {

void PutBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
  PutBigEndian(png, static_cast<uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  png += typed;
  PutBigEndian(png, static_cast<uint32_t>(
                        crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
}

// rows: top-down RGB triples.
bool WritePng(const std::wstring& path, int width, int height, const std::string& rows) {
  uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()), 6) != Z_OK) {
    return false;
  }
  packed.resize(packedSize);
  std::string header;
  PutBigEndian(header, static_cast<uint32_t>(width));
  PutBigEndian(header, static_cast<uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
  std::string png("\x89PNG\r\n\x1a\n", 8);
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", "");
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool written = fwrite(png.data(), 1, png.size(), file) == png.size();
  return fclose(file) == 0 && written;
}

}  // namespace

bool SaveScreenshot(const RECT& rect, const std::wstring& pngPath) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool saved = false;
  if (bitmap && memory) {
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    const int stride = (width * 3 + 3) & ~3;
    std::string rows;
    rows.reserve(static_cast<size_t>(height) * (width * 3 + 1));
    for (int y = 0; y < height; ++y) {
      rows += '\0';  // no filter
      const auto* line = static_cast<const unsigned char*>(bits) + static_cast<size_t>(y) * stride;
      for (int x = 0; x < width; ++x) {  // BGR to RGB
        rows += static_cast<char>(line[x * 3 + 2]);
        rows += static_cast<char>(line[x * 3 + 1]);
        rows += static_cast<char>(line[x * 3]);
      }
    }
    SelectObject(memory, previous);
    saved = WritePng(pngPath, width, height, rows);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

bool SaveWindowShot(HWND window, const std::wstring& pngPath) {
  RECT rect{};
  return GetWindowRect(window, &rect) && SaveScreenshot(rect, pngPath);
}

bool SaveScreenShot(const std::wstring& pngPath) {
  return SaveScreenshot({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, pngPath);
}

}  // namespace e2e
