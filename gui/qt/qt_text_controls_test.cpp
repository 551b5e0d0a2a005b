// Combos and multi-line texts of the Qt front end: an editable combo's box
// and the model's Windows line ends.
#include "gui/qt/qt_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::Named;
using testing::QtFormViewTest;
using testing::Text;

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

}  // namespace
}  // namespace quillon::gui
