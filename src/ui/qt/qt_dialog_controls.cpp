#include "ui/qt/qt_dialog_controls.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSlider>
#include <functional>
#include <stdexcept>
#include <utility>

#include "ui/dialog_text.h"
#include "ui/qt/dialog_builder.h"
#include "ui/qt/narrow_text.h"

namespace varnel::qtui {
namespace {

constexpr int kDataRole = Qt::UserRole;

std::vector<std::string> comboTexts(const QComboBox& combo) {
  std::vector<std::string> texts;
  for (int i = 0; i < combo.count(); ++i)
    texts.push_back(toNarrow(combo.itemText(i)));
  return texts;
}

std::vector<std::string> listTexts(const QListWidget& list) {
  std::vector<std::string> texts;
  for (int i = 0; i < list.count(); ++i)
    texts.push_back(toNarrow(list.item(i)->text()));
  return texts;
}

// Tells an edit's owner what the window system tells a Windows dialog: the
// edit lost the focus, and Enter in the edit, which then presses no
// default button.
class EditFocusAndEnter final : public QObject {
 public:
  EditFocusAndEnter(QLineEdit* edit, std::function<void(ui::Notification)> command)
      : QObject(edit), command_(std::move(command)) {
    edit->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) {
      // A context menu of the edit takes no focus from it.
      if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        command_(ui::Notification::kKillFocus);
      }
    } else if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        command_(ui::Notification::kEnterKey);
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(ui::Notification)> command_;
};

}  // namespace

QtDialogControls::QtDialogControls(QDialog& window, std::map<int, QWidget*> widgets)
    : window_(window), widgets_(std::move(widgets)) {}

QWidget* QtDialogControls::widget(int id) const {
  const auto found = widgets_.find(id);
  if (found == widgets_.end()) throw std::out_of_range("no control " + std::to_string(id));
  return found->second;
}

void QtDialogControls::setEvents(ui::DialogEvents* events) {
  events_ = events;
  if (std::exchange(connected_, true)) return;
  for (const auto& [id, widget] : widgets_)
    connectWidget(id, widget);
}

void QtDialogControls::connectWidget(int id, QWidget* widget) {
  auto command = [this, id](ui::Notification code) {
    if (events_ != nullptr) events_->onCommand(id, code);
  };
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    QObject::connect(button, &QAbstractButton::clicked, &window_,
                     [command] { command(ui::Notification::kClicked); });
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    QObject::connect(combo, &QComboBox::activated, &window_,
                     [command] { command(ui::Notification::kSelChange); });
  } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
    // The highlighted line counts, not the focus frame: a view that takes
    // the focus puts its frame on a line without selecting it.
    QObject::connect(list, &QListWidget::itemSelectionChanged, &window_,
                     [command] { command(ui::Notification::kSelChange); });
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    QObject::connect(edit, &QLineEdit::textEdited, &window_,
                     [command] { command(ui::Notification::kEditChange); });
    if (!edit->isReadOnly()) new EditFocusAndEnter(edit, command);
  } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
    QObject::connect(slider, &QSlider::valueChanged, &window_, [this, id](int position) {
      if (events_ != nullptr) events_->onHScroll(ui::kThumbTrack, position, id);
    });
  }
}

void QtDialogControls::setWindowTitle(const std::string& title) {
  window_.setWindowTitle(fromNarrow(title));
}

void QtDialogControls::enable(int id, bool enabled) {
  widget(id)->setEnabled(enabled);
}

bool QtDialogControls::isEnabled(int id) const {
  return widget(id)->isEnabled();
}

void QtDialogControls::setText(int id, const std::string& text) {
  QWidget* target = widget(id);
  if (auto* edit = qobject_cast<QLineEdit*>(target)) {
    {
      const QSignalBlocker quiet(edit);
      edit->setText(fromNarrow(text));
    }
    // Like the window system: a program's write is a change too, even of
    // the same text.
    if (events_ != nullptr) events_->onCommand(id, ui::Notification::kEditChange);
  } else if (auto* button = qobject_cast<QAbstractButton*>(target)) {
    button->setText(fromNarrow(text));
  } else {
    target->setProperty("text", fromNarrow(text));
  }
}

std::string QtDialogControls::text(int id) const {
  QWidget* target = widget(id);
  if (auto* edit = qobject_cast<QLineEdit*>(target)) return toNarrow(edit->text());
  if (auto* button = qobject_cast<QAbstractButton*>(target)) return toNarrow(button->text());
  return toNarrow(target->property("text").toString());
}

void QtDialogControls::setCheck(int id, bool checked) {
  if (auto* box = qobject_cast<QAbstractButton*>(widget(id))) box->setChecked(checked);
}

bool QtDialogControls::isChecked(int id) const {
  auto* box = qobject_cast<QAbstractButton*>(widget(id));
  return box != nullptr && box->isChecked();
}

