// QtDialogs: the settings each real dialog gets, and a round trip through each
// one run modally and answered the way a user would.
#include "gui/qt/qt_dialogs.h"

#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace quillon::gui {
namespace {

// Runs `answer` on the modal dialog as soon as it is up.
void WhenModal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      answer(dialog);
    }
  });
  timer->start();
}

TEST(NameFiltersTest, TurnsTheCommonDialogFilterIntoQtFilters) {
  EXPECT_EQ(NameFilters("Comma Seperated Values(*.csv)|*.csv"),
            QStringList{"Comma Seperated Values(*.csv)"});
  EXPECT_EQ(NameFilters("Text files|*.txt;*.log|All files|*.*"),
            (QStringList{"Text files (*.txt *.log)", "All files (*.*)"}));
  EXPECT_EQ(NameFilters(""), QStringList{});
}

TEST(QtDialogsTest, SaveDialogGetsEverySetting) {
  SaveFileOptions options{"Save Print Driver Info file As ...", "csv", "Default.csv",
                          "Comma Seperated Values(*.csv)|*.csv", true};
  QFileDialog dialog;
  PrepareSaveDialog(dialog, options);
  EXPECT_EQ(dialog.windowTitle(), "Save Print Driver Info file As ...");
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog.defaultSuffix(), "csv");
  EXPECT_EQ(dialog.nameFilters(), QStringList{"Comma Seperated Values(*.csv)"});
  EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  ASSERT_EQ(dialog.selectedFiles().size(), 1);
  const QString offered = dialog.selectedFiles()[0];
  EXPECT_TRUE(offered.endsWith("/Default.csv")) << offered.toStdString();

  options.promptOverwrite = false;
  PrepareSaveDialog(dialog, options);
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));

  QFileDialog open;
  PrepareOpenDialog(open, {"Open INI File ...", "ini", "", "Quillon (*.ini)|*.ini", false});
  EXPECT_EQ(open.windowTitle(), "Open INI File ...");
  EXPECT_EQ(open.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(open.fileMode(), QFileDialog::ExistingFile) << "only a file that is there";
  EXPECT_EQ(open.nameFilters(), QStringList{"Quillon (*.ini)"});
}

TEST(QtDialogsTest, MessageBoxGetsTitleTextIconAndButtons) {
  QMessageBox box;
  PrepareMessageBox(box, "Copy Error", "Error copying driver files.\n\nERROR NUMBER: 2",
                    MessageIcon::Critical, MessageButtons::Ok);
  EXPECT_EQ(box.windowTitle(), "Copy Error");
  EXPECT_EQ(box.text(), "Error copying driver files.\n\nERROR NUMBER: 2");
  EXPECT_EQ(box.icon(), QMessageBox::Critical);
  EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
  PrepareMessageBox(box, "T", "x", MessageIcon::Exclamation, MessageButtons::YesNoCancel);
  EXPECT_EQ(box.icon(), QMessageBox::Warning);
  EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

TEST(QtDialogsTest, ModalDialogsReturnWhatTheUserChose) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QWidget owner;
  QtDialogs dialogs(&owner);

  WhenModal([](QWidget* box) {
    static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(dialogs.ShowMessageBox("Q", "Sure?", MessageIcon::Question, MessageButtons::YesNo),
            MessageAnswer::No);

  // A name typed without its extension gets the default one.
  const QString typed = QDir(folder.path()).filePath("drivers");
  WhenModal([typed](QWidget* dialog) {
    auto* files = static_cast<QFileDialog*>(dialog);
    // Typed into the name box, as a user does: selectFile() would race the
    // dialog's own folder listing, which may put the offered name back.
    auto* name = files->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_TRUE(name);
    name->setText(typed);
    static_cast<QDialog*>(files)->accept();  // QFileDialog makes it protected
  });
  EXPECT_EQ(dialogs.ShowSaveDialog({"Save", "csv", "Default.csv", "CSV|*.csv", true}),
            (typed + ".csv").toStdString());

  WhenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
  EXPECT_EQ(dialogs.ShowSaveDialog({"Save", "csv", "Default.csv", "CSV|*.csv", true}), "");

  std::string title;
  WhenModal([&title, &folder](QWidget* dialog) {
    auto* files = static_cast<QFileDialog*>(dialog);
    title = files->windowTitle().toStdString();
    EXPECT_EQ(files->fileMode(), QFileDialog::Directory);
    // Into the folder and accept, as a user does; the folder's own listing
    // fills in later, so nothing in it is selected.
    files->setDirectory(folder.path());
    static_cast<QDialog*>(files)->accept();  // QFileDialog makes it protected
  });
  EXPECT_EQ(dialogs.BrowseForFolder(), QDir::toNativeSeparators(folder.path()).toStdString());
  EXPECT_EQ(title, "Please select a folder.");

  // The network browser: a mounted share is a folder like any other here.
  title.clear();
  WhenModal([&title, &folder](QWidget* dialog) {
    auto* files = static_cast<QFileDialog*>(dialog);
    title = files->windowTitle().toStdString();
    files->setDirectory(folder.path());
    static_cast<QDialog*>(files)->accept();
  });
  EXPECT_EQ(dialogs.BrowseForNetworkFolder(),
            QDir::toNativeSeparators(folder.path()).toStdString());
  EXPECT_EQ(title, "Select a network computer or share.");
  WhenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
  EXPECT_EQ(dialogs.BrowseForNetworkFolder(), "") << "cancelled";
}

TEST(QtDialogsTest, FolderDialogsTakeExistingFoldersOnlyUnderTheirTitles) {
  QFileDialog folder, network;
  PrepareFolderDialog(folder);
  PrepareNetworkFolderDialog(network);
  EXPECT_EQ(folder.windowTitle(), "Please select a folder.");
  EXPECT_EQ(network.windowTitle(), "Select a network computer or share.");
  for (QFileDialog* dialog : {&folder, &network}) {
    SCOPED_TRACE(dialog->windowTitle().toStdString());
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly)) << "files are not offered";
  }
}

// Records the URLs the desktop is asked to open, in place of its browser.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }
};

TEST(QtDialogsTest, TheGuideGoesToTheDesktopAsALocalFileAndWinHelpToNothing) {
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler("file", &recorder, "Open");
  QtDialogs dialogs(nullptr);
  const std::string page = "/opt/Quillon Toolkit/QuillonGuide/sections/smtp-mail.html";
  EXPECT_TRUE(dialogs.OpenGuide(page));
  EXPECT_FALSE(dialogs.ShowHelp("/opt/Quillon Toolkit/Quillon.hlp", 1008))
      << "Linux has no viewer for WinHelp files";
  QDesktopServices::unsetUrlHandler("file");
  ASSERT_EQ(recorder.opened.size(), 1);
  EXPECT_EQ(recorder.opened[0], QUrl::fromLocalFile(QString::fromStdString(page)));
  EXPECT_EQ(recorder.opened[0].toLocalFile().toStdString(), page);
}

}  // namespace
}  // namespace quillon::gui

#include "qt_dialogs_test.moc"
