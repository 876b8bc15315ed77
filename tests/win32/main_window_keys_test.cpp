// The Win32 main window shown, active and focused, driven by the keyboard
// as a user drives it: the keys reach the editor as the Qt window sends
// them, and the dialog's own keys (Tab, Enter, Escape, mnemonics) keep
// their meaning.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "support/keyboard_table.h"
#include "support/rom_builder.h"
#include "ui/control_ids.h"
#include "ui/dialog_template.h"
#include "ui/win32/main_window.h"
#include "win32/fixed_directory_system.h"

namespace varnel::test {
namespace {

using namespace ui;

// No files and no processes: the test's platform serves its image itself.
test::FixedDirectorySystem& noSystem() {
  static test::FixedDirectorySystem system("");
  return system;
}

// Answers the unsaved-changes question from a list (none left: Cancel) and
// counts the dialogs the editor opened; no window waits for a user.
class KeysPlatform final : public Platform {
 public:
  KeysPlatform() : Platform(noSystem()) {}

  std::map<std::string, Bytes> files;
  std::deque<int> answers;
  int fileDialogs = 0;
  int questions = 0;
  int helpRequests = 0;

  std::optional<std::string> fileDialog(const FileDialogRequest&) override {
    ++fileDialogs;
    return std::nullopt;
  }
  int messageBox(const Message& shown, const std::string&) override {
    if (isSaveConfirmation(shown.id)) return kIdYes;  // a save's list of changes
    if (shown.id != MessageId::kSaveChanges) return 1;
    ++questions;
    if (answers.empty()) return kIdCancel;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  int selectFont(const CpiFontEntry*, int, const FontGlyphReader&) override { return -1; }
  void showFonts(const BiosImage&) override {}
  bool showHelp(const std::string&) override {
    ++helpRequests;
    return true;
  }
  // The help file is there, beside the program (whose folder is "").
  std::optional<std::string> readRegularFile(const std::string& path, size_t limit) override {
    if (path == kHelpFileName) return std::string("help");
    return Platform::readRegularFile(path, limit);
  }
  size_t readFile(const std::string& path, std::span<uint8_t> buffer) override {
    const auto file = files.find(path);
    if (file == files.end()) throw FileError("no file " + path);
    const size_t size = std::min(buffer.size(), file->second.size());
    std::memcpy(buffer.data(), file->second.data(), size);
    return size;
  }
};

struct Key {
  WORD code;
  bool alt = false;
  bool control = false;
  bool shift = false;
};

constexpr Key kEnter{VK_RETURN};
constexpr Key kEscape{VK_ESCAPE};
constexpr Key kPageUp{VK_PRIOR};
constexpr Key kTab{VK_TAB};
constexpr Key kF1{VK_F1};
constexpr Key kF4{VK_F4};
constexpr Key kDown{VK_DOWN};
constexpr Key kSpace{VK_SPACE};
constexpr Key kAltF4{VK_F4, true};
constexpr Key kAltL{'L', true};
constexpr Key kEnd{VK_END};
constexpr Key kCtrlA{'A', false, true};
constexpr Key kCtrlZ{'Z', false, true};
constexpr Key kCtrlY{'Y', false, true};
constexpr Key kCtrlShiftZ{'Z', false, true, true};
constexpr Key kDigit1{'1'};
constexpr Key kDigit8{'8'};
constexpr Key kDigit3{'3'};

INPUT keyInput(WORD code, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = code;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

class ShownMainWindow : public testing::Test {
 protected:
  ShownMainWindow() : window(platform) {
    platform.files["sample.rom"] = buildRom().bytes;
    window.initialize();
    ShowWindow(window.handle(), SW_SHOW);
    SetForegroundWindow(window.handle());
    pumpUntil([this] { return GetForegroundWindow() == window.handle(); });
  }

  void SetUp() override {
    ASSERT_EQ(GetForegroundWindow(), window.handle()) << "the window was not activated";
    window.editor().LoadBiosFile("sample.rom", false);
    ASSERT_TRUE(window.editor().document.isOpen());
  }

  HWND control(int id) const { return GetDlgItem(window.handle(), id); }
  int focusedId() const { return GetDlgCtrlID(GetFocus()); }

  // Runs the program's loop until `done` holds or two seconds passed.
  template <typename Done>
  void pumpUntil(Done done) {
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < 2000) {
      pump();
      Sleep(10);
    }
  }
  void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      window.processMessage(message);
  }

  // As a click or Tab moves it: a push button focused is the one Enter
  // presses.
  void focus(int id) {
    SendMessageW(window.handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(id)), TRUE);
    pump();
    ASSERT_EQ(focusedId(), id);
  }

