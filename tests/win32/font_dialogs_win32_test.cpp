// The font selection dialog and the font view on a display, driven through
// their real controls.
#include "ui/win32/font_dialogs_win32.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "document/image_loading.h"
#include "image/bios_image.h"
#include "ui/control_ids.h"
#include "win32/window_driving.h"

namespace varnel {
namespace {

using namespace ui;
using namespace test;

// What the font selection dialog looked like when it opened.
struct SelectSeen {
  std::vector<std::string> lines;
  int selection = 0;
  bool okEnabled = true;
  bool okEnabledAfterAction = false;
};

struct FontSelectCase {
  const char* name;
  std::function<void(HWND)> act;  // ends the dialog
  int expected;
  bool okEnabledAfterAction;
};

TEST(Win32FontDialogs, SelectionListsTheFontsAndReturnsTheChosenLine) {
  const CpiFontEntry entries[] = {{850, 8, 16, 100}, {437, 8, 16, 5000}, {865, 8, 16, 9000}};
  const auto list = [](HWND dialog) { return GetDlgItem(dialog, kIdFontList); };
  const auto postKey = [](HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
  };
  const FontSelectCase cases[] = {
      {"second line, OK",
       [&](HWND d) {
         clickLine(list(d), 1);
         click(d, kIdOk);
       },
       1, true},
      {"line chosen, then Cancel",
       [&](HWND d) {
         clickLine(list(d), 2);
         click(d, kIdCancel);
       },
       -1, true},
      {"Enter before any line, then Escape",
       [&](HWND d) {
         SetFocus(list(d));
         postKey(list(d), VK_RETURN);
         postKey(list(d), VK_ESCAPE);
       },
       -1, false},
      {"Enter once a line is chosen",
       [&](HWND d) {
         clickLine(list(d), 0);
         postKey(list(d), VK_RETURN);
       },
       0, true},
      {"Down from no line, then OK",
       [&](HWND d) {
         SetFocus(list(d));
         pressKey(list(d), VK_DOWN);
         click(d, kIdOk);
       },
       0, true},
      {"close box", [&](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, -1, false},
  };
  for (const FontSelectCase& c : cases) {
    SCOPED_TRACE(c.name);
    SelectSeen seen;
    int chosen = -2;
    whileModal(
        L"Select font...",
        [&](HWND dialog) {
          const HWND lines = list(dialog);
          const int count = static_cast<int>(SendMessageW(lines, LB_GETCOUNT, 0, 0));
          for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            SendMessageW(lines, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            seen.lines.push_back(toUtf8(text));
          }
          seen.selection = static_cast<int>(SendMessageW(lines, LB_GETCURSEL, 0, 0));
          seen.okEnabled = IsWindowEnabled(GetDlgItem(dialog, kIdOk)) != FALSE;
          c.act(dialog);
          seen.okEnabledAfterAction = IsWindowEnabled(GetDlgItem(dialog, kIdOk)) != FALSE;
        },
        [&] { chosen = win32ui::runFontSelectDialog(nullptr, entries, 3, {}); });
    EXPECT_EQ(seen.lines,
              (std::vector<std::string>{"CodePage 850, 8x16 font", "CodePage 437, 8x16 font",
                                        "CodePage 865, 8x16 font"}));
    EXPECT_EQ(seen.selection, LB_ERR);
    EXPECT_FALSE(seen.okEnabled);
    EXPECT_EQ(seen.okEnabledAfterAction, c.okEnabledAfterAction);
    EXPECT_EQ(chosen, c.expected);
  }
}

// The sample image, copied beside this program by the build.
BiosImage sampleImage() {
  const std::vector<uint8_t> bytes = readBytes(programFolder() + L"sample.rom");
  BiosImage image;
  std::copy(bytes.begin(), bytes.end(), image.bytes.begin());
  image.length = static_cast<int32_t>(bytes.size());
  return image;
}

// Records where the font view's painting puts black pixels and white boxes.
class RecordingCanvas : public PixelCanvas {
 public:
  std::set<std::pair<int, int>> black;
  std::vector<RECT> boxes;
  void setPixel(int x, int y, int size) override {
    for (int dy = 0; dy < size; ++dy) {
      for (int dx = 0; dx < size; ++dx)
        black.insert({x + dx, y + dy});
    }
  }
  void fillBackground(int x, int y, int width, int height) override {
    boxes.push_back({x, y, x + width, y + height});
  }
};

// Where a hidden grid control lies in its dialog's client area, from its
// place on the screen.
ClientRect gridOnScreen(HWND dialog, int id) {
  const HWND grid = GetDlgItem(dialog, id);
  RECT rect{};
  GetClientRect(grid, &rect);
  POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  ClientToScreen(grid, &corners[0]);
  ClientToScreen(grid, &corners[1]);
  ScreenToClient(dialog, &corners[0]);
  ScreenToClient(dialog, &corners[1]);
  return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

// The dialog's client area as the screen shows it, one COLORREF a pixel.
std::vector<COLORREF> capture(HWND dialog, int& width, int& height) {
  RECT client{};
  GetClientRect(dialog, &client);
  width = client.right;
  height = client.bottom;
  const HDC screen = GetDC(dialog);
  const HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  const auto* pixels = static_cast<const uint32_t*>(bits);
  std::vector<COLORREF> colours(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < colours.size(); ++i) {
    const uint32_t p = pixels[i];  // 0x00RRGGBB
    colours[i] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(dialog, screen);
  return colours;
}

// Font 0 sets the leftmost pixel of each glyph's row 0, font 1 the
// rightmost of row 1; font 2 cannot be read.
std::vector<uint8_t> markedFont(int index) {
  if (index == 2) throw StreamError("the font's data ends before its last glyph");
  std::vector<uint8_t> glyphs(4096, 0);
  for (size_t k = 0; k < 256; ++k)
    glyphs[16 * k + static_cast<size_t>(index)] = index == 0 ? 0x80 : 0x01;
  return glyphs;
}

// Which marked font the window shows in its preview once repainted (-1:
// neither), judged by the first and the last glyph; -2 when they disagree.
int fontOnScreen(HWND dialog) {
  UpdateWindow(dialog);
  int width = 0, height = 0;
  const std::vector<COLORREF> shown = capture(dialog, width, height);
  const GlyphGrid grid = layoutGlyphGrid(gridOnScreen(dialog, kIdFontPreview), 16);
  const auto black = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < width && y < height &&
           shown[static_cast<size_t>(y) * width + x] == RGB(0, 0, 0);
  };
  const int p = grid.pixelSize;
  std::set<int> fonts;
  for (const int code : {0, 255}) {
    const int x = grid.originX + (code % 32) * grid.cellWidth;
    const int y = grid.originY + (code / 32) * grid.cellHeight;
    const bool font0 = black(x, y);
    const bool font1 = black(x + 7 * p, y + p);
    fonts.insert(font0 && !font1 ? 0 : font1 && !font0 ? 1 : !font0 && !font1 ? -1 : -2);
  }
  return fonts.size() == 1 ? *fonts.begin() : -2;
}

TEST(Win32FontDialogs, SelectionPreviewFollowsTheSelectedLine) {
  const CpiFontEntry entries[] = {{850, 8, 16, 100}, {437, 8, 16, 4202}, {852, 8, 16, 8304}};
  const struct {
    const char* how;
    std::function<void(HWND)> act;
    int shown;
  } steps[] = {
      {"nothing selected", [](HWND) {}, -1},
      {"Down", [](HWND list) { pressKey(list, VK_DOWN); }, 0},
      {"Down again", [](HWND list) { pressKey(list, VK_DOWN); }, 1},
      {"Down to an unreadable font", [](HWND list) { pressKey(list, VK_DOWN); }, -1},
      {"click on the first line", [](HWND list) { clickLine(list, 0); }, 0},
  };
  std::vector<int> shown;
  int chosen = -2;
  whileModal(
      L"Select font...",
      [&](HWND dialog) {
        const HWND list = GetDlgItem(dialog, kIdFontList);
        SetFocus(list);
        for (const auto& step : steps) {
          step.act(list);
          shown.push_back(fontOnScreen(dialog));
        }
        click(dialog, kIdOk);
      },
      [&] { chosen = win32ui::runFontSelectDialog(nullptr, entries, 3, markedFont); });
  ASSERT_EQ(shown.size(), std::size(steps));
  for (size_t i = 0; i < shown.size(); ++i)
    EXPECT_EQ(shown[i], steps[i].shown) << steps[i].how;
  EXPECT_EQ(chosen, 0);
}

TEST(Win32FontDialogs, ViewPaintsEveryGlyphPixelOfBothFontsInItsGrids) {
  const BiosImage image = sampleImage();
  ASSERT_GT(image.length, 0);
  BiosImage located = image;
  ASSERT_EQ(validateImage(located), 0);
  int mismatches = 0;
  size_t blackSeen = 0;
  RecordingCanvas expected;
  whileModal(
      L"ATi BIOS Fonts View",
      [&](HWND dialog) {
        UpdateWindow(dialog);
        paintFonts(&located, gridOnScreen(dialog, kIdGrid8x8), gridOnScreen(dialog, kIdGrid8x16),
                   expected);
        int width = 0, height = 0;
        const std::vector<COLORREF> shown = capture(dialog, width, height);
        std::set<std::pair<int, int>> inBoxes;
        for (const RECT& box : expected.boxes) {
          for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x)
              inBoxes.insert({x, y});
        }
        for (const auto& [x, y] : inBoxes) {
          if (x < 0 || y < 0 || x >= width || y >= height) continue;
          const bool isBlack = expected.black.count({x, y}) != 0;
          const COLORREF want = isBlack ? RGB(0, 0, 0) : RGB(255, 255, 255);
          if (shown[static_cast<size_t>(y) * width + x] != want) ++mismatches;
          if (isBlack) ++blackSeen;
        }
        click(dialog, kIdOk);
      },
      [&] { win32ui::runFontViewDialog(nullptr, located); });
  EXPECT_EQ(expected.boxes.size(), 512u);
  EXPECT_GT(blackSeen, 1000u);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace varnel
