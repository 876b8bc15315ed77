#include "ui/headless_controls.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <utility>

#include "ui/dialog_text.h"
#include "ui/keyboard.h"

namespace varnel::ui {

HeadlessControls::HeadlessControls(const DialogTemplate& layout)
    : layout_(layout), focused_(std::max(0, layout.initialFocus())) {
  for (const ControlTemplate& control : layout.controls) {
    if (control.id == -1) continue;
    Control& c = controls_[control.id];
    c.kind = control.kind;
    c.enabled = !control.disabled;
    c.sorted = control.sorted;
    c.text = control.kind == ControlKind::kCheckBox || control.kind == ControlKind::kPushButton ||
                     control.kind == ControlKind::kDefaultButton
                 ? control.caption
                 : "";
  }
  for (const auto& [id, items] : layout.items) {
    for (const std::string& item : items)
      addString(id, item);
  }
}

std::vector<int> HeadlessControls::ids() const {
  std::vector<int> all;
  for (const auto& entry : controls_)
    all.push_back(entry.first);
  return all;
}

HeadlessControls::Control& HeadlessControls::at(int id) {
  const auto found = controls_.find(id);
  if (found == controls_.end()) throw std::out_of_range("no control " + std::to_string(id));
  return found->second;
}

const HeadlessControls::Control& HeadlessControls::at(int id) const {
  return const_cast<HeadlessControls*>(this)->at(id);
}

void HeadlessControls::requireEnabled(int id) const {
  if (!at(id).enabled) throw std::logic_error("control " + std::to_string(id) + " is disabled");
}

void HeadlessControls::click(int id) {
  requireEnabled(id);
  if (at(id).kind == ControlKind::kCheckBox) at(id).checked = !at(id).checked;
  if (events_ != nullptr) events_->onCommand(id, Notification::kClicked);
}

void HeadlessControls::choose(int id, int index) {
  requireEnabled(id);
  if (index < 0 || index >= itemCount(id)) throw std::out_of_range("no such item");
  at(id).selection = index;
  if (events_ != nullptr) events_->onCommand(id, Notification::kSelChange);
}

void HeadlessControls::type(int id, const std::string& text) {
  focus(id);
  // Digits-only edits refuse anything else.
  if (at(id).kind == ControlKind::kNumberEdit &&
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return;
  }
  setText(id, text);
}

void HeadlessControls::typeKeys(int id, const std::string& keys) {
  for (char key : keys)
    type(id, text(id) + key);
}

void HeadlessControls::focus(int id) {
  requireEnabled(id);
  const int left = std::exchange(focused_, id);
  if (left != id && exists(left) && isEdit(left) && events_ != nullptr) {
    events_->onCommand(left, Notification::kKillFocus);
  }
}

void HeadlessControls::pressEnter() {
  if (!exists(focused_)) return;
  const ControlKind kind = at(focused_).kind;
  if (enterIsIgnored(kind)) return;
  if (isEdit(focused_)) {
    if (events_ != nullptr) events_->onCommand(focused_, Notification::kEnterKey);
    return;
  }
  // A focused push button is the one Enter presses; elsewhere the default.
  if (kind == ControlKind::kPushButton || kind == ControlKind::kDefaultButton) {
    click(focused_);
    return;
  }
  for (const ControlTemplate& control : layout_.controls) {
    if (control.kind == ControlKind::kDefaultButton && at(control.id).enabled) {
      click(control.id);
      return;
    }
  }
}

std::vector<int> HeadlessControls::reachableByTab() const {
  std::vector<int> reachable;
  for (const ControlTemplate& control : layout_.controls) {
    if (control.inTabOrder() && control.id != -1 && at(control.id).enabled) {
      reachable.push_back(control.id);
    }
  }
  return reachable;
}

void HeadlessControls::pressTab(bool backwards) {
  const std::vector<int> reachable = reachableByTab();
  if (reachable.empty()) return;
  const auto here = std::find(reachable.begin(), reachable.end(), focused_);
  size_t next = 0;
  if (here != reachable.end()) {
    const size_t index = static_cast<size_t>(here - reachable.begin());
    next = (index + (backwards ? reachable.size() - 1 : 1)) % reachable.size();
  }
  focus(reachable[next]);
}

// As a dialog does: a label's key focuses the control it names, a check
// box's focuses and toggles it, a push button's presses it and leaves the
// focus where it is. Disabled controls hear nothing.
void HeadlessControls::pressShortcut(char key) {
  const char wanted = static_cast<char>(std::tolower(static_cast<unsigned char>(key)));
  for (size_t i = 0; i < layout_.controls.size(); ++i) {
    const ControlTemplate& control = layout_.controls[i];
    if (mnemonicOf(control.caption) != wanted) continue;
    const ControlTemplate* target =
        control.kind == ControlKind::kLabel ? controlNamedBy(layout_, i) : &control;
    if (target == nullptr || target->id == -1 || !at(target->id).enabled) return;
    if (target->kind != ControlKind::kPushButton && target->kind != ControlKind::kDefaultButton) {
      focus(target->id);
    }
    if (target->kind == ControlKind::kCheckBox || target->kind == ControlKind::kPushButton ||
        target->kind == ControlKind::kDefaultButton) {
      click(target->id);
    }
    return;
  }
}

bool HeadlessControls::isEdit(int id) const {
  const ControlKind kind = at(id).kind;
  return kind == ControlKind::kEdit || kind == ControlKind::kNumberEdit ||
         kind == ControlKind::kReadOnlyEdit;
}

void HeadlessControls::drag(int id, int position) {
  requireEnabled(id);
  setTrackbarPosition(id, position);
  if (events_ != nullptr) events_->onHScroll(kThumbTrack, trackbarPosition(id), id);
}

void HeadlessControls::setText(int id, const std::string& text) {
  at(id).text = text;
  if (isEdit(id) && events_ != nullptr) events_->onCommand(id, Notification::kEditChange);
}

void HeadlessControls::configureTrackbar(int id, int lineSize, int pageSize, int tickFrequency) {
  Control& control = at(id);
  control.lineSize = lineSize;
  control.pageSize = pageSize;
  control.tickFrequency = tickFrequency;
}

void HeadlessControls::setTrackbarRange(int id, int minimum, int maximum) {
  Control& control = at(id);
  control.minimum = minimum;
  control.maximum = maximum;
  control.position = std::clamp(control.position, minimum, maximum);
}

void HeadlessControls::setTrackbarPosition(int id, int position) {
  Control& control = at(id);
  control.position = std::clamp(position, control.minimum, control.maximum);
}

void HeadlessControls::resetContent(int id) {
  Control& control = at(id);
  control.items.clear();
  control.data.clear();
  control.selection = -1;
}

int HeadlessControls::addString(int id, const std::string& text) {
  Control& control = at(id);
  const int index = control.sorted ? sortedInsertIndex(control.items, text)
                                   : static_cast<int>(control.items.size());
  return insertString(id, index, text);
}

int HeadlessControls::insertString(int id, int index, const std::string& text) {
  Control& control = at(id);
  if (index < 0 || index > static_cast<int>(control.items.size())) {
    index = static_cast<int>(control.items.size());
  }
  control.items.insert(control.items.begin() + index, text);
  control.data.insert(control.data.begin() + index, 0);
  if (control.selection >= index) ++control.selection;
  return index;
}

void HeadlessControls::setItemData(int id, int index, uint32_t data) {
  Control& control = at(id);
  if (index >= 0 && index < static_cast<int>(control.data.size())) {
    control.data[static_cast<size_t>(index)] = data;
  }
}

uint32_t HeadlessControls::itemData(int id, int index) const {
  const Control& control = at(id);
  if (index < 0 || index >= static_cast<int>(control.data.size())) return kListError;
  return control.data[static_cast<size_t>(index)];
}

std::string HeadlessControls::itemText(int id, int index) const {
  const Control& control = at(id);
  if (index < 0 || index >= static_cast<int>(control.items.size())) return "";
  return control.items[static_cast<size_t>(index)];
}

void HeadlessControls::setCurrentSelection(int id, int index) {
  Control& control = at(id);
  control.selection = index >= 0 && index < static_cast<int>(control.items.size()) ? index : -1;
}

}  // namespace varnel::ui
