// Option buttons and links of the Qt front end: a group is one tab stop that
// the arrows move within; a link looks like one and acts on a click, Space
// and Enter.
#include "gui/qt/qt_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::Named;
using testing::QtFormViewTest;

TEST_F(QtFormViewTest, AnOptionGroupIsOneTabStopAndArrowsMoveWithinIt) {
  Show();
  form_.Click("optDefault(1)");
  EXPECT_TRUE(Named<QRadioButton>(root_, "optDefault(1)")->isChecked());
  EXPECT_FALSE(Named<QRadioButton>(root_, "optDefault(0)")->focusPolicy() & Qt::TabFocus);
  Named<QCheckBox>(root_, "chkUseSMTP")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "optDefault(1)") << "the checked member";
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "optDefault(2)");
  EXPECT_TRUE(form_["optDefault(2)"].checked());
  EXPECT_FALSE(form_["optDefault(1)"].checked());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "cboServer") << "out of the group";
  // The form may leave the group with none checked.
  form_["optDefault(2)"].SetChecked(false);
  EXPECT_FALSE(Named<QRadioButton>(root_, "optDefault(2)")->isChecked());
}

TEST_F(QtFormViewTest, ALinkLooksLikeOneShowsTheHelpPointerAndActsOnClickSpaceAndEnter) {
  Show();
  int clicks = 0, okClicks = 0;
  form_.OnClick("lnkHelp", [&] { ++clicks; });
  form_.OnClick("cmdOK", [&] { ++okClicks; });
  auto* link = Named<QLabel>(root_, "lnkHelp");
  EXPECT_EQ(link->text(), "More about ports");
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->palette().color(QPalette::Active, QPalette::WindowText),
            link->palette().color(QPalette::Active, QPalette::Link));
  EXPECT_EQ(link->cursor().shape(), Qt::WhatsThisCursor);
  EXPECT_EQ(Named<QWidget>(root_, "frmSample.client")->cursor().shape(), Qt::ArrowCursor)
      << "the default pointer elsewhere";
  EXPECT_EQ(Named<QLabel>(root_, "lblPort")->cursor().shape(), Qt::ArrowCursor);

  QTest::mouseClick(link, Qt::LeftButton);
  QTest::mouseClick(link, Qt::RightButton);
  EXPECT_EQ(clicks, 1);
  // A tab stop after the file list; Space and Enter follow it.
  Named<QListWidget>(root_, "filExisting")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), link);
  QTest::keyClick(link, Qt::Key_Space);
  QTest::keyClick(link, Qt::Key_Return);
  QTest::qWait(50);
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(okClicks, 0) << "Enter on the link is not the default button's";
  form_["lnkHelp"].SetEnabled(false);
  QTest::mouseClick(link, Qt::LeftButton);
  EXPECT_EQ(clicks, 3);
  form_["lnkHelp"].SetText("Other help");
  EXPECT_EQ(link->text(), "Other help");
}

}  // namespace
}  // namespace quillon::gui
