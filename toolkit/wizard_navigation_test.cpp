// The wizard's page navigation on its control models: the tree of each
// variant, where every tree node, Back, Next and View command lands, which
// entries refresh their page, and when the domain question is asked. The
// expected orders are written out here, independently of the tables in the
// code, so a wrong entry there fails.
#include "toolkit/wizard_navigation.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "toolkit/file_commands.h"

namespace quillon::toolkit {
namespace {

using enum Page;
using gui::MessageAnswer;

struct Stop {
  Page page;
  std::string node;
};

// Every page of a variant in Next order, with the tree node each highlights.
const std::vector<Stop> kADOrder = {
    {General, "Key1"},
    {Targeting, "Key11"},
    {ActiveDirectory, "Key2"},
    {Notification, "Key4"},
    {SmtpMail, "Key41"},
    {FileOutput, "Key42"},
    {ClientPopUp, "Key43"},
    {ApplicationEventLog, "Key44"},
    {DeploymentIntroduction, "Key6"},
    {DeploymentGeneral, "Key61"},
    {Mdac, "Key62"},
    {Maintenance, "Key8"},
    {Populate, "Key81"},
    {Prune, "Key82"},
    {SetDefault, "Key9"},
    {Drivers, "Key10"},
    {Support, "Key7"},
};
const std::vector<Stop> kManualOrder = {
    {General, "Key1"},
    {Targeting, "Key11"},
    {ManualConfiguration, "Key3"},
    {Servers, "Key31"},
    {Printers, "Key32"},
    {Mixed, "Key33"},
    {Notification, "Key4"},
    {SmtpMail, "Key41"},
    {FileOutput, "Key42"},
    {ClientPopUp, "Key43"},
    {ApplicationEventLog, "Key44"},
    {DeploymentGeneral, "Key6"},
    {Maintenance, "Key8"},
    {Populate, "Key81"},
    {Prune, "Key82"},
    {SetDefault, "Key9"},
    {Drivers, "Key10"},
    {Support, "Key7"},
};

std::string Key(const char* name, Page page) {
  return std::string(name) + "(" + std::to_string(static_cast<int>(page)) + ")";
}

class WizardNavigationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui::FormDescription window;
    window.name = "frmWizard";
    window.controls = NavigationControls();
    for (gui::ControlDescription& bound : BoundControls()) window.controls.push_back(bound);
    window.menus = {ViewMenu()};
    wizard_ = std::make_unique<gui::Form>(window);
    WizardNavigation::Hooks hooks;
    hooks.refreshPopulate = [this] { refreshes_.push_back(Populate); };
    hooks.refreshPrune = [this] { refreshes_.push_back(Prune); };
    hooks.refreshSetDefault = [this] { refreshes_.push_back(SetDefault); };
    hooks.refreshDrivers = [this] { refreshes_.push_back(Drivers); };
    hooks.requeryDirectoryPrinters = [this](Page page) { requeried_.push_back(page); };
    hooks.showHelp = [this](int context) { helpShown_.push_back(context); };
    navigation_ = std::make_unique<WizardNavigation>(*wizard_, dialogs_, document_, hooks);
  }

  void Open(Variant variant) {
    document_.record.UseActiveDirectory = variant == Variant::ActiveDirectory;
    navigation_->InitializeTreeView();
    refreshes_.clear();
  }
  Page Showing() { return static_cast<Page>((*wizard_)["sstWizard"].value()); }
  std::string Highlighted() { return (*wizard_)["tvwWizardOptions"].text(); }
  // The administrator clicks a tree node: the front end selects it.
  void ClickNode(const std::string& key) {
    (*wizard_)["tvwWizardOptions"].SetText(key);
    wizard_->Click("tvwWizardOptions");
  }

  WizardDocument document_;
  gui::ScriptedDialogs dialogs_;
  std::unique_ptr<gui::Form> wizard_;
  std::unique_ptr<WizardNavigation> navigation_;
  std::vector<Page> refreshes_, requeried_;
  std::vector<int> helpShown_;
};

