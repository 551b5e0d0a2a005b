// The Qt front end on a window with a control of every kind: the widgets it
// makes, the logic's changes shown, the user's keys and clicks in the models.
#include "gui/qt/qt_form_view.h"

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
#include "gui/gui_test_support.h"

namespace quillon::gui {
namespace {

using testing::Named;

QString Text(const std::string& text) { return QString::fromStdString(text); }

class QtFormViewTest : public ::testing::Test {
 protected:
  void Show() {
    root_.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&root_));
  }
  Form form_{testing::SampleForm()};
  QWidget root_;
  QtFormView view_{form_, root_};
};

TEST_F(QtFormViewTest, EveryKindBecomesItsWidgetNamedByItsKeyInTabOrder) {
  EXPECT_EQ(root_.objectName(), "frmSample");
  EXPECT_EQ(root_.windowTitle(), "Sample");
  EXPECT_TRUE(Named<QLabel>(root_, "lblPort"));
  EXPECT_EQ(Named<QLineEdit>(root_, "txtSMTPServerPort")->text(), "25");
  EXPECT_TRUE(Named<QPlainTextEdit>(root_, "txtNotes"));
  EXPECT_EQ(Named<QCheckBox>(root_, "chkUseSMTP")->text(), "Use &SMTP");
  EXPECT_EQ(Named<QRadioButton>(root_, "optDefault(2)")->text(), "N&amed");
  EXPECT_TRUE(Named<QComboBox>(root_, "cboServer")->isEditable());
  EXPECT_FALSE(Named<QComboBox>(root_, "cboMode")->isEditable());
  EXPECT_FALSE(Named<QComboBox>(root_, "drvExisting")->isEditable());
  EXPECT_TRUE(Named<QListWidget>(root_, "dirExisting"));
  EXPECT_TRUE(Named<QListWidget>(root_, "filExisting"));
  EXPECT_EQ(Named<QTabWidget>(root_, "sstPages")->count(), 3);
  EXPECT_EQ(Named<QTreeWidget>(root_, "lvwPrinters")->headerItem()->text(1), "Driver");
  EXPECT_TRUE(Named<QProgressBar>(root_, "prbWork"));
  EXPECT_TRUE(Named<QAction>(root_, "mnuFileExit"));
  EXPECT_TRUE(Named<QAction>(root_, "tbrSave"));

  // Tab goes through the controls in the description's order.
  Show();
  Named<QLineEdit>(root_, "txtSMTPServerPort")->setFocus();
  std::vector<std::string> order;
  for (int i = 0; i < 4; ++i) {
    order.push_back(QApplication::focusWidget()->objectName().toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"txtSMTPServerPort", "txtNotes", "chkUseSMTP",
                                             "optDefault(0)"}));
  const std::string focused = QApplication::focusWidget()->objectName().toStdString();
  EXPECT_TRUE(form_[focused].focused()) << focused << ": the focus is reported to the models";
  EXPECT_FALSE(form_["txtSMTPServerPort"].focused());
  // A label's mnemonic takes the focus to the control after it.
  QTest::keyClick(&root_, Qt::Key_P, Qt::AltModifier);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "txtSMTPServerPort");
}

