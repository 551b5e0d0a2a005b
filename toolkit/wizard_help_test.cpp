// Each page's Help opens the built guide at that page's own section.
#include "toolkit/help_guide.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "toolkit/wizard_test_support.h"

namespace quillon::toolkit {
namespace {

using namespace wizard_tests;
using gui::AskedDialog;

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// What a page Help opened shows of the built guide: the id its refresh leads
// to in index.html, and the text of the element with that id there (an
// anchor of its own has none); "missing" when the guide has no such id.
std::pair<std::string, std::string> SectionShown(const fs::path& opened) {
  const std::string marker = "url=../index.html#";
  const std::string page = ReadText(opened);
  const std::size_t at = page.find(marker);
  if (at == std::string::npos) return {"", "no refresh in " + opened.string()};
  const std::size_t start = at + marker.size();
  const std::string id = page.substr(start, page.find('"', start) - start);
  const std::string guide = ReadText(opened.parent_path().parent_path() / "index.html");
  const std::size_t element = guide.find(" id=\"" + id + "\"");
  if (element == std::string::npos) return {id, "missing"};
  const std::size_t text = guide.find('>', element) + 1;
  return {id, guide.substr(text, guide.find('<', text) - text)};
}

TEST_F(WizardTest, EveryHelpOpensTheBuiltGuideAtItsOwnSection) {
  const fs::path program = folder_ / "program";
  fs::copy(QUILLON_GUIDE_DIR, program / "QuillonGuide", fs::copy_options::recursive);
  // The heading each page's Help must show, as the guide names the page.
  const std::map<Page, std::string> headings = {
      {Page::General, "General"},
      {Page::ActiveDirectory, "Active Directory"},
      {Page::ManualConfiguration, "Manual Configuration"},
      {Page::Servers, "Servers"},
      {Page::Printers, "Printers"},
      {Page::Mixed, "Mixed"},
      {Page::Notification, "Notification"},
      {Page::SmtpMail, "SMTP Mail"},
      {Page::FileOutput, "File Output"},
      {Page::ClientPopUp, "Client Pop-Up"},
      {Page::ApplicationEventLog, "Application Event Log"},
      {Page::DeploymentIntroduction, "Deployment"},
      {Page::DeploymentGeneral, "Deployment General"},
      {Page::Mdac, "MDAC"},
      {Page::Maintenance, "Maintenance"},
      {Page::Populate, "Populate"},
      {Page::Prune, "Prune"},
      {Page::SetDefault, "Set Default"},
      {Page::Drivers, "Drivers"},
      {Page::Support, "Support"},
      {Page::Targeting, "Targeting"}};
  ASSERT_EQ(headings.size(), static_cast<std::size_t>(kPageCount));
  auto lastOpened = [this]() -> fs::path {
    if (dialogs_.asked.empty() || dialogs_.asked.back().kind != AskedDialog::Kind::Guide) {
      ADD_FAILURE() << gui::Transcript(dialogs_.asked);
      return {};
    }
    return dialogs_.asked.back().text;
  };

  for (const Variant variant : {Variant::ActiveDirectory, Variant::Manual}) {
    Make();
    answer_ = [variant](gui::Form& dialog) {
      dialog.Click(variant == Variant::Manual ? "optUseManualConfiguration"
                                              : "optUseActiveDirectory");
      dialog.Click("cmdSelect");
    };
    ASSERT_TRUE(wizard_->Start(""));
    ASSERT_EQ(wizard_->navigation().variant(), variant);
    int pages = 0;
    for (const auto& [page, heading] : headings) {
      if (!PageExists(page, variant)) continue;
      ++pages;
      const std::size_t before = dialogs_.asked.size();
      W().Click("cmdHelp(" + std::to_string(static_cast<int>(page)) + ")");
      ASSERT_EQ(dialogs_.asked.size(), before + 1) << heading;
      const fs::path opened = lastOpened();
      EXPECT_EQ(opened.parent_path(), program / "QuillonGuide" / "sections") << heading;
      const auto [id, shown] = SectionShown(opened);
      EXPECT_EQ(shown, heading) << opened;
      EXPECT_EQ(opened.stem().string(), id);
    }
    EXPECT_EQ(pages, variant == Variant::ActiveDirectory ? 17 : 18);
  }

  // The start dialog's Help, at start-up and for File > New, and the contents.
  answer_ = [](gui::Form& dialog) {
    dialog.Click("cmdHelp");
    dialog.Click("cmdCancel");
  };
  W().Click("ID_BTN_NEW");
  EXPECT_EQ(SectionShown(lastOpened()), (std::pair<std::string, std::string>{"new-document", ""}));
  Make(false);
  EXPECT_FALSE(wizard_->Start(""));
  EXPECT_EQ(SectionShown(lastOpened()),
            (std::pair<std::string, std::string>{"starting", "Starting"}));
  W().Click("ID_BTN_CONTENTS");
  EXPECT_EQ(lastOpened(), program / "QuillonGuide" / "index.html");
  EXPECT_TRUE(fs::is_regular_file(lastOpened()));

  // Every context of the table leads to a section the built guide has.
  for (const int context : GuideContexts()) {
    const auto [id, shown] = SectionShown(GuidePage(program.string(), context));
    EXPECT_FALSE(id.empty()) << context << ": " << shown;
    EXPECT_NE(shown, "missing") << context;
  }
}

}  // namespace
}  // namespace quillon::toolkit