TEST_F(WizardNavigationTest, NextAndBackWalkEveryPageOfEachVariantInOrder) {
  for (const auto& [variant, order] :
       {std::pair{Variant::ActiveDirectory, kADOrder}, std::pair{Variant::Manual, kManualOrder}}) {
    SCOPED_TRACE(variant == Variant::ActiveDirectory ? "AD" : "manual");
    Open(variant);
    ASSERT_EQ(Showing(), General);
    // Back on the first page and Next on the last are shown unavailable.
    for (std::size_t i = 0; i < order.size(); ++i) {
      EXPECT_EQ((*wizard_)[Key("cmdBack", order[i].page)].enabled(), i > 0) << i;
      EXPECT_EQ((*wizard_)[Key("cmdNext", order[i].page)].enabled(), i + 1 < order.size()) << i;
    }
    for (std::size_t i = 1; i < order.size(); ++i) {
      wizard_->Click(Key("cmdNext", order[i - 1].page));
      EXPECT_EQ(Showing(), order[i].page) << "Next from step " << i - 1;
      EXPECT_EQ(Highlighted(), order[i].node) << "Next from step " << i - 1;
    }
    wizard_->Click(Key("cmdNext", Support));
    EXPECT_EQ(Showing(), Support);
    for (std::size_t i = order.size() - 1; i > 0; --i) {
      wizard_->Click(Key("cmdBack", order[i].page));
      EXPECT_EQ(Showing(), order[i - 1].page) << "Back from step " << i;
      EXPECT_EQ(Highlighted(), order[i - 1].node) << "Back from step " << i;
    }
    wizard_->Click(Key("cmdBack", General));
    EXPECT_EQ(Showing(), General);
    EXPECT_EQ(Highlighted(), "Key1");

    // The table itself, page by page: a page outside the order has no steps,
    // and its buttons do nothing.
    for (int each = 0; each < kPageCount; ++each) {
      const Page page = static_cast<Page>(each);
      std::optional<Page> next, back;
      bool exists = false;
      for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i].page != page) continue;
        exists = true;
        if (i + 1 < order.size()) next = order[i + 1].page;
        if (i > 0) back = order[i - 1].page;
      }
      EXPECT_EQ(PageExists(page, variant), exists) << each;
      EXPECT_EQ(NextPage(page, variant), next) << each;
      EXPECT_EQ(BackPage(page, variant), back) << each;
      if (!exists) {
        wizard_->Click(Key("cmdNext", page));
        wizard_->Click(Key("cmdBack", page));
        EXPECT_EQ(Showing(), General) << each;
        EXPECT_EQ(NodeKeyOf(page, variant), "") << each;
      }
    }
  }
}

