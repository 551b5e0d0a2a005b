// frmWizard driven through its real widgets, as an administrator drives it:
// the start dialog answered by clicks in its own modal window, every page of
// each kind of document walked by Next and back by Back, tree clicks, a typed
// field, Save As through a scripted file dialog, and the file read back with
// the engine's reader. Every page is drawn into the build folder.
#include "toolkit/qt/frm_wizard.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QComboBox>
#include <QTabWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>
#include <functional>
#include <random>

#include "document/document_file.h"
#include "gui/gui_test_support.h"
#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "toolkit/walk_test_support.h"
#include "toolkit/wizard_navigation.h"

namespace quillon::toolkit {
namespace {

namespace fs = std::filesystem;
using gui::testing::Named;
using enum Page;

class FrmWizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("quillon-frmwizard-" + std::to_string(seed()));
    fs::create_directories(folder_ / "program");
    fs::create_directories(folder_ / "docs");
  }
  void TearDown() override {
    window_.reset();
    fs::remove_all(folder_);
  }

  void Open() {
    window_ = std::make_unique<frmWizard>(files_, (folder_ / "program").string(),
                                          (folder_ / "docs").string(), &dialogs_);
    window_->wizard().Load();
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  // Acts in the next modal window of that name from inside its own event
  // loop, once it is shown, as the user would.
  static void WhenShown(const QString& name, std::function<void(QWidget&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, name, act] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal->objectName() != name || !modal->isVisible()) return;
      timer->stop();
      timer->deleteLater();
      act(*modal);
      // A failed step inside would leave the dialog waiting for ever: closed,
      // the failure shows instead of a hang.
      auto* dialog = qobject_cast<QDialog*>(modal);
      if (::testing::Test::HasFailure() && dialog && dialog->isVisible()) dialog->reject();
      // Nor may a step that did not reach the dialog (an event lost on a
      // loaded machine) hold the test until its time-out.
      if (dialog) {
        QTimer::singleShot(30000, [guarded = QPointer<QDialog>(dialog), name] {
          if (!guarded || !guarded->isVisible()) return;
          ADD_FAILURE() << name.toStdString() << " stayed open after its step";
          guarded->reject();
        });
      }
    });
    timer->start();
  }

  static void Click(QWidget& root, const char* name) {
    auto* widget = Named<QWidget>(root, name);
    ASSERT_TRUE(widget);
    ASSERT_TRUE(widget->isVisible()) << name;
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() / 2));
  }

  void Trigger(const char* tool) {
    auto* action = window_->findChild<QAction*>(tool);
    ASSERT_TRUE(action) << tool;
    action->trigger();
  }

  Page Showing() { return window_->wizard().navigation().CurrentPage(); }

  void ClickNode(const QString& text, const QString& parent = {}) {
    auto* tree = Named<QTreeWidget>(*window_, kPageTree);
    ASSERT_TRUE(tree);
    QTreeWidgetItem* found = nullptr;
    for (QTreeWidgetItem* item : tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive)) {
      const QString itsParent = item->parent() ? item->parent()->text(0) : QString();
      if (itsParent == parent) found = item;
    }
    ASSERT_TRUE(found) << text.toStdString();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(found).center());
  }

  // What the administrator sees of the page: its title, and the controls of
  // this page and no other.
  void ExpectShown(Page page, Variant variant) {
    const std::string title = "lblTitle(" + std::to_string(static_cast<int>(page)) + ")";
    auto* label = Named<QLabel>(*window_, title.c_str());
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->isVisible()) << title;
    EXPECT_EQ(label->text().toStdString(), PageTitle(page, variant));
    for (const auto& model : window_->wizard().form().controls()) {
      const gui::ControlDescription& described = model->description();
      if (described.container != kPageTabs) continue;
      QWidget* widget = window_->findChild<QWidget*>(QString::fromStdString(model->key()));
      ASSERT_TRUE(widget) << model->key();
      const bool onPage = described.page == static_cast<int>(page) && model->visible();
      EXPECT_EQ(widget->isVisible(), onPage) << model->key() << " on page " << static_cast<int>(page);
      if (auto* button = qobject_cast<QAbstractButton*>(widget); button && onPage) {
        // Long captions are broken into lines to fit.
        EXPECT_EQ(button->text().replace(QLatin1Char('\n'), QLatin1Char(' ')).toStdString(),
                  described.caption)
            << model->key();
      }
    }
  }

  static void DrawWindow(QWidget& window, const std::string& name) {
    const fs::path out = fs::path(QUILLON_SCREENSHOT_DIR) / "toolkit";
    fs::create_directories(out);
    EXPECT_TRUE(window.grab().save(QString::fromStdString((out / (name + ".png")).string())));
  }

  void Draw(const std::string& name) {
    const fs::path out = fs::path(QUILLON_SCREENSHOT_DIR) / "toolkit";
    fs::create_directories(out);
    EXPECT_TRUE(window_->grab().save(QString::fromStdString((out / (name + ".png")).string())));
  }

  // Deploy Now from the Deployment page into a share, then the deployed
  // engine run on the demo client with the deployed document: the
  // connection of the old server moves to the new one.
  void DeployAndRun(const std::string& document) {
    const fs::path share = folder_ / "share";
    fs::create_directories(share);
    // This host's engine stands in for the Windows one in the toolkit's folder.
    fs::copy_file(QUILLON_ENGINE_PATH, folder_ / "program" / "QuillonEngine.exe");
    Trigger("ID_BTN_DEPLOYMENT");
    ASSERT_EQ(Showing(), DeploymentGeneral);
    QTest::keyClicks(Named<QLineEdit>(*window_, "txtNetworkSharePath"),
                     QString::fromStdString(share.string()));
    Click(*window_, "chkBatchFile");
    Trigger("ID_BTN_SAVE");
    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    Click(*window_, "cmdDeployNow(0)");
    ASSERT_FALSE(dialogs_.asked.empty());
    // A folder of this host, which no Windows client reaches: all is written,
    // and said to be of no use to the clients in place of the success.
    EXPECT_EQ(dialogs_.asked.back().title, "Deployment Incomplete");
    const fs::path deployed = share / fs::path(document).filename();
    EXPECT_TRUE(fs::exists(fs::path(deployed.string() + ".bat")));

    const fs::path client = folder_ / "client.json";
    fs::copy_file(QUILLON_DEMO_CLIENT, client);
    QProcess engine;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLON_CLIENT", QString::fromStdString(client.string()));
    engine.setProcessEnvironment(environment);
    engine.start(QString::fromStdString((share / "QuillonEngine.exe").string()),
                 {QString::fromStdString(deployed.string())});
    ASSERT_TRUE(engine.waitForFinished(30000));
    const auto after = nlohmann::json::parse(files_.ReadFile(client.string()).value_or("{}"));
    std::vector<std::string> printers;
    for (const auto& printer : after.at("printers")) printers.push_back(printer.at("name"));
    EXPECT_NE(std::find(printers.begin(), printers.end(), "\\\\NEWSRV\\HP4"), printers.end());
    EXPECT_EQ(std::find(printers.begin(), printers.end(), "\\\\OLDSRV\\HP4"), printers.end());
  }

  fs::path folder_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  std::unique_ptr<frmWizard> window_;
};

