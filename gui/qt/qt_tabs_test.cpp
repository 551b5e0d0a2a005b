// Tab controls of the Qt front end: unavailable pages, pages switched by
// code, and many pages switched fast.
#include "gui/qt/qt_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::Named;
using testing::QtFormViewTest;

TEST_F(QtFormViewTest, AnUnavailablePageCannotBeChosenByClickOrCtrlTab) {
  Show();
  ControlModel& pages = form_["sstPages"];
  auto* tabs = Named<QTabWidget>(root_, "sstPages");
  const auto clickTab = [&](int page) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(page).center());
  };
  pages.SetPageEnabled(1, false);
  EXPECT_FALSE(tabs->isTabEnabled(1));
  EXPECT_TRUE(tabs->isEnabled());
  clickTab(1);
  EXPECT_EQ(pages.value(), 0);
  clickTab(2);
  EXPECT_EQ(pages.value(), 2) << "an available page is chosen by a click";
  EXPECT_TRUE(Named<QCheckBox>(root_, "chkVerbose")->isVisible());

  // Ctrl+Tab and Ctrl+Shift+Tab from a control on a page go round past it.
  Named<QCheckBox>(root_, "chkVerbose")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pages.value(), 0);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pages.value(), 2);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                  Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(pages.value(), 0);
  // And from the tab bar itself, with the arrow keys too.
  tabs->tabBar()->setFocus();
  QTest::keyClick(tabs->tabBar(), Qt::Key_Right);
  EXPECT_EQ(pages.value(), 2);
  QTest::keyClick(tabs->tabBar(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pages.value(), 0);

  // The logic greys the page shown: it stays until the logic leaves it.
  pages.SetValue(2);
  pages.SetPageEnabled(2, false);
  EXPECT_EQ(tabs->currentIndex(), 2);
  EXPECT_TRUE(Named<QCheckBox>(root_, "chkVerbose")->isVisible());
  pages.SetPageEnabled(1, true);
  EXPECT_TRUE(tabs->isTabEnabled(1));
  pages.SetEnabled(false);
  EXPECT_FALSE(tabs->isEnabled());
  EXPECT_TRUE(tabs->isTabEnabled(1)) << "the whole control is not a page";

  // Unavailable before the window is made: greyed from the start.
  Form other(testing::SampleForm());
  other["sstPages"].SetPageEnabled(2, false);
  QWidget otherRoot;
  QtFormView otherView(other, otherRoot);
  EXPECT_FALSE(Named<QTabWidget>(otherRoot, "sstPages")->isTabEnabled(2));
  EXPECT_TRUE(Named<QTabWidget>(otherRoot, "sstPages")->isTabEnabled(1));
}

TEST_F(QtFormViewTest, PagesSwitchedByCodeShowNoHeadersOnlyTheirFrameAndControls) {
  Show();
  QWidget* steps = Named<QWidget>(root_, "sstSteps");
  EXPECT_FALSE(qobject_cast<QTabWidget*>(steps));
  EXPECT_TRUE(steps->findChildren<QTabBar*>().isEmpty());
  ASSERT_TRUE(qobject_cast<QFrame*>(steps));
  EXPECT_NE(qobject_cast<QFrame*>(steps)->frameShape(), QFrame::NoFrame);
  EXPECT_TRUE(steps->isVisible());
  EXPECT_TRUE(Named<QLineEdit>(root_, "txtFirstStep")->isVisible());
  EXPECT_FALSE(Named<QCheckBox>(root_, "chkSecondStep")->isVisible());
  form_["sstSteps"].SetValue(1);
  EXPECT_FALSE(Named<QLineEdit>(root_, "txtFirstStep")->isVisible());
  EXPECT_TRUE(Named<QCheckBox>(root_, "chkSecondStep")->isVisible());
  // Ctrl+Tab is for pages with headers: it switches the other tab control.
  Named<QCheckBox>(root_, "chkSecondStep")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(form_["sstSteps"].value(), 1);
  EXPECT_EQ(form_["sstPages"].value(), 1);
  form_["sstSteps"].SetVisible(false);
  EXPECT_FALSE(Named<QCheckBox>(root_, "chkSecondStep")->isVisible()) << "hidden with its frame";
}

TEST(QtFormViewPagesTest, TwentyPagesOfThreeHundredControlsBuildAndSwitchFast) {
  constexpr int kPages = 20, kPerPage = 15;
  FormDescription described;
  described.name = "frmMany";
  described.caption = "Many";
  described.width = 400;
  described.height = 300;
  described.controls.push_back(
      Control(ControlKind::TabControl, "sstMany", "", {4, 4, 392, 292}, kAnchorAll)
          .Columns(std::vector<std::string>(kPages, "page"))
          .HideTabs());
  for (int page = 0; page < kPages; ++page) {
    for (int i = 0; i < kPerPage; ++i) {
      const ControlKind kind = i % 3 == 0   ? ControlKind::Label
                               : i % 3 == 1 ? ControlKind::TextBox
                                            : ControlKind::CheckBox;
      described.controls.push_back(
          Control(kind, "ctl", "Item", {10 + (i % 3) * 120, 10 + (i / 3) * 16, 110, 12})
              .Member(page * kPerPage + i)
              .OnPage("sstMany", page));
    }
  }
  Form form(described);
  QElapsedTimer built;
  built.start();
  QWidget root;
  QtFormView view(form, root);
  root.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&root));
  const qint64 buildMs = built.elapsed();

  const auto key = [](int page, int i) {
    return "ctl(" + std::to_string(page * kPerPage + i) + ")";
  };
  std::vector<qint64> switches;
  for (int round = 0; round < 2; ++round) {
    for (int page = 0; page < kPages; ++page) {
      const int next = (page + 7) % kPages;
      QElapsedTimer timer;
      timer.start();
      form["sstMany"].SetValue(next);
      QCoreApplication::processEvents();  // what the switch leaves to draw
      switches.push_back(timer.nsecsElapsed() / 1000);
      ASSERT_TRUE(view.Widget(key(next, kPerPage - 1))->isVisible()) << next;
      ASSERT_FALSE(view.Widget(key((next + 1) % kPages, 0))->isVisible()) << next;
    }
  }
  std::sort(switches.begin(), switches.end());
  const qint64 median = switches[switches.size() / 2], slowest = switches.back();
  std::printf(
      "built and shown in %lld ms; page switch median %lld us, slowest "
      "%lld us\n",
      static_cast<long long>(buildMs), static_cast<long long>(median),
      static_cast<long long>(slowest));
  EXPECT_LT(median, 16000) << "a page switch takes a frame or more";
  EXPECT_LT(buildMs, 5000);
}

}  // namespace
}  // namespace quillon::gui