TEST_F(WizardNavigationTest, EachVariantBuildsItsTreeTitlesAndHelp) {
  using gui::TreeNode;
  const std::vector<TreeNode> adTree = {
      {"Key1", "", "General", 0, true},
      {"Key11", "Key1", "Targeting", 0, false},
      {"Key2", "", "Active Directory", 0, false},
      {"Key4", "", "Notification", 1, true},
      {"Key41", "Key4", "SMTP Mail", 0, false},
      {"Key42", "Key4", "File Output", 0, false},
      {"Key43", "Key4", "Client User Pop-Up", 0, false},
      {"Key44", "Key4", "Application Event Log", 0, false},
      {"Key6", "", "Deployment", 0, true},
      {"Key61", "Key6", "General", 0, false},
      {"Key62", "Key6", "MDAC", 0, false},
      {"Key8", "", "Maintenance", 0, true},
      {"Key81", "Key8", "Populate", 0, false},
      {"Key82", "Key8", "Prune", 0, false},
      {"Key9", "", "Set Default", 0, false},
      {"Key10", "", "Drivers", 0, false},
      {"Key7", "", "Support", 0, false},
  };
  const std::vector<TreeNode> manualTree = {
      {"Key1", "", "General", 0, true},
      {"Key11", "Key1", "Targeting", 0, false},
      {"Key3", "", "Manual Configuration", 1, true},
      {"Key31", "Key3", "Servers", 0, false},
      {"Key32", "Key3", "Printers", 0, false},
      {"Key33", "Key3", "Mixed", 0, false},
      {"Key4", "", "Notification", 1, true},
      {"Key41", "Key4", "SMTP Mail", 0, false},
      {"Key42", "Key4", "File Output", 0, false},
      {"Key43", "Key4", "Client User Pop-Up", 0, false},
      {"Key44", "Key4", "Application Event Log", 0, false},
      {"Key6", "", "Deployment", 0, false},
      {"Key8", "", "Maintenance", 0, true},
      {"Key81", "Key8", "Populate", 0, false},
      {"Key82", "Key8", "Prune", 0, false},
      {"Key9", "", "Set Default", 0, false},
      {"Key10", "", "Drivers", 0, false},
      {"Key7", "", "Support", 0, false},
  };
  // Image 0 of the tree's list is the page, image 1 the folder.
  ASSERT_EQ((*wizard_)["tvwWizardOptions"].description().images,
            (std::vector{gui::StockImage::Document, gui::StockImage::Folder}));

  Open(Variant::ActiveDirectory);
  EXPECT_EQ((*wizard_)["tvwWizardOptions"].nodes(), adTree);
  EXPECT_EQ(Highlighted(), "Key1");
  EXPECT_EQ(Showing(), General);
  EXPECT_EQ((*wizard_)[Key("lblTitle", DeploymentGeneral)].text(), "Deployment - General");
  EXPECT_TRUE((*wizard_)["lblDeploymentMDACNote"].visible());
  EXPECT_EQ((*wizard_)["cboConfigurationFileType"].text(), "Active Directory");
  wizard_->Click(Key("cmdHelp", DeploymentGeneral));
  wizard_->Click(Key("cmdHelp", Mdac));
  wizard_->Click(Key("cmdHelp", Servers));  // no such page here
  EXPECT_EQ(helpShown_, (std::vector{1019, 1028}));

  // Away from General, then a document of the other kind.
  wizard_->Click(Key("cmdNext", General));
  Open(Variant::Manual);
  EXPECT_EQ((*wizard_)["tvwWizardOptions"].nodes(), manualTree);
  EXPECT_EQ(Highlighted(), "Key1");
  EXPECT_EQ(Showing(), General);
  EXPECT_EQ((*wizard_)[Key("lblTitle", DeploymentGeneral)].text(), "Deployment");
  EXPECT_FALSE((*wizard_)["lblDeploymentMDACNote"].visible());
  EXPECT_EQ((*wizard_)["cboConfigurationFileType"].text(), "Manual Configuration");
  helpShown_.clear();
  wizard_->Click(Key("cmdHelp", DeploymentGeneral));
  wizard_->Click(Key("cmdHelp", Servers));
  wizard_->Click(Key("cmdHelp", Support));
  EXPECT_EQ(helpShown_, (std::vector{1080, 1042, 1045}));

  // Every page's title and help context, in page order, for both variants.
  const std::vector<std::string> titles = {"General",
                                           "Active Directory",
                                           "Manual Configuration",
                                           "Manual Configuration - Servers",
                                           "Manual Configuration - Printers",
                                           "Manual Configuration - Mixed",
                                           "Notification",
                                           "Notification - SMTP Mail",
                                           "Notification - File Output",
                                           "Notification - Client Pop-Up",
                                           "Notification - Application Event Log",
                                           "Deployment",
                                           "Deployment",
                                           "Deployment - MDAC",
                                           "Maintenance",
                                           "Maintenance - Populate",
                                           "Maintenance - Prune",
                                           "Set Default",
                                           "Drivers",
                                           "Support",
                                           "General - Targeting"};
  const std::vector<int> adHelp = {1013, 1014, 1004, 1038, 1008, 1012, 1040, 1010, 1006,
                                   1019, 1028, 2090, 2100, 2010, 2020, 2030, 1045};
  const std::vector<int> manualHelp = {1013, 1014, 1027, 1042, 1039, 1035, 1038, 1008, 1012,
                                       1040, 1010, 1080, 2090, 2100, 2010, 2020, 2030, 1045};
  std::vector<std::string> shown;
  for (int page = 0; page < kPageCount; ++page) {
    shown.push_back((*wizard_)[Key("lblTitle", static_cast<Page>(page))].text());
  }
  EXPECT_EQ(shown, titles);
  helpShown_.clear();
  for (const Stop& stop : kManualOrder) wizard_->Click(Key("cmdHelp", stop.page));
  EXPECT_EQ(helpShown_, manualHelp);
  // F1 opens the help of the page shown, as its Help button does.
  helpShown_.clear();
  for (const Stop& stop : kManualOrder) {
    navigation_->ShowPage(stop.page);
    wizard_->Click(kPageHelpCommand);
  }
  EXPECT_EQ(helpShown_, manualHelp);
  Open(Variant::ActiveDirectory);
  helpShown_.clear();
  for (const Stop& stop : kADOrder) wizard_->Click(Key("cmdHelp", stop.page));
  EXPECT_EQ(helpShown_, adHelp);
  helpShown_.clear();
  for (const Stop& stop : kADOrder) {
    navigation_->ShowPage(stop.page);
    wizard_->Click(kPageHelpCommand);
  }
  EXPECT_EQ(helpShown_, adHelp);
}