TEST_F(FrmWizardTest, ANewDocumentOfEachKindWalksEveryPageAndSavesWhatWasTyped) {
  const std::vector<testing::DocumentKind> kinds = testing::DocumentKinds();
  for (const testing::DocumentKind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    Open();
    WhenShown("frmNewINI", [&kind](QWidget& dialog) {
      Click(dialog, kind.option);
      Click(dialog, "cmdSelect");
    });
    ASSERT_TRUE(window_->wizard().Start(""));
    EXPECT_EQ(window_->windowTitle(), "Quillon - Deployment Toolkit [UNTITLED]");

    std::vector<Page> walked{Showing()};
    for (std::size_t step = 0; step < kind.pages.size() + 2; ++step) {
      const Page page = Showing();
      ExpectShown(page, kind.variant);
      Draw(std::string(kind.name) + "-" + (page < Page(10) ? "0" : "") +
           std::to_string(static_cast<int>(page)));
      const std::string next = "cmdNext(" + std::to_string(static_cast<int>(page)) + ")";
      Click(*window_, next.c_str());
      if (Showing() == page) break;  // Next on the last page does nothing
      walked.push_back(Showing());
    }
    EXPECT_EQ(walked, kind.pages);
    std::vector<Page> back{Showing()};
    for (std::size_t step = 0; step < kind.pages.size() + 2; ++step) {
      const Page page = Showing();
      const std::string name = "cmdBack(" + std::to_string(static_cast<int>(page)) + ")";
      Click(*window_, name.c_str());
      if (Showing() == page) break;
      back.push_back(Showing());
    }
    EXPECT_EQ(back, std::vector<Page>(kind.pages.rbegin(), kind.pages.rend()));

    if (kind.variant == Variant::ActiveDirectory) {
      ClickNode("General", "Deployment");
      EXPECT_EQ(Showing(), DeploymentGeneral);
      ClickNode("General");
      EXPECT_EQ(Showing(), General);
      EXPECT_FALSE(window_->findChild<QAction*>("ID_BTN_SERVER")->isEnabled());
    } else {
      ClickNode("Mixed", "Manual Configuration");
      EXPECT_EQ(Showing(), Mixed);
      EXPECT_FALSE(window_->findChild<QAction*>("ID_BTN_MDAC")->isEnabled());
    }

    // What a document of the kind needs before it may be saved: the domain,
    // or a server pair through its editor.
    if (kind.variant == Variant::ActiveDirectory) {
      Trigger("ID_BTN_AD");
      auto* domain = Named<QComboBox>(*window_, "cboDomainName");
      ASSERT_TRUE(domain && domain->lineEdit());
      QTest::keyClicks(domain->lineEdit(), "CORP");
    } else {
      Trigger("ID_BTN_SERVER");
      QTest::keyClicks(Named<QLineEdit>(*window_, "txtFromServer"), "OLDSRV");
      QTest::keyClicks(Named<QLineEdit>(*window_, "txtToServer"), "NEWSRV");
      Click(*window_, "cmdSaveServerPair");
      auto* pairs = Named<QListWidget>(*window_, "lstServerPairs");
      ASSERT_EQ(pairs->count(), 1);
      EXPECT_EQ(pairs->item(0)->text(), "OLDSRV -> NEWSRV");
    }

    // Typed in, ticked, saved under a name, read back by the engine's reader.
    Trigger("ID_BTN_EMAIL");
    EXPECT_EQ(Showing(), SmtpMail);
    Click(*window_, "chkUseSMTP");
    auto* subject = Named<QLineEdit>(*window_, "txtEmailSubject");
    ASSERT_TRUE(subject);
    QTest::keyClicks(subject, "Floor 3 moved");
    EXPECT_TRUE(window_->wizard().document().DocumentDirty);
    const std::string path = (folder_ / "docs" / (std::string(kind.name) + ".ini")).string();
    dialogs_.SetNextFileName(path);
    Trigger("ID_BTN_SAVE_AS");
    EXPECT_EQ(window_->windowTitle().toStdString(),
              "Quillon - Deployment Toolkit [" + std::string(kind.name) + ".ini]");
    document::MigrationDocument read;
    ASSERT_FALSE(document::ReadDocument(files_, path, read));
    EXPECT_EQ(read.EmailSubject, "Floor 3 moved");
    EXPECT_TRUE(read.UseSMTP);
    EXPECT_EQ(read.UseActiveDirectory, kind.variant == Variant::ActiveDirectory);
    EXPECT_EQ(read.UseManualDefinitions, kind.variant == Variant::Manual);
    if (kind.variant == Variant::ActiveDirectory) {
      EXPECT_EQ(read.DomainName, "CORP");
    } else {
      // One pair, however the file keeps a list of one.
      const document::ServerPair saved{"OLDSRV", "NEWSRV"};
      EXPECT_EQ(std::count(read.ServerPairs.begin(), read.ServerPairs.end(), saved), 1);
    }

    if (kind.variant == Variant::Manual) DeployAndRun(path);

    // Nothing unsaved: the window closes without a question.
    window_->close();
    EXPECT_FALSE(window_->isVisible());
  }
  EXPECT_EQ(dialogs_.unscripted, 0);
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0U);
}

