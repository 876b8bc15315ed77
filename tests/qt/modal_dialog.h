// Acting on a modal window the code under test runs, as a user would: once
// it is up, active and focused.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace varnel::test {

// Runs `act` on the next modal window once it is active and one of its
// controls has the focus. A window that does not come up so is closed, so
// that the test fails instead of waiting.
inline void whenModalOpens(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) {
      ADD_FAILURE() << "no modal window came up";
      return;
    }
    // As a window manager does; asked again, since the deactivation of a
    // window closed just before may arrive after the first request.
    const bool active = QTest::qWaitFor([dialog] {
      if (!dialog->isActiveWindow()) dialog->activateWindow();
      const QWidget* focus = QApplication::focusWidget();
      return dialog->isActiveWindow() && focus != nullptr && focus->window() == dialog;
    });
    if (!active) {
      ADD_FAILURE() << "the modal window did not become active";
      dialog->close();
      return;
    }
    act(dialog);
  });
}

// Presses a key on whatever has the focus, through the window system.
inline void pressKey(Qt::Key key) {
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr) {
    ADD_FAILURE() << "nothing has the focus";
    return;
  }
  QTest::keyClick(focus->window()->windowHandle(), key);
}

inline QPushButton* buttonNamed(QWidget* dialog, const QString& text) {
  for (auto* candidate : dialog->findChildren<QPushButton*>()) {
    if (candidate->text() == text) return candidate;
  }
  return nullptr;
}

}  // namespace varnel::test