TEST_F(QtFormViewTest, TheLogicsChangesShowAndTheUsersReachTheModels) {
  Show();
  form_["txtSMTPServerPort"].SetText("2525");
  EXPECT_EQ(Named<QLineEdit>(root_, "txtSMTPServerPort")->text(), "2525");
  form_["cboMode"].SetLines({"Copy", "Move"});
  form_["cboMode"].SetValue(1);
  EXPECT_EQ(Named<QComboBox>(root_, "cboMode")->currentText(), "Move");
  form_["cmdOK"].SetEnabled(false);
  EXPECT_FALSE(Named<QPushButton>(root_, "cmdOK")->isEnabled());

  // Pages switched by code: their controls follow.
  EXPECT_TRUE(Named<QListWidget>(root_, "lstServers")->isVisible());
  EXPECT_FALSE(Named<QTreeWidget>(root_, "tvwPages")->isVisible());
  form_["sstPages"].SetValue(1);
  EXPECT_FALSE(Named<QListWidget>(root_, "lstServers")->isVisible());
  EXPECT_TRUE(Named<QTreeWidget>(root_, "tvwPages")->isVisible());
  EXPECT_EQ(Named<QTabWidget>(root_, "sstPages")->currentIndex(), 1);

  form_["tvwPages"].AddNode({"Key4", "", "Notification", 1, true});
  form_["tvwPages"].AddNode({"Key41", "Key4", "SMTP Mail", 0, false});
  QTreeWidget* tree = Named<QTreeWidget>(root_, "tvwPages");
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), "SMTP Mail");
  EXPECT_TRUE(tree->topLevelItem(0)->isExpanded());
  EXPECT_FALSE(tree->topLevelItem(0)->icon(0).isNull());
  tree->setCurrentItem(tree->topLevelItem(0)->child(0));
  EXPECT_EQ(form_["tvwPages"].text(), "Key41") << "the selected node's key";

  QTest::keyClicks(Named<QLineEdit>(root_, "txtSMTPServerPort"), "0");
  EXPECT_EQ(form_["txtSMTPServerPort"].text(), "25250");
  // On the box, which every caption's width leaves within the button.
  const auto onBox = [](QWidget* button) { return QPoint(6, button->height() / 2); };
  auto* check = Named<QCheckBox>(root_, "chkUseSMTP");
  QTest::mouseClick(check, Qt::LeftButton, {}, onBox(check));
  EXPECT_TRUE(form_["chkUseSMTP"].checked());
  for (const char* option : {"optDefault(2)", "optDefault(1)"}) {
    auto* button = Named<QRadioButton>(root_, option);
    QTest::mouseClick(button, Qt::LeftButton, {}, onBox(button));
  }
  EXPECT_TRUE(form_["optDefault(1)"].checked());
  EXPECT_FALSE(form_["optDefault(2)"].checked());
  EXPECT_FALSE(Named<QRadioButton>(root_, "optDefault(2)")->isChecked()) << "one of the group";

  std::vector<std::string> clicked;
  for (const char* key : {"mnuFileExit", "tbrSave", "cmdCancel", "cmdOK"}) {
    form_.OnClick(key, [&clicked, key] { clicked.push_back(key); });
  }
  Named<QAction>(root_, "mnuFileExit")->trigger();
  Named<QAction>(root_, "tbrSave")->trigger();
  form_["cmdOK"].SetEnabled(true);
  QTest::keyClick(Named<QLineEdit>(root_, "txtSMTPServerPort"), Qt::Key_Escape);
  QTest::keyClick(Named<QLineEdit>(root_, "txtSMTPServerPort"), Qt::Key_Return);
  QTRY_COMPARE_WITH_TIMEOUT(clicked.size(), 4u, 2000);
  EXPECT_EQ(clicked, (std::vector<std::string>{"mnuFileExit", "tbrSave", "cmdCancel", "cmdOK"}));

  // Anchored to the right and bottom: the buttons follow a wider window.
  QPushButton* ok = Named<QPushButton>(root_, "cmdOK");
  const QPoint before = ok->mapTo(&root_, QPoint(0, 0));
  root_.resize(root_.width() + 100, root_.height() + 40);
  QTRY_COMPARE_WITH_TIMEOUT(ok->mapTo(&root_, QPoint(0, 0)), before + QPoint(100, 40), 2000);

  form_.Close();
  EXPECT_FALSE(root_.isVisible());
}

