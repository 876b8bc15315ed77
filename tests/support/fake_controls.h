// The editor's in-memory window, as the headless tests know it.
#pragma once

#include "ui/headless_controls.h"

namespace varnel::test {

using FakeControls = ui::HeadlessControls;

}  // namespace varnel::test
