// The Qt front end's menu bar and toolbar: unavailable commands greyed and
// taking no clicks.
#include "gui/qt/qt_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::Named;
using testing::QtFormViewTest;

TEST_F(QtFormViewTest, UnavailableCommandsAreGreyedInMenuAndToolbarAndTakeNoClicks) {
  Show();
  std::vector<std::string> clicked;
  form_.OnClick("mnuFileOpen", [&] { clicked.push_back("open"); });
  auto* toolbar = Named<QToolBar>(root_, "frmSample.toolbar");
  ASSERT_EQ(toolbar->actions().size(), 4);
  EXPECT_TRUE(toolbar->actions()[1]->isSeparator());
  // The command is both a menu entry and a tool.
  const QList<QAction*> open = root_.findChildren<QAction*>("mnuFileOpen");
  ASSERT_EQ(open.size(), 2);
  QAction* tool = toolbar->actions()[2];
  QMenu* file = Named<QMenu>(root_, "mnuFile");
  QAction* entry = open[0] == tool ? open[1] : open[0];
  QWidget* toolButton = toolbar->widgetForAction(tool);
  ASSERT_TRUE(toolButton);
  const auto chooseInMenu = [&] {
    file->popup(root_.mapToGlobal(QPoint(0, 0)));
    QTRY_VERIFY_WITH_TIMEOUT(file->isVisible(), 2000);
    QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(entry).center());
    file->hide();
  };

  form_.SetCommandEnabled("mnuFileOpen", false);
  for (QAction* action : open) EXPECT_FALSE(action->isEnabled());
  EXPECT_FALSE(toolButton->isEnabled());
  QTest::mouseClick(toolButton, Qt::LeftButton);
  chooseInMenu();
  EXPECT_TRUE(clicked.empty()) << "a greyed command was clicked";

  form_.SetCommandEnabled("mnuFileOpen", true);
  for (QAction* action : open) EXPECT_TRUE(action->isEnabled());
  QTest::mouseClick(toolButton, Qt::LeftButton);
  chooseInMenu();
  EXPECT_EQ(clicked, (std::vector<std::string>{"open", "open"}));

  // Unavailable before the window is made: greyed from the start.
  Form other(testing::SampleForm());
  other.SetCommandEnabled("tbrSave", false);
  QWidget otherRoot;
  QtFormView otherView(other, otherRoot);
  EXPECT_FALSE(Named<QAction>(otherRoot, "tbrSave")->isEnabled());
  EXPECT_TRUE(Named<QAction>(otherRoot, "tbrNew")->isEnabled());
}

}  // namespace
}  // namespace quillon::gui