TEST_F(WizardNavigationTest, TreeClicksShowTheNodesPages) {
  const std::vector<std::pair<std::string, Page>> ad = {
      {"Key2", ActiveDirectory},
      {"Key4", Notification},
      {"Key41", SmtpMail},
      {"Key42", FileOutput},
      {"Key43", ClientPopUp},
      {"Key44", ApplicationEventLog},
      {"Key6", DeploymentIntroduction},
      {"Key61", DeploymentGeneral},
      {"Key62", Mdac},
      {"Key8", Maintenance},
      {"Key81", Populate},
      {"Key82", Prune},
      {"Key9", SetDefault},
      {"Key10", Drivers},
      {"Key7", Support},
      {"Key11", Targeting},
      {"Key1", General},
  };
  const std::vector<std::pair<std::string, Page>> manual = {
      {"Key3", ManualConfiguration},
      {"Key31", Servers},
      {"Key32", Printers},
      {"Key33", Mixed},
      {"Key4", Notification},
      {"Key41", SmtpMail},
      {"Key42", FileOutput},
      {"Key43", ClientPopUp},
      {"Key44", ApplicationEventLog},
      {"Key6", DeploymentGeneral},
      {"Key8", Maintenance},
      {"Key81", Populate},
      {"Key82", Prune},
      {"Key9", SetDefault},
      {"Key10", Drivers},
      {"Key7", Support},
      {"Key11", Targeting},
      {"Key1", General},
  };
  for (const auto& [variant, clicks] :
       {std::pair{Variant::ActiveDirectory, ad}, std::pair{Variant::Manual, manual}}) {
    Open(variant);
    for (const auto& [node, page] : clicks) {
      ClickNode(node);
      EXPECT_EQ(Showing(), page) << node;
    }
  }
}

TEST_F(WizardNavigationTest, ViewMenuOffersTheVariantsPagesAndHighlightsTheirNodes) {
  struct Command {
    std::string id;
    bool inAD, inManual;
    Page adPage, manualPage;
    std::string adNode, manualNode;  // empty: the tree's highlight stays
  };
  const std::vector<Command> commands = {
      {"ID_BTN_GENERAL", true, true, General, General, "Key1", "Key1"},
      {"ID_BTN_TARGETING", true, true, Targeting, Targeting, "Key11", "Key11"},
      {"ID_BTN_AD", true, false, ActiveDirectory, General, "Key2", ""},
      {"ID_BTN_SERVER", false, true, General, Servers, "", "Key31"},
      {"ID_BTN_PRINTER", false, true, General, Printers, "", "Key32"},
      {"ID_BTN_MIXED", false, true, General, Mixed, "", "Key33"},
      {"ID_BTN_EMAIL", true, true, SmtpMail, SmtpMail, "Key41", "Key41"},
      {"ID_BTN_FILE", true, true, FileOutput, FileOutput, "Key42", "Key42"},
      {"ID_BTN_CLIENT", true, true, ClientPopUp, ClientPopUp, "Key43", "Key43"},
      {"ID_BTN_APP_EL", true, true, ApplicationEventLog, ApplicationEventLog, "Key44", "Key44"},
      {"ID_BTN_DEPLOYMENT", true, true, DeploymentIntroduction, DeploymentGeneral, "Key6", "Key6"},
      {"ID_BTN_DEPLOY_GENERAL", true, false, DeploymentGeneral, General, "Key61", ""},
      {"ID_BTN_MDAC", true, false, Mdac, General, "Key62", ""},
      {"ID_BTN_PRUNE", true, true, Prune, Prune, "Key82", "Key82"},
      {"ID_BTN_POPULATE", true, true, Populate, Populate, "Key81", "Key81"},
      {"ID_BTN_SET_DEFAULT", true, true, SetDefault, SetDefault, "Key9", "Key9"},
      {"ID_BTN_DRIVERS", true, true, Drivers, Drivers, "Key10", "Key10"},
      {"ID_BTN_SUPPORT", true, true, Support, Support, "Key7", "Key7"},
  };
  for (const Variant variant : {Variant::ActiveDirectory, Variant::Manual}) {
    const bool ad = variant == Variant::ActiveDirectory;
    Open(variant);
    for (const Command& command : commands) {
      SCOPED_TRACE(command.id + (ad ? " AD" : " manual"));
      // Start from a page no command shows, its node highlighted.
      ClickNode("Key8");
      const Page before = Showing();
      const std::string highlighted = Highlighted();
      EXPECT_EQ(navigation_->ToolAvailable(command.id), ad ? command.inAD : command.inManual);
      EXPECT_EQ(wizard_->CommandEnabled(command.id), navigation_->ToolAvailable(command.id))
          << "greyed in the menu";
      wizard_->Click(command.id);
      if (!navigation_->ToolAvailable(command.id)) {
        EXPECT_EQ(Showing(), before);
        EXPECT_EQ(Highlighted(), highlighted);
        continue;
      }
      EXPECT_EQ(Showing(), ad ? command.adPage : command.manualPage);
      const std::string node = ad ? command.adNode : command.manualNode;
      EXPECT_EQ(Highlighted(), node.empty() ? highlighted : node);
      // A command that left its node alone: a click on the highlighted node
      // still goes to that node's page.
      if (node.empty()) {
        ClickNode(highlighted);
        EXPECT_EQ(Showing(), before);
      }
    }
  }

  std::vector<std::string> items;
  for (const gui::MenuDescription& item : ViewMenu().items) items.push_back(item.caption);
  EXPECT_EQ(ViewMenu().name, "ID_MNU_VIEW");
  EXPECT_EQ(ViewMenu().caption, "&View");
  EXPECT_EQ(items, (std::vector<std::string>{"&General",
                                             "Ta&rgeting",
                                             "-",
                                             "&Active Directory",
                                             "-",
                                             "Server &To Server",
                                             "Pr&inter To Printer",
                                             "&Mixed Server And Printer",
                                             "-",
                                             "&Email Output",
                                             "&File Output",
                                             "Client Pop-&up",
                                             "Application Event &Log",
                                             "-",
                                             "&Deployment",
                                             "Deployment Ge&neral",
                                             "MDA&C",
                                             "-",
                                             "&Prune",
                                             "P&opulate",
                                             "-",
                                             "&Set Default",
                                             "Dri&vers",
                                             "-",
                                             "Su&pport"}));
}