TEST_F(FrmWizardTest, AnExistingDocumentIsChosenFromTheFileListAndCancelEndsTheProgram) {
  document::MigrationDocument record = NewDocumentRecord();
  record.UseActiveDirectory = true;
  record.DomainName = "CORP";
  record.EmailTo = {"", "helpdesk@example.com", "ops@example.com"};
  ASSERT_FALSE(document::WriteDocument(files_, (folder_ / "docs" / "floor2.ini").string(), record));

  Open();
  WhenShown("frmNewINI", [](QWidget& dialog) {
    // "&Recent" is never offered; the list of documents is.
    auto* tabs = dialog.findChild<QTabWidget*>("sstNewINI");
    ASSERT_TRUE(tabs);
    EXPECT_FALSE(tabs->isTabEnabled(2));
    tabs->setCurrentIndex(1);
    DrawWindow(dialog, "frmNewINI");
    auto* files = Named<QListWidget>(dialog, "filExistingINI");
    ASSERT_TRUE(files);
    ASSERT_EQ(files->count(), 1);
    // A list shown just now lays its lines out on the next round of events.
    QTRY_VERIFY(!files->visualItemRect(files->item(0)).isEmpty());
    // As the platform delivers a double click: a click, then the second press.
    const QPoint line = files->visualItemRect(files->item(0)).center();
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, line);
    QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, line);
  });
  ASSERT_TRUE(window_->wizard().Start(""));
  EXPECT_EQ(window_->windowTitle(), "Quillon - Deployment Toolkit [floor2.ini]");
  EXPECT_EQ(Named<QComboBox>(*window_, "cboDomainName")->currentText(), "CORP");
  auto* recipients = Named<QListWidget>(*window_, "lstToEmailAddresses");
  ASSERT_EQ(recipients->count(), 2);
  EXPECT_EQ(recipients->item(1)->text(), "ops@example.com");
  EXPECT_FALSE(window_->wizard().document().DocumentDirty);
  // The about box, closed by Enter on its OK.
  std::string version;
  WhenShown("frmAbout", [&version](QWidget& about) {
    DrawWindow(about, "frmAbout");
    version = Named<QLabel>(about, "lblVersion")->text().toStdString();
    QTest::keyClick(&about, Qt::Key_Return);
  });
  Trigger("ID_BTN_ABOUT");
  EXPECT_EQ(version, "Version 3.1.1");
  window_->close();

  Open();
  WhenShown("frmNewINI", [](QWidget& dialog) {
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(window_->wizard().Start(""));
  EXPECT_FALSE(window_->isVisible()) << "a cancelled start closes the window";
  EXPECT_EQ(dialogs_.unscripted, 0);
}

// A port typed wrong holds the SMTP page against the tree, the View menu and
// Next: one message each, the text kept, the focus back in the field.
TEST_F(FrmWizardTest, AnInvalidPortHoldsItsPageWithOneMessagePerAttempt) {
  Open();
  Trigger("ID_BTN_EMAIL");
  ASSERT_EQ(Showing(), SmtpMail);
  Click(*window_, "chkUseSMTP");
  auto* port = Named<QLineEdit>(*window_, "txtSMTPServerPort");
  ASSERT_TRUE(port);
  port->setFocus();
  port->selectAll();
  QTest::keyClicks(port, "25a");
  ASSERT_EQ(window_->wizard().form()["txtSMTPServerPort"].text(), "25a");
  const std::vector<std::pair<std::string, std::function<void()>>> ways{
      {"tree", [&] { ClickNode("General"); }},
      {"View menu", [&] { Trigger("ID_BTN_GENERAL"); }},
      {"Next", [&] { Click(*window_, "cmdNext(7)"); }},
  };
  for (const auto& [name, leave] : ways) {
    SCOPED_TRACE(name);
    port->setFocus();
    dialogs_.asked.clear();
    leave();
    // Whatever the window would still do of its own accord.
    QTest::qWait(200);
    EXPECT_EQ(Showing(), SmtpMail);
    EXPECT_TRUE(port->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), port);
    auto* tree = Named<QTreeWidget>(*window_, kPageTree);
    ASSERT_TRUE(tree->currentItem());
    EXPECT_EQ(tree->currentItem()->text(0), "SMTP Mail");
    ASSERT_EQ(dialogs_.asked.size(), 1U) << gui::Transcript(dialogs_.asked);
    EXPECT_EQ(dialogs_.asked[0].title, "Invalid Port Number");
  }
  EXPECT_EQ(port->text(), "25a");
  // Mended, the page is left at once.
  port->selectAll();
  QTest::keyClicks(port, "25");
  dialogs_.asked.clear();
  ClickNode("General");
  QTest::qWait(100);
  EXPECT_EQ(Showing(), General);
  EXPECT_TRUE(dialogs_.asked.empty()) << gui::Transcript(dialogs_.asked);
}

