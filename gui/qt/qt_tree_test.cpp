// Trees of the Qt front end: the user's choice of a node and the logic's
// selection.
#include "gui/qt/qt_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::Named;
using testing::QtFormViewTest;

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

}  // namespace
}  // namespace quillon::gui
