// List boxes of the Qt front end: a double click or Enter on a line chooses
// it.
#include "gui/qt/qt_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::Named;
using testing::QtFormViewTest;

TEST_F(QtFormViewTest, ADoubleClickOrEnterOnAListsLineChoosesIt) {
  Show();
  std::vector<std::string> chosen;
  for (const char* key : {"dirExisting", "filExisting"}) {
    form_.OnDoubleClick(key, [&, key] {
      chosen.push_back(std::string(key) + ":" + std::to_string(form_[key].value()));
    });
  }
  int okClicks = 0;
  form_.OnClick("cmdOK", [&] { ++okClicks; });
  form_["dirExisting"].SetLines({"c:\\", "windows", "temp"});
  form_["filExisting"].SetLines({"a.ini", "b.ini"});
  auto* folders = Named<QListWidget>(root_, "dirExisting");
  // As the platform delivers a double click: a click, then the second press.
  const QPoint third = folders->visualItemRect(folders->item(2)).center();
  QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, third);
  QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {}, third);
  auto* files = Named<QListWidget>(root_, "filExisting");
  int lineClicks = 0;
  form_.OnClick("filExisting", [&] { ++lineClicks; });
  const QPoint second = files->visualItemRect(files->item(1)).center();
  QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, second);
  EXPECT_EQ(chosen, (std::vector<std::string>{"dirExisting:2"})) << "one click is no choice";
  // Each click on a line is one Click, also on the line already chosen, and
  // so is a move by key; the logic's choice is none.
  EXPECT_EQ(lineClicks, 1);
  QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, second);
  EXPECT_EQ(lineClicks, 2);
  QTest::keyClick(files, Qt::Key_Up);
  EXPECT_EQ(lineClicks, 3);
  EXPECT_EQ(form_["filExisting"].value(), 0);
  form_["filExisting"].SetValue(1);
  EXPECT_EQ(lineClicks, 3);
  files->setFocus();
  QTest::keyClick(files, Qt::Key_Return);
  EXPECT_EQ(chosen, (std::vector<std::string>{"dirExisting:2", "filExisting:1"}));
  // Without a line chosen, Enter is the default button's.
  form_["filExisting"].SetValue(-1);
  QTest::keyClick(files, Qt::Key_Return);
  QTRY_COMPARE_WITH_TIMEOUT(okClicks, 1, 2000);
  EXPECT_EQ(chosen.size(), 2U);
}

}  // namespace
}  // namespace quillon::gui
