// Every message box the editor shows: its text, caption and style, and the
// status varnel-cli exits with when the editor it drives shows it. The
// editor, the command line and the checks of the manual read them here.
#pragma once

#include <array>
#include <cstddef>

namespace varnel {

// Exit statuses of varnel-cli.
enum ExitStatus : int {
  kExitOk = 0,
  kExitFileError = 1,
  kExitInvalidImage = 2,
  kExitChecksumsBad = 3,
  kExitDifferent = 5,  // diff: the images differ
  kExitRefused = 6,    // the change is not possible for this image or file
  kExitWarnings = 7,   // check: a change the user should read before flashing
  kExitUsage = 64,     // the command line itself is wrong
};

namespace ui {

// Message box styles, with the values the dialogs know them by.
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbYesNoCancel = 0x03;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr unsigned kMbIconMask = 0xF0;
inline constexpr unsigned kMbDefButton2 = 0x100;  // the second button answers Enter

enum class MessageId {
  kNotValidImage,
  kChecksumsBad,
  kReconstructionFailed,
  kErrorOpeningFile,
  kErrorAnalyzingFile,
  kErrorSavingFile,
  kInvalidFile,
  kNoFonts8x8,
  kNoFonts8x16,
  kImplausibleFont8x8,
  kImplausibleFont8x16,
  kUnreadableCodePageFile,
  kUnusablePsfFont,
  kSaveChanges,
  kReaderToolMissing,
  kHelpFileMissing,
  kHelpFileDamaged,
  kConfirmSave,
  kConfirmSaveWithWarnings,
  kNothingChanged,
  kFontRefused,
};

struct Message {
  MessageId id;
  const char* text;
  const char* caption;  // null: the application's name
  unsigned style;
  ExitStatus exitStatus;
};

inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kWarningCaption = "Warning";
inline constexpr unsigned kFontQuestionStyle = kMbYesNo | kMbIconQuestion | kMbDefButton2;

inline constexpr std::array kMessages{
    Message{MessageId::kNotValidImage, "This is not a valid ATi BIOS", kErrorCaption, kMbIconError,
            kExitInvalidImage},
    Message{MessageId::kChecksumsBad, "Checksums bad", kErrorCaption, kMbIconError,
            kExitChecksumsBad},
    Message{MessageId::kReconstructionFailed, "BIOS reconstruction failed", kErrorCaption,
            kMbIconError, kExitChecksumsBad},
    Message{MessageId::kErrorOpeningFile, "Error opening file", kErrorCaption, kMbIconError,
            kExitFileError},
    Message{MessageId::kErrorAnalyzingFile, "Error analyzing file", kErrorCaption, kMbIconError,
            kExitFileError},
    Message{MessageId::kErrorSavingFile, "Error saving file", kErrorCaption, kMbIconError,
            kExitFileError},
    Message{MessageId::kInvalidFile, "Invalid file", kErrorCaption, kMbIconError, kExitRefused},
    Message{MessageId::kNoFonts8x8, "There are no 8x8 fonts int this file.", nullptr, kMbOk,
            kExitRefused},
    Message{MessageId::kNoFonts8x16, "There are no 8x16 fonts int this file.", nullptr, kMbOk,
            kExitRefused},
    Message{MessageId::kImplausibleFont8x8,
            "This file does not seem to be a valid 8x8 font.\nDo you really want to load it?",
            kWarningCaption, kFontQuestionStyle, kExitRefused},
    Message{MessageId::kImplausibleFont8x16,
            "This file does not seem to be a valid 8x16 font.\nDo you really want to load it?",
            kWarningCaption, kFontQuestionStyle, kExitRefused},
    Message{MessageId::kUnreadableCodePageFile, "Not a readable code-page file", kErrorCaption,
            kMbIconError, kExitRefused},
    Message{MessageId::kUnusablePsfFont, "Not a usable PSF font", kErrorCaption, kMbIconError,
            kExitRefused},
    Message{MessageId::kSaveChanges, "Save the changes to the BIOS image?", nullptr,
            kMbYesNoCancel | kMbIconQuestion, kExitRefused},
    Message{MessageId::kReaderToolMissing, "The reader tool cannot be started", kErrorCaption,
            kMbIconError, kExitFileError},
    Message{MessageId::kHelpFileMissing, "The help file is missing", kErrorCaption, kMbIconError,
            kExitFileError},
    Message{MessageId::kHelpFileDamaged, "The help file is damaged", kErrorCaption, kMbIconError,
            kExitFileError},
    // Before a save: what it changes against the file as loaded. With a
    // warning, Enter answers No.
    Message{MessageId::kConfirmSave, "Save the image with these changes?", nullptr,
            kMbYesNo | kMbIconQuestion, kExitRefused},
    Message{MessageId::kConfirmSaveWithWarnings,
            "Save the image with these changes? Read the warnings first.", kWarningCaption,
            kMbYesNo | kMbIconWarning | kMbDefButton2, kExitRefused},
    Message{MessageId::kNothingChanged, "Nothing differs from the loaded image. Save it anyway?",
            nullptr, kMbYesNo | kMbIconQuestion, kExitRefused},
    // The document's reason goes under it.
    Message{MessageId::kFontRefused, "This font cannot be loaded into this BIOS", kErrorCaption,
            kMbIconError, kExitRefused},
};

constexpr bool eachMessageSitsAtItsId() {
  for (std::size_t i = 0; i < kMessages.size(); ++i) {
    if (static_cast<std::size_t>(kMessages[i].id) != i) return false;
  }
  return true;
}
static_assert(eachMessageSitsAtItsId() &&
                  kMessages.size() == static_cast<std::size_t>(MessageId::kFontRefused) + 1,
              "kMessages lists every message once, in the order of MessageId");

// The questions a save asks first, with the list of what it changes.
constexpr bool isSaveConfirmation(MessageId id) {
  return id == MessageId::kConfirmSave || id == MessageId::kConfirmSaveWithWarnings ||
         id == MessageId::kNothingChanged;
}

constexpr const Message& message(MessageId id) {
  return kMessages[static_cast<std::size_t>(id)];
}

}  // namespace ui
}  // namespace varnel
