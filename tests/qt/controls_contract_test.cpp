// The contract of every DialogControls, kept by the headless controls the
// behaviour tests use and by the Qt controls the editor runs on.
#include <gtest/gtest.h>

#include <QDialog>

#include "support/controls_contract.h"
#include "ui/headless_controls.h"
#include "ui/qt/dialog_builder.h"
#include "ui/qt/qt_dialog_controls.h"

namespace varnel::test {
namespace {

struct FakeBackend {
  HeadlessControls fake{mainDialogTemplate()};
  DialogControls& controls() { return fake; }
  void setEvents(DialogEvents* events) { fake.setEvents(events); }
};

struct QtBackend {
  QDialog dialog;
  qtui::BuiltDialog built = qtui::buildDialog(dialog, mainDialogTemplate());
  qtui::QtDialogControls qt{dialog, built.widgets};
  DialogControls& controls() { return qt; }
  void setEvents(DialogEvents* events) { qt.setEvents(events); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Fake, ControlsContract, testing::Types<FakeBackend>);
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, ControlsContract, testing::Types<QtBackend>);

}  // namespace
}  // namespace varnel::test