TEST_F(WizardNavigationTest, EnteringARefreshedPageRefreshesItByEveryRoute) {
  struct Route {
    Page page;
    std::string node, tool;
    Page before, after;  // the pages whose Next and Back lead to it
    std::string beforeNode, afterNode;
  };
  const std::vector<Route> routes = {
      {Populate, "Key81", "ID_BTN_POPULATE", Maintenance, Prune, "Key8", "Key82"},
      {Prune, "Key82", "ID_BTN_PRUNE", Populate, SetDefault, "Key81", "Key9"},
      {SetDefault, "Key9", "ID_BTN_SET_DEFAULT", Prune, Drivers, "Key82", "Key10"},
      {Drivers, "Key10", "ID_BTN_DRIVERS", SetDefault, Support, "Key9", "Key7"},
  };
  const std::vector<Page> none;
  for (const Variant variant : {Variant::ActiveDirectory, Variant::Manual}) {
    Open(variant);
    for (const Route& route : routes) {
      SCOPED_TRACE(route.node + (variant == Variant::ActiveDirectory ? " AD" : " manual"));
      const std::vector<Page> once{route.page};
      ClickNode("Key1");
      refreshes_.clear();
      ClickNode(route.node);
      EXPECT_EQ(refreshes_, once) << "tree";

      ClickNode("Key1");
      refreshes_.clear();
      wizard_->Click(route.tool);
      EXPECT_EQ(refreshes_, once) << "View";

      ClickNode(route.beforeNode);
      refreshes_.clear();
      wizard_->Click(Key("cmdNext", route.before));
      EXPECT_EQ(refreshes_, once) << "Next";

      ClickNode(route.afterNode);
      refreshes_.clear();
      wizard_->Click(Key("cmdBack", route.after));
      EXPECT_EQ(refreshes_, once) << "Back";
      EXPECT_EQ(Showing(), route.page);
    }
    // Leaving refreshes nothing, nor does entering a page without a refresh.
    ClickNode("Key81");
    refreshes_.clear();
    wizard_->Click(Key("cmdBack", Populate));
    wizard_->Click("ID_BTN_SUPPORT");
    wizard_->Click(Key("cmdBack", Support));
    EXPECT_EQ(refreshes_, std::vector<Page>{Drivers});
    refreshes_.clear();
    wizard_->Click(Key("cmdNext", Drivers));
    ClickNode("Key6");
    ClickNode("Key4");
    EXPECT_EQ(refreshes_, none);
  }
}

