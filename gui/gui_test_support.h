// Helpers for widget tests: find a widget by its object name (the control
// name), failing the test with that name when it is missing.
#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QString>

namespace quillon::gui::testing {

template <typename Widget>
Widget* Named(const QObject& root, const char* name) {
  auto* widget = root.findChild<Widget*>(QString::fromLatin1(name));
  if (!widget) ADD_FAILURE() << "no widget named " << name;
  return widget;
}

}  // namespace quillon::gui::testing