void QtDialogControls::configureTrackbar(int id, int lineSize, int pageSize, int tickFrequency) {
  auto* slider = qobject_cast<QSlider*>(widget(id));
  if (slider == nullptr) return;
  slider->setSingleStep(lineSize);
  slider->setPageStep(pageSize);
  slider->setTickInterval(tickFrequency);
}

void QtDialogControls::setTrackbarRange(int id, int minimum, int maximum) {
  if (auto* slider = qobject_cast<QSlider*>(widget(id))) {
    const QSignalBlocker quiet(slider);
    slider->setRange(minimum, maximum);
  }
}

void QtDialogControls::setTrackbarPosition(int id, int position) {
  if (auto* slider = qobject_cast<QSlider*>(widget(id))) {
    const QSignalBlocker quiet(slider);
    slider->setValue(position);  // clamps to the range
  }
}

int QtDialogControls::trackbarPosition(int id) const {
  auto* slider = qobject_cast<QSlider*>(widget(id));
  return slider != nullptr ? slider->value() : 0;
}

void QtDialogControls::resetContent(int id) {
  QWidget* target = widget(id);
  if (auto* combo = qobject_cast<QComboBox*>(target)) combo->clear();
  if (auto* list = qobject_cast<QListWidget*>(target)) {
    const QSignalBlocker quiet(list);
    list->clear();
  }
}

bool QtDialogControls::isSortedList(int id) const {
  return widget(id)->property(kSortedProperty).toBool();
}

int QtDialogControls::addString(int id, const std::string& text) {
  QWidget* target = widget(id);
  int index = itemCount(id);
  if (isSortedList(id)) {
    if (auto* combo = qobject_cast<QComboBox*>(target)) {
      index = ui::sortedInsertIndex(comboTexts(*combo), text);
    } else if (auto* list = qobject_cast<QListWidget*>(target)) {
      index = ui::sortedInsertIndex(listTexts(*list), text);
    }
  }
  return insertString(id, index, text);
}

int QtDialogControls::insertString(int id, int index, const std::string& text) {
  QWidget* target = widget(id);
  const int count = itemCount(id);
  if (index < 0 || index > count) index = count;
  if (auto* combo = qobject_cast<QComboBox*>(target)) {
    // A combo box selects the first item put into it; a list selects
    // nothing until the program or the user does.
    const bool noSelection = combo->currentIndex() < 0;
    combo->insertItem(index, fromNarrow(text), 0u);
    if (noSelection) combo->setCurrentIndex(-1);
  } else if (auto* list = qobject_cast<QListWidget*>(target)) {
    const QSignalBlocker quiet(list);
    auto* item = new QListWidgetItem(fromNarrow(text));
    item->setData(kDataRole, 0u);
    list->insertItem(index, item);
  }
  return index;
}

void QtDialogControls::setItemData(int id, int index, uint32_t data) {
  QWidget* target = widget(id);
  if (index < 0 || index >= itemCount(id)) return;
  if (auto* combo = qobject_cast<QComboBox*>(target)) combo->setItemData(index, data, kDataRole);
  if (auto* list = qobject_cast<QListWidget*>(target)) list->item(index)->setData(kDataRole, data);
}

uint32_t QtDialogControls::itemData(int id, int index) const {
  QWidget* target = widget(id);
  if (index < 0 || index >= itemCount(id)) return ui::kListError;
  if (auto* combo = qobject_cast<QComboBox*>(target)) {
    return combo->itemData(index, kDataRole).toUInt();
  }
  if (auto* list = qobject_cast<QListWidget*>(target)) {
    return list->item(index)->data(kDataRole).toUInt();
  }
  return ui::kListError;
}

int QtDialogControls::itemCount(int id) const {
  QWidget* target = widget(id);
  if (auto* combo = qobject_cast<QComboBox*>(target)) return combo->count();
  if (auto* list = qobject_cast<QListWidget*>(target)) return list->count();
  return 0;
}

std::string QtDialogControls::itemText(int id, int index) const {
  QWidget* target = widget(id);
  if (index < 0 || index >= itemCount(id)) return "";
  if (auto* combo = qobject_cast<QComboBox*>(target)) return toNarrow(combo->itemText(index));
  if (auto* list = qobject_cast<QListWidget*>(target)) return toNarrow(list->item(index)->text());
  return "";
}

void QtDialogControls::setCurrentSelection(int id, int index) {
  QWidget* target = widget(id);
  if (index < 0 || index >= itemCount(id)) index = -1;
  if (auto* combo = qobject_cast<QComboBox*>(target)) combo->setCurrentIndex(index);
  if (auto* list = qobject_cast<QListWidget*>(target)) {
    const QSignalBlocker quiet(list);
    list->setCurrentRow(index);
    if (index < 0) list->clearSelection();
  }
}

int QtDialogControls::currentSelection(int id) const {
  QWidget* target = widget(id);
  if (auto* combo = qobject_cast<QComboBox*>(target)) return combo->currentIndex();
  if (auto* list = qobject_cast<QListWidget*>(target)) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
  }
  return -1;
}

}  // namespace varnel::qtui