TEST_F(WizardNavigationTest, AChangedDomainIsQuestionedOncePerPage) {
  const std::string question =
      "Your domain name has changed, do you want to refresh your list of Active Directory "
      "printers?";
  Open(Variant::ActiveDirectory);
  gui::ControlModel& domain = (*wizard_)["cboDomainName"];
  // Unchanged: no question.
  wizard_->Click("ID_BTN_PRUNE");
  EXPECT_TRUE(dialogs_.asked.empty());

  domain.SetText("CORP");
  EXPECT_TRUE(navigation_->PopulateADRefreshPending);
  EXPECT_TRUE(navigation_->PruneADRefreshPending);
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  wizard_->Click("ID_BTN_PRUNE");
  wizard_->Click("ID_BTN_PRUNE");
  ClickNode("Key82");
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(dialogs_.asked[0].title, "Refresh Printers");
  EXPECT_EQ(dialogs_.asked[0].text, question);
  EXPECT_EQ(dialogs_.asked[0].icon, gui::MessageIcon::Question);
  EXPECT_EQ(dialogs_.asked[0].buttons, gui::MessageButtons::YesNo);
  EXPECT_EQ(requeried_, std::vector<Page>{Prune});
  EXPECT_FALSE(navigation_->PruneADRefreshPending);
  EXPECT_TRUE(navigation_->PopulateADRefreshPending);

  // Populate keeps its own flag: asked on its first entry, No queries nothing.
  dialogs_.SetNextAnswer(MessageAnswer::No);
  wizard_->Click(Key("cmdBack", Prune));
  wizard_->Click(Key("cmdNext", Maintenance));
  EXPECT_EQ(dialogs_.asked.size(), 2u);
  EXPECT_EQ(requeried_, std::vector<Page>{Prune});
  EXPECT_FALSE(navigation_->PopulateADRefreshPending);

  // Picking a domain from the list counts as a change; an empty box asks nothing.
  domain.SetLines({"CORP", "SALES"});
  domain.SetValue(1);
  EXPECT_TRUE(navigation_->PruneADRefreshPending);
  domain.SetText("");
  wizard_->Click("ID_BTN_PRUNE");
  EXPECT_EQ(dialogs_.asked.size(), 2u);
  EXPECT_EQ(dialogs_.unscripted, 0);

  // Manual definitions have no directory lists to refresh.
  Open(Variant::Manual);
  domain.SetText("OTHER");
  wizard_->Click("ID_BTN_POPULATE");
  wizard_->Click("ID_BTN_PRUNE");
  EXPECT_EQ(dialogs_.asked.size(), 2u);
  EXPECT_EQ(refreshes_, (std::vector{Populate, Prune}));
}

TEST_F(WizardNavigationTest, NewAndOpenRebuildTheTreeForTheDocumentsKind) {
  platform::HostFileSystem files;
  std::optional<DocumentType> type = DocumentType::ActiveDirectory;
  FileCommands::Hooks hooks;
  hooks.askNewType = [&type] { return type; };
  hooks.rebuildTree = [this] { navigation_->InitializeTreeView(); };
  FileCommands commands(*wizard_, dialogs_, files, document_, hooks);
  WatchForChanges(*wizard_, document_);

  Open(Variant::Manual);
  wizard_->Click(Key("cmdNext", General));
  commands.NewDocument();
  EXPECT_EQ(navigation_->variant(), Variant::ActiveDirectory);
  EXPECT_EQ((*wizard_)["tvwWizardOptions"].nodes()[2].text, "Active Directory");
  EXPECT_EQ(Showing(), General);
  EXPECT_EQ(Highlighted(), "Key1");

  type = DocumentType::Manual;
  commands.NewDocument();
  EXPECT_EQ(navigation_->variant(), Variant::Manual);
  EXPECT_EQ((*wizard_)["tvwWizardOptions"].nodes()[2].text, "Manual Configuration");
  EXPECT_TRUE(dialogs_.asked.empty());
}

}  // namespace
}  // namespace quillon::toolkit