TEST_F(QtFormViewTest, AnEditableCombosBoxShowsTheModelsText) {
  Show();
  auto* server = Named<QComboBox>(root_, "cboServer");
  // The domain set first, the list of domains filled after.
  form_["cboServer"].SetText("CORP");
  form_["cboServer"].SetLines({"LAB", "CORP", "TEST"});
  EXPECT_EQ(server->currentText(), "CORP");
  EXPECT_EQ(form_["cboServer"].text(), "CORP");
  form_["cboServer"].SetValue(2);
  EXPECT_EQ(server->currentText(), "TEST");
  EXPECT_EQ(form_["cboServer"].text(), "TEST");
  form_["cboServer"].SetValue(-1);
  EXPECT_EQ(server->currentText(), Text(form_["cboServer"].text()));
  // The user's choice of a line is the text as well.
  server->setCurrentIndex(0);
  EXPECT_EQ(form_["cboServer"].value(), 0);
  EXPECT_EQ(form_["cboServer"].text(), "LAB");
}

TEST_F(QtFormViewTest, MultiLineTextsKeepWindowsLineEndsInTheModel) {
  Show();
  auto* notes = Named<QPlainTextEdit>(root_, "txtNotes");
  form_["txtNotes"].SetText("first\r\nsecond");
  EXPECT_EQ(notes->toPlainText(), "first\nsecond");
  notes->setFocus();
  notes->moveCursor(QTextCursor::End);
  QTest::keyClick(notes, Qt::Key_Return);
  QTest::keyClicks(notes, "third");
  EXPECT_EQ(form_["txtNotes"].text(), "first\r\nsecond\r\nthird");
}

TEST_F(QtFormViewTest, TheWindowClosesOnlyWhenTheFormAgrees) {
  Show();
  bool mayClose = false;
  int closed = 0;
  form_.OnCloseQuery([&] { return mayClose; });
  form_.OnClose([&] { ++closed; });
  root_.close();  // the close box
  EXPECT_TRUE(root_.isVisible()) << "Cancel on the prompt keeps the window";
  EXPECT_EQ(closed, 0);
  form_.Close();  // the logic's Exit asks the same
  EXPECT_TRUE(root_.isVisible());
  mayClose = true;
  root_.close();
  EXPECT_FALSE(root_.isVisible());
  EXPECT_EQ(closed, 1);
}

TEST_F(QtFormViewTest, EnterPressesTheFocusedButtonElseTheDefaultOne) {
  Show();
  std::vector<std::string> clicked;
  for (const char* key : {"cmdCancel", "cmdOK"}) {
    form_.OnClick(key, [&clicked, key] { clicked.push_back(key); });
  }
  Named<QPushButton>(root_, "cmdCancel")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QTRY_COMPARE_WITH_TIMEOUT(clicked.size(), 1u, 2000);
  Named<QLineEdit>(root_, "txtSMTPServerPort")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
  QTRY_COMPARE_WITH_TIMEOUT(clicked.size(), 2u, 2000);
  EXPECT_EQ(clicked, (std::vector<std::string>{"cmdCancel", "cmdOK"}));
}

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

TEST_F(QtFormViewTest, AFocusRequestReachesTheWidgetAfterTheFocusWentElsewhere) {
  Show();
  auto* port = Named<QLineEdit>(root_, "txtSMTPServerPort");
  form_["txtSMTPServerPort"].SetFocus();
  EXPECT_TRUE(port->hasFocus());
  port->clearFocus();  // as when another window takes it: no control reports it
  ASSERT_FALSE(port->hasFocus());
  form_["txtSMTPServerPort"].SetFocus();
  EXPECT_TRUE(port->hasFocus());
}

