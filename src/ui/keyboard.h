// The keyboard rules of the editor's windows, read from their layout
// tables, which every front end follows: Tab runs through the controls in
// table order, a caption's "&" marks the key that reaches it with Alt, and
// Enter presses the default button except where it would surprise.
#pragma once

#include <cstddef>
#include <string_view>

#include "ui/dialog_template.h"

namespace varnel::ui {

// The key a caption's "&" marks, in lower case ("&&" is a plain "&");
// 0 for a caption without one.
char mnemonicOf(std::string_view caption);

// The control the label at `labelIndex` of the layout names, which its key
// focuses: the next control after it in the tab order. Null for none.
const ControlTemplate* controlNamedBy(const DialogTemplate& layout, size_t labelIndex);

// Enter in a drop-down list, on a trackbar or in a read-only field does
// nothing: someone choosing a value or reading one never means Save. (A
// writable edit takes Enter itself, to take its text.)
bool enterIsIgnored(ControlKind kind);

}  // namespace varnel::ui
