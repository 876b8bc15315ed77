#include "ui/win32/font_dialogs_win32.h"

#include <memory>
#include <vector>

#include "ui/control_ids.h"
#include "ui/dialog_template.h"
#include "ui/win32/dialog_builder.h"
#include "ui/win32/win32_dialog_controls.h"

namespace varnel::win32ui {
namespace {

// Runs a dialog of the layout modally; `state` reaches its procedure as
// the WM_INITDIALOG parameter.
INT_PTR runModal(const ui::DialogTemplate& layout, HWND owner, DLGPROC procedure, void* state) {
  const std::vector<WORD> words = buildDialogTemplate(layout);
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                 reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner, procedure,
                                 reinterpret_cast<LPARAM>(state));
}

template <typename State>
State* stateOf(HWND dialog) {
  return reinterpret_cast<State*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// OK ends a dialog accepted; Cancel, Escape and the close box rejected.
// True when the command was one of them.
bool endOnButton(HWND dialog, int id) {
  if (id != IDOK && id != IDCANCEL) return false;
  EndDialog(dialog, id);
  return true;
}

struct FontSelectState {
  const CpiFontEntry* entries = nullptr;
  int count = 0;
  const ui::FontGlyphReader* glyphsOf = nullptr;
  std::unique_ptr<Win32DialogControls> controls;
  std::unique_ptr<ui::FontSelectDialog> behaviour;
};

class DeviceContextCanvas : public ui::PixelCanvas {
 public:
  explicit DeviceContextCanvas(HDC dc) : dc_(dc) {}
  void setPixel(int x, int y, int size) override {
    const RECT square{x, y, x + size, y + size};
    FillRect(dc_, &square, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  void fillBackground(int x, int y, int width, int height) override {
    const RECT box{x, y, x + width, y + height};
    FillRect(dc_, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }

 private:
  HDC dc_;
};

BOOL initFontSelect(HWND dialog, FontSelectState& state) {
  state.controls = std::make_unique<Win32DialogControls>(dialog);
  state.behaviour = std::make_unique<ui::FontSelectDialog>(*state.controls);
  state.behaviour->entries = state.entries;
  state.behaviour->entryCount = state.count;
  state.behaviour->glyphsOf = *state.glyphsOf;
  // The old preview is erased with the dialog's background.
  state.behaviour->previewChanged = [dialog] {
    const ui::ClientRect preview = controlRect(dialog, ui::kIdFontPreview);
    const RECT area{preview.left, preview.top, preview.right, preview.bottom};
    InvalidateRect(dialog, &area, TRUE);
  };
  state.controls->setEvents(state.behaviour.get());
  return state.behaviour->OnInitDialog() ? TRUE : FALSE;
}

INT_PTR CALLBACK fontSelectProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return initFontSelect(dialog, *reinterpret_cast<FontSelectState*>(lParam));
  }
  FontSelectState* state = stateOf<FontSelectState>(dialog);
  if (state == nullptr || state->controls == nullptr) return FALSE;
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    DeviceContextCanvas canvas(BeginPaint(dialog, &paint));
    state->behaviour->paintPreview(controlRect(dialog, ui::kIdFontPreview), canvas);
    EndPaint(dialog, &paint);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  state->controls->handleMessage(message, wParam, lParam);
  endOnButton(dialog, LOWORD(wParam));
  return TRUE;
}

INT_PTR CALLBACK fontViewProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return TRUE;
  }
  const BiosImage* image = stateOf<const BiosImage>(dialog);
  if (image == nullptr) return FALSE;
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(dialog, &paint);
    paintFontView(dialog, dc, *image);
    EndPaint(dialog, &paint);
    return TRUE;
  }
  return message == WM_COMMAND && endOnButton(dialog, LOWORD(wParam)) ? TRUE : FALSE;
}

}  // namespace

int runFontSelectDialog(HWND owner, const CpiFontEntry* entries, int count,
                        const ui::FontGlyphReader& glyphsOf) {
  FontSelectState state;
  state.entries = entries;
  state.count = count;
  state.glyphsOf = &glyphsOf;
  const INT_PTR ended =
      runModal(ui::fontSelectDialogTemplate(), owner, &fontSelectProcedure, &state);
  if (state.controls != nullptr) state.controls->setEvents(nullptr);
  if (state.behaviour == nullptr) return -1;  // the dialog could not be made
  return state.behaviour->result(ended == IDOK);
}

void runFontViewDialog(HWND owner, const BiosImage& image) {
  runModal(ui::fontViewDialogTemplate(), owner, &fontViewProcedure, const_cast<BiosImage*>(&image));
}

ui::ClientRect controlRect(HWND dialog, int id) {
  RECT rect{};
  const HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return {};
  GetClientRect(control, &rect);
  MapWindowPoints(control, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

void paintFontView(HWND dialog, HDC dc, const BiosImage& image) {
  DeviceContextCanvas canvas(dc);
  ui::paintFonts(&image, controlRect(dialog, ui::kIdGrid8x8), controlRect(dialog, ui::kIdGrid8x16),
                 canvas);
}

}  // namespace varnel::win32ui
