// The editor's behaviour on fake controls and a scripted platform, with a
// temporary program directory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/rom_builder.h"
#include "support/scripted_platform.h"
#include "support/test_paths.h"
#include "ui/editor_dialog.h"
#include "ui/headless_controls.h"

namespace varnel::test {

class EditorFixture : public testing::Test {
 protected:
  EditorFixture();

  // Writes a Vendor.IDs beside the program before start-up.
  void writeVendorList(const std::string& text);
  void startUp();
  // Loads bytes through the Load button and the scripted file dialog.
  void load(const Bytes& bytes, const std::string& name = "image.rom");
  // Saves through the Save button; returns the saved bytes.
  Bytes save(const std::string& name = "saved.rom");
  Bytes imageBytes() const;
  // Everything the window shows, one line per control, for comparing the
  // window before and after a command.
  std::string windowState() const;

  TempDir programDir;
  TempDir work;
  ui::HeadlessControls controls;
  ScriptedPlatform platform;
  std::unique_ptr<ui::EditorDialog> editor;
};

}  // namespace varnel::test
