// An image file loaded the way the editor loads one.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "image/bios_image.h"
#include "ui/messages.h"

namespace varnel::cli {

struct LoadedImage {
  std::string path;
  std::unique_ptr<BiosImage> image = std::make_unique<BiosImage>();
  bool readOk = false;
  std::string readError;
  int32_t bytesRead = 0;
  int validateCode = -1;
  // Refused as a whole, but its VGA fonts alone may be edited: a BIOS of a
  // later family with sound checksums.
  bool fontsOnly = false;
  bool checksumsValid = false;

  // Valid as a whole; checksums aside.
  bool usable() const { return readOk && validateCode == 0; }
  // The editor's message for what went wrong: file error, invalid image or
  // bad checksums; nothing when the image is fine, or opens fonts only.
  std::optional<ui::MessageId> refusal() const;
  // The status a command reports for this image: its refusal's, or fine.
  ExitStatus status() const;
  // The editor's message for what went wrong; empty when nothing did.
  const char* editorMessage() const;
  // The editor's message, and the system's reason when the file could not
  // be read.
  std::string failureMessage() const;
};

// Reset, read at most 65536 bytes, validate, and check the checksums only
// when validation passed. With `traceScripts` the load collects the traces of
// the scripts it finds in the image's `scriptTrace`.
LoadedImage loadImageFile(const std::string& path, bool traceScripts = false);

}  // namespace varnel::cli