  // A key pressed and released on the keyboard, and the loop run until
  // the window handled it.
  void press(Key key) {
    std::vector<INPUT> inputs;
    if (key.alt) inputs.push_back(keyInput(VK_MENU, false));
    if (key.control) inputs.push_back(keyInput(VK_CONTROL, false));
    if (key.shift) inputs.push_back(keyInput(VK_SHIFT, false));
    inputs.push_back(keyInput(key.code, false));
    inputs.push_back(keyInput(key.code, true));
    if (key.shift) inputs.push_back(keyInput(VK_SHIFT, true));
    if (key.control) inputs.push_back(keyInput(VK_CONTROL, true));
    if (key.alt) inputs.push_back(keyInput(VK_MENU, true));
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
              inputs.size());
    // The key's messages are in the queue once SendInput returns.
    pump();
    Sleep(20);
    pump();
  }

  // Replaces the focused edit's text by typing the digits.
  void typeDigits(const std::string& digits) {
    SendMessageW(GetFocus(), EM_SETSEL, 0, -1);
    for (const char digit : digits)
      press(Key{static_cast<WORD>(digit)});
  }

  KeysPlatform platform;
  win32ui::MainWindow window;
};

// A file dropped on the window (Explorer's drag and drop) is loaded, after
// the question about unsaved edits; of several files, the first.
TEST_F(ShownMainWindow, ADroppedFileIsLoadedAfterTheQuestion) {
  platform.files["dropped.rom"] = buildRom().bytes;
  const std::wstring names = L"dropped.rom\0other.rom\0";
  const size_t bytes = sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t);
  auto drop = [&] {
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), names.c_str(),
                (names.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(window.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  };
  focus(kIdCoreSlider);
  press(kPageUp);  // an edit the drop would replace
  drop();          // the question is cancelled: the image stays
  EXPECT_EQ(platform.questions, 1);
  EXPECT_EQ(window.editor().document.fileName(), "sample.rom");
  platform.answers.push_back(kIdNo);
  drop();
  EXPECT_EQ(window.editor().document.fileName(), "dropped.rom");
}

TEST_F(ShownMainWindow, TheFocusStartsOnLoad) {
  win32ui::MainWindow fresh(platform);
  fresh.initialize();
  ShowWindow(fresh.handle(), SW_SHOW);
  SetForegroundWindow(fresh.handle());
  pumpUntil([&] { return GetForegroundWindow() == fresh.handle(); });
  EXPECT_EQ(GetDlgCtrlID(GetFocus()), kIdLoad);
}

// The keyboard on the window shown and active, every control enabled and
// its events going to a recorder: the table every front end runs.
class KeyboardOnTheWindow : public ShownMainWindow,
                            public testing::WithParamInterface<KeyboardCase> {
 protected:
  void stroke(const Stroke& s) {
    switch (s.kind) {
      case Stroke::kTab:
        return press(kTab);
      case Stroke::kShiftTab:
        return press(Key{VK_TAB, false, false, true});
      case Stroke::kEnter:
        return press(kEnter);
      case Stroke::kAlt:
        return press(
            Key{static_cast<WORD>(std::toupper(static_cast<unsigned char>(s.letter))), true});
    }
  }
};

TEST_P(KeyboardOnTheWindow, FollowsTheTable) {
  const KeyboardCase& c = GetParam();
  PressRecorder recorder;
  window.controls().setEvents(&recorder);
  for (const ControlTemplate& control : mainDialogTemplate().controls) {
    if (control.id != -1) EnableWindow(this->control(control.id), TRUE);
  }
  focus(c.start);
  for (const Stroke& s : c.strokes)
    stroke(s);
  if (c.focusAfter != 0) {
    EXPECT_EQ(focusedId(), c.focusAfter);
  }
  EXPECT_EQ(recorder.pressed, c.pressed);
  window.controls().setEvents(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyboardOnTheWindow, testing::ValuesIn(keyboardCases()),
                         [](const testing::TestParamInfo<KeyboardCase>& info) {
                           return info.param.name;
                         });

struct KeyCase {
  const char* name = "";
  int focusId = 0;
  const char* typed = "";  // digits typed into the focused edit first
  std::vector<Key> keys = {};
  std::vector<int> answers = {};  // to the unsaved-changes question
  // What it does:
  int sliderId = 0;        // 0: no clock to check
  int sliderPosition = 0;  // and the text of the focused edit, once taken
  int fileDialogs = 0;
  int questions = 0;
  int helpRequests = 0;
  bool stillOpen = true;
  bool clocksSynchronized = false;
};

void PrintTo(const KeyCase& keyCase, std::ostream* out) {
  *out << keyCase.name;
}

class KeysOnTheWindow : public ShownMainWindow, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeysOnTheWindow, DoWhatTheyDoOnEveryWindow) {
  const KeyCase& c = GetParam();
  platform.answers.assign(c.answers.begin(), c.answers.end());
  focus(c.focusId);
  typeDigits(c.typed);
  for (const Key& key : c.keys)
    press(key);
  if (c.sliderId != 0) {
    EXPECT_EQ(window.controls().trackbarPosition(c.sliderId), c.sliderPosition);
    EXPECT_EQ(window.controls().text(c.focusId), std::to_string(c.sliderPosition));
  }
  EXPECT_EQ(platform.fileDialogs, c.fileDialogs);
  EXPECT_EQ(platform.questions, c.questions);
  EXPECT_EQ(platform.helpRequests, c.helpRequests);
  EXPECT_EQ(window.isOpen(), c.stillOpen);
  if (window.isOpen()) {
    EXPECT_EQ(window.editor().document.clocksSynchronized(), c.clocksSynchronized);
  }
}

