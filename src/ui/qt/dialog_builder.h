// Builds a dialog's widgets from its layout table.
#pragma once

#include <QDialog>
#include <QFont>
#include <QRect>
#include <map>

#include "ui/dialog_template.h"

namespace varnel::qtui {

// Dialog units of a font: a quarter of its average character width across,
// an eighth of its height down.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  int x(int units) const { return (units * baseX_ + 2) / 4; }
  int y(int units) const { return (units * baseY_ + 4) / 8; }
  QRect rect(int x, int y, int width, int height) const;

 private:
  int baseX_ = 0;
  int baseY_ = 0;
};

// Set on lists that keep their items in the order of their texts.
inline constexpr const char* kSortedProperty = "varnelSorted";

struct BuiltDialog {
  std::map<int, QWidget*> widgets;  // by control id
  std::vector<QWidget*> all;        // every control, in table order
};

// Creates every control of the table on the dialog, in place, with its
// caption, initial state and tab order; sets the dialog's font, caption and
// fixed size. Fixed list contents are added too.
BuiltDialog buildDialog(QDialog& dialog, const ui::DialogTemplate& layout);

}  // namespace varnel::qtui
