// The Qt front end's window on a window with a control of every kind: the
// widgets it makes, the logic's changes shown, the user's keys and clicks in
// the models, Enter, the focus, closing, a form shown by a second view and a
// modal window. Each control kind's own tests lie in a file of its kind
// (qt_buttons_test.cpp, qt_text_controls_test.cpp, qt_lists_test.cpp,
// qt_tree_test.cpp, qt_tabs_test.cpp), the menus' in qt_menus_test.cpp.
#include "gui/qt/qt_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::Named;
using testing::QtFormViewTest;

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
