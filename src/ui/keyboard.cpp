#include "ui/keyboard.h"

#include <cctype>

namespace varnel::ui {

char mnemonicOf(std::string_view caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&') {
      return static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1])));
    }
    ++i;  // "&&": a plain "&"
  }
  return 0;
}

const ControlTemplate* controlNamedBy(const DialogTemplate& layout, size_t labelIndex) {
  for (size_t i = labelIndex + 1; i < layout.controls.size(); ++i) {
    if (layout.controls[i].inTabOrder()) return &layout.controls[i];
  }
  return nullptr;
}

bool enterIsIgnored(ControlKind kind) {
  switch (kind) {
    case ControlKind::kDropDownList:
    case ControlKind::kTrackbar:
    case ControlKind::kReadOnlyEdit:
      return true;
    default:
      return false;
  }
}

}  // namespace varnel::ui