TEST_F(QtFormViewTest, EachChoiceOfATreeNodeIsOneClickAndTheLogicsSelectionNone) {
  Show();
  form_["sstPages"].SetValue(1);
  ControlModel& model = form_["tvwPages"];
  model.AddNode({"Key4", "", "Notification", 1, true});
  model.AddNode({"Key41", "Key4", "SMTP Mail", 0, false});
  model.AddNode({"Key5", "", "Logging", 0, false});
  // Each Click with the node chosen by then.
  std::vector<std::string> chosen;
  form_.OnClick("tvwPages", [&] { chosen.push_back(model.text()); });
  QTreeWidget* tree = Named<QTreeWidget>(root_, "tvwPages");
  const auto item = [&](const char* key) {
    for (QTreeWidgetItemIterator each(tree); *each; ++each) {
      if ((*each)->data(0, Qt::UserRole).toString() == key) return *each;
    }
    ADD_FAILURE() << "no node " << key;
    return static_cast<QTreeWidgetItem*>(nullptr);
  };
  const auto click = [&](const char* key) {
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(item(key)).center());
  };

  model.SetText("Key41");
  EXPECT_EQ(tree->currentItem(), item("Key41")) << "the logic's choice is shown";
  EXPECT_TRUE(item("Key41")->isSelected());
  click("Key5");
  click("Key5");  // the node already selected counts too
  click("Key41");
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Up);
  EXPECT_EQ(chosen, (std::vector<std::string>{"Key5", "Key5", "Key41", "Key4"}));

  model.SetText("Key5");
  EXPECT_EQ(tree->currentItem(), item("Key5"));
  model.SetText("Key99");  // no such node: none selected
  EXPECT_TRUE(tree->selectedItems().isEmpty());
  EXPECT_EQ(chosen.size(), 4U) << "the logic's selections are no clicks";
  click("Key4");
  EXPECT_EQ(chosen.back(), "Key4");
  EXPECT_EQ(chosen.size(), 5U);
}

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

TEST(QtFormViewLifeTest, AFormOutlivesItsViewAndIsShownByAnother) {
  Form form(testing::SampleForm());
  QWidget firstRoot;
  bool closedFirst = false;
  {
    QtFormView first(form, firstRoot);
    firstRoot.show();
  }
  // Changed after its view ended: nothing reaches the old widgets.
  form["txtSMTPServerPort"].SetText("2525");
  form.SetCaption("Changed");
  form.Close();
  EXPECT_EQ(Named<QLineEdit>(firstRoot, "txtSMTPServerPort")->text(), "25");
  EXPECT_EQ(firstRoot.windowTitle(), "Sample");
  EXPECT_TRUE(firstRoot.isVisible()) << "the old view's close handler is gone";
  firstRoot.close();
  closedFirst = !firstRoot.isVisible();
  EXPECT_TRUE(closedFirst);
  {
    auto secondRoot = std::make_unique<QWidget>();
    QtFormView second(form, *secondRoot);
    form["txtSMTPServerPort"].SetText("110");
    EXPECT_EQ(Named<QLineEdit>(*secondRoot, "txtSMTPServerPort")->text(), "110");
    form.SetCaption("Second");
    EXPECT_EQ(secondRoot->windowTitle(), "Second");
  }
  form["txtSMTPServerPort"].SetText("995");  // both views gone
  EXPECT_EQ(form["txtSMTPServerPort"].text(), "995");
}

TEST_F(QtFormViewTest, AModalWindowKeepsTheOtherWaitingUntilItCloses) {
  Show();
  Form dialog(testing::ModalSampleForm());
  bool cancelled = false;
  dialog.OnClick("cmdCancel", [&] {
    cancelled = true;
    dialog.Close();
  });
  QWidget dialogRoot(&root_, Qt::Dialog);
  QtFormView modal(dialog, dialogRoot);
  bool waited = false;
  // The user presses Escape once the window is up and active.
  QTimer user;
  user.setInterval(10);
  int ticks = 0;
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (++ticks > 300) dialogRoot.close();  // never came up: the test fails, not hangs
    if (!dialogRoot.isActiveWindow()) return;
    user.stop();
    waited = QApplication::activeModalWidget() == &dialogRoot;
    QTest::keyClick(&dialogRoot, Qt::Key_Escape);
  });
  user.start();
  modal.RunModal();
  EXPECT_TRUE(waited) << "the window was modal while it ran";
  EXPECT_TRUE(cancelled) << "Escape pressed the cancel button";
  EXPECT_FALSE(dialogRoot.isVisible());
}

}  // namespace
}  // namespace quillon::gui
