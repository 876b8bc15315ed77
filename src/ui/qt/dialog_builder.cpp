#include "ui/qt/dialog_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>

#include "ui/keyboard.h"
#include "ui/qt/narrow_text.h"

namespace varnel::qtui {
namespace {

using ui::ControlKind;
using ui::ControlTemplate;

Qt::Alignment textAlignment(ui::Alignment alignment) {
  switch (alignment) {
    case ui::Alignment::kRight:
      return Qt::AlignRight;
    case ui::Alignment::kCenter:
      return Qt::AlignHCenter;
    default:
      return Qt::AlignLeft;
  }
}

QWidget* makeEdit(const ControlTemplate& control, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setAlignment(textAlignment(control.alignment) | Qt::AlignVCenter);
  if (control.kind == ControlKind::kReadOnlyEdit) edit->setReadOnly(true);
  if (control.kind == ControlKind::kNumberEdit) {
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  }
  return edit;
}

QWidget* makeTrackbar(const ControlTemplate& control, QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setTickPosition(control.ticksAbove ? QSlider::TicksAbove : QSlider::TicksBelow);
  return slider;
}

QWidget* makeCheckBox(const ControlTemplate& control, QWidget* parent) {
  auto* box = new QCheckBox(fromNarrow(control.caption), parent);
  // The caption stands left of the box.
  if (control.textLeft) box->setLayoutDirection(Qt::RightToLeft);
  return box;
}

QWidget* makeWidget(const ControlTemplate& control, QWidget* parent) {
  const QString caption = fromNarrow(control.caption);
  switch (control.kind) {
    case ControlKind::kLabel: {
      auto* label = new QLabel(caption, parent);
      label->setAlignment(textAlignment(control.alignment) | Qt::AlignTop);
      return label;
    }
    case ControlKind::kPushButton:
    case ControlKind::kDefaultButton: {
      auto* button = new QPushButton(caption, parent);
      button->setDefault(control.kind == ControlKind::kDefaultButton);
      return button;
    }
    case ControlKind::kReadOnlyEdit:
    case ControlKind::kNumberEdit:
    case ControlKind::kEdit:
      return makeEdit(control, parent);
    case ControlKind::kTrackbar:
      return makeTrackbar(control, parent);
    case ControlKind::kCheckBox:
      return makeCheckBox(control, parent);
    case ControlKind::kDropDownList:
      return new QComboBox(parent);
    case ControlKind::kListBox:
      return new QListWidget(parent);
    case ControlKind::kGroupBox:
      return new QGroupBox(caption, parent);
  }
  return new QWidget(parent);
}

// A drop-down list's height in the table is that of its open list; closed,
// it is as tall as the toolkit draws it.
void place(QWidget* widget, const ControlTemplate& control, const DialogUnits& units) {
  QRect rect = units.rect(control.x, control.y, control.width, control.height);
  if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    const int itemHeight = std::max(1, combo->sizeHint().height());
    combo->setMaxVisibleItems(std::max(1, rect.height() / itemHeight));
    rect.setHeight(std::max(units.y(12), combo->sizeHint().height()));
  }
  widget->setGeometry(rect);
}

// Enter where the layout's rules ignore it goes no further: the dialog
// would press its default button. An open list's own Enter is not seen
// here (its popup has the keys).
class EnterIgnored final : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
  }
};

// A label's "&" key focuses the control the label names.
void setBuddies(const BuiltDialog& built, const ui::DialogTemplate& layout) {
  for (size_t i = 0; i < layout.controls.size(); ++i) {
    auto* label = qobject_cast<QLabel*>(built.all[i]);
    const ui::ControlTemplate* named = ui::controlNamedBy(layout, i);
    if (label == nullptr || named == nullptr || ui::mnemonicOf(layout.controls[i].caption) == 0) {
      continue;
    }
    const auto index = static_cast<size_t>(named - layout.controls.data());
    label->setBuddy(built.all[index]);
  }
}

void fillFixedLists(const BuiltDialog& built, const ui::DialogTemplate& layout) {
  for (const auto& [id, items] : layout.items) {
    const auto found = built.widgets.find(id);
    if (found == built.widgets.end()) continue;
    if (auto* combo = qobject_cast<QComboBox*>(found->second)) {
      for (const std::string& item : items)
        combo->addItem(fromNarrow(item), 0u);
      combo->setCurrentIndex(-1);
    }
  }
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width =
      metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  baseX_ = (width / 26 + 1) / 2;
  baseY_ = metrics.height();
}

QRect DialogUnits::rect(int left, int top, int width, int height) const {
  return QRect(x(left), y(top), x(width), y(height));
}

BuiltDialog buildDialog(QDialog& dialog, const ui::DialogTemplate& layout) {
  QFont font(fromNarrow(layout.fontName));
  font.setPointSize(layout.fontPoints);
  dialog.setFont(font);
  dialog.setWindowTitle(fromNarrow(layout.caption));
  const DialogUnits units(font);
  BuiltDialog built;
  QWidget* previous = nullptr;
  auto* enterIgnored = new EnterIgnored(&dialog);
  for (const ControlTemplate& control : layout.controls) {
    QWidget* widget = makeWidget(control, &dialog);
    widget->setFont(font);
    place(widget, control, units);
    widget->setEnabled(!control.disabled);
    widget->setProperty(kSortedProperty, control.sorted);
    widget->setVisible(!control.hidden);
    if (control.inTabOrder()) {
      if (widget->focusPolicy() == Qt::NoFocus) widget->setFocusPolicy(Qt::StrongFocus);
      if (previous != nullptr) QWidget::setTabOrder(previous, widget);
      previous = widget;
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
    if (ui::enterIsIgnored(control.kind)) widget->installEventFilter(enterIgnored);
    if (control.initialFocus) widget->setFocus();
    if (control.id != -1) built.widgets[control.id] = widget;
    built.all.push_back(widget);
  }
  fillFixedLists(built, layout);
  setBuddies(built, layout);
  dialog.setFixedSize(units.x(layout.width), units.y(layout.height));
  return built;
}

}  // namespace varnel::qtui
