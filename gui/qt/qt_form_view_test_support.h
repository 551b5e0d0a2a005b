// What the tests of the Qt front end share: the window with a control of
// every kind (the fixture, shown and active on request) and text for Qt.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "gui/form_test_support.h"
#include "gui/qt/qt_form_view.h"
#include "gui/gui_test_support.h"

namespace quillon::gui::testing {

inline QString Text(const std::string& text) { return QString::fromStdString(text); }

class QtFormViewTest : public ::testing::Test {
 protected:
  void Show() {
    root_.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&root_));
  }
  Form form_{SampleForm()};
  QWidget root_;
  QtFormView view_{form_, root_};
};

}  // namespace quillon::gui::testing
