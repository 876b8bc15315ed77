#include "ui/dialog_template.h"

#include <stdexcept>
#include <unordered_map>

namespace varnel::ui {

namespace resources {
extern const char kMainDialog[];
extern const char kFontSelectDialog[];
extern const char kFontViewDialog[];
}  // namespace resources

namespace {

// Splits a line into words; a word in double quotes may hold blanks.
std::vector<std::string> splitWords(std::string_view line, int lineNumber) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
    } else if (line[i] == '"') {
      const size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) {
        throw std::runtime_error("dialog layout line " + std::to_string(lineNumber) +
                                 ": unterminated text");
      }
      words.emplace_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      size_t end = i;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r')
        ++end;
      words.emplace_back(line.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

int number(const std::string& word, int lineNumber) {
  if (word == "-") return -1;
  size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(word, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != word.size() || word.empty()) {
    throw std::runtime_error("dialog layout line " + std::to_string(lineNumber) +
                             ": not a number: " + word);
  }
  return value;
}

const std::unordered_map<std::string, ControlKind>& kinds() {
  static const std::unordered_map<std::string, ControlKind> table = {
      {"LABEL", ControlKind::kLabel},
      {"PUSHBUTTON", ControlKind::kPushButton},
      {"DEFPUSHBUTTON", ControlKind::kDefaultButton},
      {"READONLY", ControlKind::kReadOnlyEdit},
      {"NUMBER", ControlKind::kNumberEdit},
      {"EDIT", ControlKind::kEdit},
      {"TRACKBAR", ControlKind::kTrackbar},
      {"CHECKBOX", ControlKind::kCheckBox},
      {"DROPDOWN", ControlKind::kDropDownList},
      {"LISTBOX", ControlKind::kListBox},
      {"GROUPBOX", ControlKind::kGroupBox},
  };
  return table;
}

void applyFlag(ControlTemplate& control, const std::string& flag, int lineNumber) {
  if (flag == "left") {
    control.alignment = Alignment::kLeft;
  } else if (flag == "center") {
    control.alignment = Alignment::kCenter;
  } else if (flag == "right") {
    control.alignment = Alignment::kRight;
  } else if (flag == "disabled") {
    control.disabled = true;
  } else if (flag == "hidden") {
    control.hidden = true;
  } else if (flag == "sorted") {
    control.sorted = true;
  } else if (flag == "ticksabove") {
    control.ticksAbove = true;
  } else if (flag == "textleft") {
    control.textLeft = true;
  } else if (flag == "focus") {
    control.initialFocus = true;
  } else {
    throw std::runtime_error("dialog layout line " + std::to_string(lineNumber) +
                             ": unknown flag " + flag);
  }
}

ControlTemplate parseControl(const std::vector<std::string>& words, ControlKind kind,
                             int lineNumber) {
  if (words.size() < 7) {
    throw std::runtime_error("dialog layout line " + std::to_string(lineNumber) +
                             ": a control needs an id, a caption and four numbers");
  }
  ControlTemplate control;
  control.kind = kind;
  control.id = number(words[1], lineNumber);
  control.caption = words[2];
  control.x = number(words[3], lineNumber);
  control.y = number(words[4], lineNumber);
  control.width = number(words[5], lineNumber);
  control.height = number(words[6], lineNumber);
  for (size_t i = 7; i < words.size(); ++i)
    applyFlag(control, words[i], lineNumber);
  return control;
}

void parseLine(DialogTemplate& dialog, const std::vector<std::string>& words, int lineNumber) {
  const std::string& keyword = words[0];
  if (keyword == "DIALOG") {
    if (words.size() != 7) {
      throw std::runtime_error("dialog layout line " + std::to_string(lineNumber) +
                               ": DIALOG id width height font points caption");
    }
    dialog.id = number(words[1], lineNumber);
    dialog.width = number(words[2], lineNumber);
    dialog.height = number(words[3], lineNumber);
    dialog.fontName = words[4];
    dialog.fontPoints = number(words[5], lineNumber);
    dialog.caption = words[6];
  } else if (keyword == "ITEMS") {
    if (words.size() < 2) {
      throw std::runtime_error("dialog layout line " + std::to_string(lineNumber) +
                               ": ITEMS needs an id");
    }
    dialog.items[number(words[1], lineNumber)].assign(words.begin() + 2, words.end());
  } else if (const auto kind = kinds().find(keyword); kind != kinds().end()) {
    dialog.controls.push_back(parseControl(words, kind->second, lineNumber));
  } else {
    throw std::runtime_error("dialog layout line " + std::to_string(lineNumber) +
                             ": unknown statement " + keyword);
  }
}

}  // namespace

bool ControlTemplate::inTabOrder() const {
  switch (kind) {
    case ControlKind::kLabel:
    case ControlKind::kGroupBox:
      return false;
    default:
      return !hidden;
  }
}

int DialogTemplate::initialFocus() const {
  for (const ControlTemplate& control : controls) {
    if (control.initialFocus) return control.id;
  }
  return -1;
}

const ControlTemplate* DialogTemplate::find(int controlId) const {
  for (const ControlTemplate& control : controls) {
    if (control.id == controlId && controlId != -1) return &control;
  }
  return nullptr;
}

DialogTemplate parseDialogTemplate(std::string_view text) {
  DialogTemplate dialog;
  int lineNumber = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    const std::vector<std::string> words = splitWords(line, lineNumber);
    if (words.empty() || words[0][0] == '#') continue;
    parseLine(dialog, words, lineNumber);
  }
  return dialog;
}

const DialogTemplate& mainDialogTemplate() {
  static const DialogTemplate dialog = parseDialogTemplate(resources::kMainDialog);
  return dialog;
}

const DialogTemplate& fontSelectDialogTemplate() {
  static const DialogTemplate dialog = parseDialogTemplate(resources::kFontSelectDialog);
  return dialog;
}

const DialogTemplate& fontViewDialogTemplate() {
  static const DialogTemplate dialog = parseDialogTemplate(resources::kFontViewDialog);
  return dialog;
}

}  // namespace varnel::ui