// Each case starts on the window with the sample loaded and no change.
const KeyCase kKeyCases[] = {
    // Enter in a clock edit takes the clock, brought into its range, and
    // presses no default button; leaving the edit takes it too.
    {.name = "EnterInTheCoreEditTakesIt",
     .focusId = kIdCoreEdit,
     .typed = "30",
     .keys = {kEnter},
     .sliderId = kIdCoreSlider,
     .sliderPosition = 50},
    {.name = "EnterInTheMemoryEditTakesIt",
     .focusId = kIdMemoryEdit,
     .typed = "600",
     .keys = {kEnter},
     .sliderId = kIdMemorySlider,
     .sliderPosition = 575},
    // Ctrl+A in a clock edit selects its digits: what is typed next
    // replaces the clock instead of joining the old digits.
    {.name = "CtrlAInAClockEditSelectsItAll",
     .focusId = kIdCoreEdit,
     .keys = {kEnd, kCtrlA, kDigit1, kDigit8, kDigit3, kTab},
     .sliderId = kIdCoreSlider,
     .sliderPosition = 183},
    {.name = "TabFromTheCoreEditTakesIt",
     .focusId = kIdCoreEdit,
     .typed = "30",
     .keys = {kTab},
     .sliderId = kIdCoreSlider,
     .sliderPosition = 50},
    {.name = "AltAndAMnemonicPressItsButton",
     .focusId = kIdCoreSlider,
     .keys = {kAltL},
     .fileDialogs = 1},
    {.name = "F1OpensHelp", .focusId = kIdCoreEdit, .keys = {kF1}, .helpRequests = 1},
    {.name = "EscapeWithoutChangesCloses",
     .focusId = kIdCoreSlider,
     .keys = {kEscape},
     .stillOpen = false},
    {.name = "EscapeAsksAndCancelStays",
     .focusId = kIdCoreSlider,
     .keys = {kPageUp, kEscape},
     .questions = 1},
    {.name = "EscapeAsksAndNoCloses",
     .focusId = kIdCoreSlider,
     .keys = {kPageUp, kEscape},
     .answers = {kIdNo},
     .questions = 1,
     .stillOpen = false},
    {.name = "AltF4Asks", .focusId = kIdCoreSlider, .keys = {kPageUp, kAltF4}, .questions = 1},
    // A check box toggled with the keyboard reaches the editor.
    {.name = "SpaceOnACheckBoxReachesTheEditor",
     .focusId = kIdSyncClocks,
     .keys = {kSpace},
     .clocksSynchronized = true},
    // Another CAS chosen with the keyboard reaches the editor.
    {.name = "ChoosingACasAsks", .focusId = kIdCas, .keys = {kDown, kEscape}, .questions = 1},
    // Escape in an open list closes the list, not the window.
    {.name = "EscapeInAnOpenListOnlyClosesIt", .focusId = kIdCas, .keys = {kF4, kEscape}},
    // Ctrl+Z undoes even in an edit (a typed clock is taken first, as one
    // step); Ctrl+Y and Ctrl+Shift+Z redo. Undone to the image as loaded,
    // Escape asks nothing.
    {.name = "CtrlZInAClockEditUndoesTheTypedClock",
     .focusId = kIdCoreEdit,
     .typed = "183",
     .keys = {kCtrlZ},
     .sliderId = kIdCoreSlider,
     .sliderPosition = 275},
    {.name = "CtrlYRedoes",
     .focusId = kIdCoreEdit,
     .typed = "183",
     .keys = {kCtrlZ, kCtrlY},
     .sliderId = kIdCoreSlider,
     .sliderPosition = 183},
    {.name = "CtrlShiftZRedoes",
     .focusId = kIdCoreEdit,
     .typed = "183",
     .keys = {kCtrlZ, kCtrlShiftZ},
     .sliderId = kIdCoreSlider,
     .sliderPosition = 183},
    {.name = "UndoneToTheLoadedImageEscapeAsksNothing",
     .focusId = kIdCoreSlider,
     .keys = {kPageUp, kCtrlZ, kEscape},
     .stillOpen = false},
    // A clock typed and not yet taken is a change too.
    {.name = "EscapeAfterTypingAsks",
     .focusId = kIdCoreEdit,
     .typed = "183",
     .keys = {kEscape},
     .sliderId = kIdCoreSlider,
     .sliderPosition = 183,
     .questions = 1},
};

INSTANTIATE_TEST_SUITE_P(Keys, KeysOnTheWindow, testing::ValuesIn(kKeyCases),
                         [](const testing::TestParamInfo<KeyCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace varnel::test