// The keys every editor has, the focus after a View choice, Back and Next
// where they lead nowhere, and the least size of the window, on the real
// widgets.
TEST_F(FrmWizardTest, EditorKeysViewFocusAndTheLeastSizeAsUsersExpect) {
  std::ofstream(folder_ / "program" / "Quillon.hlp") << "help";
  Open();
  WhenShown("frmNewINI", [](QWidget& dialog) {
    Click(dialog, "optUseActiveDirectory");
    Click(dialog, "cmdSelect");
  });
  ASSERT_TRUE(window_->wizard().Start(""));
  // Keys reach the active window only.
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  Trigger("ID_BTN_AD");
  auto* domain = Named<QComboBox>(*window_, "cboDomainName");
  ASSERT_TRUE(domain && domain->lineEdit());
  QTest::keyClicks(domain->lineEdit(), "CORP");
  Trigger("ID_BTN_EMAIL");
  Click(*window_, "chkUseSMTP");
  auto* subject = Named<QLineEdit>(*window_, "txtEmailSubject");
  ASSERT_TRUE(subject);
  QTest::keyClicks(subject, "Moved");
  ASSERT_TRUE(window_->wizard().document().DocumentDirty);

  // F1 from a field: the help of the page shown. The menu entries show their
  // keys.
  QTest::keyClick(subject, Qt::Key_F1);
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "help " + (folder_ / "program" / "Quillon.hlp").string() + " context=1008\n");
  EXPECT_EQ(window_->findChild<QAction*>("ID_BTN_SAVE")->shortcut(),
            QKeySequence(Qt::CTRL | Qt::Key_S));
  // Ctrl+S: an untitled document is saved under a name.
  dialogs_.asked.clear();
  const std::string path = (folder_ / "docs" / "keys.ini").string();
  dialogs_.SetNextFileName(path);
  QTest::keyClick(subject, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(window_->windowTitle().toStdString(), "Quillon - Deployment Toolkit [keys.ini]");
  EXPECT_TRUE(fs::exists(path));
  // Ctrl+O: the open dialog, here cancelled.
  dialogs_.asked.clear();
  dialogs_.SetNextFileName("");
  QTest::keyClick(subject, Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(dialogs_.asked.size(), 1U) << gui::Transcript(dialogs_.asked);
  EXPECT_EQ(dialogs_.asked[0].kind, gui::AskedDialog::Kind::OpenFile);
  // Ctrl+N: the start dialog asks the new document's kind; F1 there is its
  // help, Escape its cancel.
  dialogs_.asked.clear();
  bool asked = false;
  WhenShown("frmNewINI", [&asked](QWidget& dialog) {
    asked = true;
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &dialog,
                    Qt::Key_F1);
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  QTest::keyClick(subject, Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(asked);
  ASSERT_EQ(dialogs_.asked.size(), 1U) << gui::Transcript(dialogs_.asked);
  EXPECT_EQ(dialogs_.asked[0].kind, gui::AskedDialog::Kind::Help);

  // A View choice takes the focus out of the tree to the page's first field.
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  auto* tree = Named<QTreeWidget>(*window_, kPageTree);
  for (const auto& [command, field] : {std::pair{"ID_BTN_AD", "cboDomainName"},
                                       std::pair{"ID_BTN_FILE", "chkUseFileOutput"},
                                       std::pair{"ID_BTN_GENERAL", "chkAlwaysRun"}}) {
    tree->setFocus();
    Trigger(command);
    QApplication::processEvents();
    QWidget* focused = QApplication::focusWidget();
    // A combo's typing goes to its edit box.
    while (focused && focused->objectName().isEmpty()) focused = focused->parentWidget();
    ASSERT_TRUE(focused) << command;
    EXPECT_EQ(focused->objectName().toStdString(), field) << command;
  }
  // Back on the first page, Next on the last: greyed.
  EXPECT_FALSE(Named<QPushButton>(*window_, "cmdBack(0)")->isEnabled());
  EXPECT_TRUE(Named<QPushButton>(*window_, "cmdNext(0)")->isEnabled());
  EXPECT_TRUE(Named<QPushButton>(*window_, "cmdBack(19)")->isEnabled());
  EXPECT_FALSE(Named<QPushButton>(*window_, "cmdNext(19)")->isEnabled());

  // The least size: asked smaller, the window keeps it, and there no control
  // leaves the window or is cut, on any page.
  window_->resize(200, 150);
  QApplication::processEvents();
  EXPECT_EQ(window_->size(), window_->minimumSize());
  EXPECT_GT(window_->minimumWidth(), 200);
  QWidget* client = window_->findChild<QWidget*>("frmWizard.client");
  ASSERT_TRUE(client);
  for (const auto& model : window_->wizard().form().controls()) {
    QWidget* widget = window_->findChild<QWidget*>(QString::fromStdString(model->key()));
    ASSERT_TRUE(widget) << model->key();
    EXPECT_TRUE(widget->geometry().width() > 0 && widget->geometry().height() > 0) << model->key();
    EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry())) << model->key();
  }
  EXPECT_TRUE(window_->rect().contains(client->geometry()));
  EXPECT_EQ(dialogs_.unscripted, 0);
}

}  // namespace
}  // namespace quillon::toolkit
