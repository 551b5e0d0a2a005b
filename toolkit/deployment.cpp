#include "toolkit/deployment.h"

#include "platform/ascii_case.h"

#include <cctype>
#include <cstdio>
#include <utility>

#include "platform/text.h"

namespace quillon::toolkit {
namespace {

using platform::Status;

constexpr std::string_view kCrLf = "\r\n";
// Windows' numbers for what the host's own calls cannot tell.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;

constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};

// A message box's lines, which the dialogs separate by "\n".
std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  bool first = true;
  for (std::string_view line : lines) {
    if (!first) text += '\n';
    text += line;
    first = false;
  }
  return text;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

std::string HexByte(char c) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
  return text;
}

// The character in words, for the refusal.
std::string CharacterName(char c) {
  switch (c) {
    case '"':
      return "a double quote (\")";
    case '!':
      return "an exclamation mark (!)";
    case '\r':
      return "a carriage return (CR)";
    case '\n':
      return "a line feed (LF)";
    case '\0':
      return "a NUL character";
    default:
      return "the control character " + HexByte(c);
  }
}

// On a host whose 8-bit text is UTF-8 (Linux, Samba names): the length of
// the sequence at the start of `text`, 0 when it is not UTF-8, with its
// code point.
std::size_t Utf8Length(std::string_view text, char32_t* point) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
  if (length == 0 || text.size() < length) return 0;
  char32_t value = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *point = value;
  return length;
}

// C1 controls, line and paragraph separators and the direction controls: a
// line holding them does not read as it runs.
bool IsInvisibleControl(char32_t point) {
  return (point >= 0x80 && point <= 0x9F) || point == 0x2028 || point == 0x2029 ||
         (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069) ||
         point == 0x200E || point == 0x200F || point == 0xFEFF;
}

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

}  // namespace

std::optional<std::string> EscapeForBatch(std::string_view text, BatchPlace place,
                                          std::string* refused) {
  static const bool utf8 = platform::NarrowCharsetName() == "UTF-8";
  std::string escaped;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (utf8 && static_cast<unsigned char>(c) >= 0x80) {
      char32_t point = 0;
      const std::size_t length = Utf8Length(text.substr(i), &point);
      if (length == 0 || IsInvisibleControl(point)) {
        if (refused) {
          char name[48];
          if (length == 0) {
            std::snprintf(name, sizeof name, "the byte 0x%02X, which is not UTF-8",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
          } else {
            std::snprintf(name, sizeof name, "the control character U+%04X",
                          static_cast<unsigned>(point));
          }
          *refused = name;
        }
        return std::nullopt;
      }
      escaped.append(text.substr(i, length));
      i += length - 1;
      continue;
    }
    if (c == '"' || IsControl(c) || (c == '!' && place == BatchPlace::QuotedPath)) {
      if (refused) *refused = CharacterName(c);
      return std::nullopt;
    }
    // cmd expands "%" in every line, remarks included; "%%" is one percent sign.
    if (c == '%' || (c == '^' && place == BatchPlace::Remark)) escaped += c;
    escaped += c;
  }
  return escaped;
}

std::string EscapeForHtml(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string VisibleText(std::string_view text) {
  std::string visible;
  for (const char c : text) {
    switch (c) {
      case '\r':
        visible += "<CR>";
        break;
      case '\n':
        visible += "<LF>";
        break;
      case '\t':
        visible += "<TAB>";
        break;
      case '\0':
        visible += "<NUL>";
        break;
      default:
        visible += IsControl(c) ? "<" + HexByte(c) + ">" : std::string(1, c);
    }
  }
  return visible;
}

DeploymentInputs ReadDeploymentInputs(gui::Form& wizard, const WizardDocument& document,
                                      std::string toolkitFolder) {
  DeploymentInputs inputs;
  inputs.deploymentFolder = wizard["txtNetworkSharePath"].text();
  inputs.includeInstaller = wizard["chkIncludeMDAC"].checked();
  for (int option = 0; option < 3; ++option) {
    if (wizard["optMDACVersion(" + std::to_string(option) + ")"].checked()) {
      inputs.installerOption = option;
      break;
    }
  }
  inputs.DocumentPath = document.DocumentPath;
  inputs.DocumentFileName = document.DocumentFileName;
  inputs.toolkitFolder = std::move(toolkitFolder);
  return inputs;
}

std::string InstallerFileName(const DeploymentInputs& inputs) {
  if (!inputs.includeInstaller || !inputs.installerOption) return {};
  const int option = *inputs.installerOption;
  if (option < 0 || option >= static_cast<int>(std::size(kMdacInstallers))) return {};
  return kMdacInstallers[option];
}

std::string StagingBatchFileName(std::string_view documentFileName) {
  return std::string(documentFileName) + "-StageDrivers.bat";
}

int DeploymentStepCount(const DeploymentInputs& inputs, bool launchPage, bool batchFile) {
  return (inputs.includeInstaller ? 1 : 0) + 2 + (launchPage ? 1 : 0) + (batchFile ? 2 : 0);
}

std::string GeneratedOnText(const platform::LocalTime& time) {
  const int month = (time.month >= 1 && time.month <= 12) ? time.month : 1;
  const int hour = time.hour % 12 == 0 ? 12 : time.hour % 12;
  return std::string(kMonths[month - 1]) + " " + TwoDigits(time.day) + ", " +
         std::to_string(time.year) + " " + TwoDigits(hour) + ":" + TwoDigits(time.minute) + ":" +
         TwoDigits(time.second) + (time.hour < 12 ? " AM" : " PM");
}

Deployment::Deployment(Environment environment, DeploymentInputs inputs)
    : environment_(std::move(environment)),
      inputs_(std::move(inputs)),
      folder_(ResolveDeploymentFolder(inputs_.deploymentFolder, environment_.mountTable)) {}

void Deployment::Step(const std::string& caption) {
  environment_.progress.SetCaption(caption);
  environment_.progress.Advance();
  environment_.progress.ProcessEvents();
}

// The typed folder and the name with the host's separator between them, as
// typed: a trailing separator is doubled, which every system reads as one.
std::string Deployment::HostPath(std::string_view name) const {
  return folder_.host + platform::PathSeparator() + std::string(name);
}

// A copy is a new file renamed over the name: copying onto a file a user
// planted would leave it theirs, and a planted link would be written
// through. The source may itself lie in the folder (a document saved there),
// so it is read only as a regular file.
Status Deployment::Copy(const std::string& from, std::string_view name) {
  if (folder_.host.empty()) return Status::Error(kErrorPathNotFound, folder_.unreachable);
  return environment_.files.CopyFileAnew(from, HostPath(name), kDeployedFileLimit);
}

bool Deployment::Deploy(bool launchPage, bool batchFile) {
  if (batchFile) {
    if (const std::string refusal = BatchFileRefusal(); !refusal.empty()) {
      environment_.dialogs.ShowMessageBox("Error", refusal + "\nNothing was deployed.",
                                          gui::MessageIcon::Critical, gui::MessageButtons::Ok);
      DeploymentSucceeded = false;
      return false;
    }
  }
  if (!DeployFiles()) return false;
  stagingScript_ = batchFile;
  if (launchPage) WriteLaunchPage();
  if (batchFile) {
    WriteBatchFile();
    WriteStagingBatchFile();
  }
  return DeploymentSucceeded;
}

bool Deployment::DeployFiles() {
  const auto fromToolkit = [this](std::string_view name) {
    return inputs_.toolkitFolder + platform::PathSeparator() + std::string(name);
  };
  const auto fail = [this](const char* title, const std::string& text, gui::MessageIcon icon) {
    environment_.dialogs.ShowMessageBox(title, text, icon, gui::MessageButtons::Ok);
    DeploymentSucceeded = false;
    return false;
  };

  if (inputs_.includeInstaller) {
    Step("Copying MDAC file ...");
    const std::string installer = InstallerFileName(inputs_);
    // With no version chosen there is no file to copy or to start.
    const Status status = installer.empty()
                              ? Status::Error(kErrorFileNotFound, "No MDAC version is chosen.")
                              : Copy(fromToolkit(installer), installer);
    if (!status.ok) {
      return fail(
          "Error",
          Lines({"Error copying MDAC file to deployment folder. ",
                 "Please verify your deployment folder path, ensure that you have downloaded the",
                 "additional MDAC files from the Quillon website",
                 "(" + std::string(kMdacDownloadUrl) + ")",
                 "or you have configured your MDAC files as described in the User's Guide.", "",
                 "Error:" + std::to_string(status.errorNumber),
                 "Error Description:" + status.description}),
          gui::MessageIcon::Critical);
    }
  }

  Step("Copying Quillon Engine ...");
  if (const Status status = Copy(fromToolkit(kEngineFileName), kEngineFileName); !status.ok) {
    return fail("Error",
                Lines({"Error copying Quillon Engine file to deployment folder. Please verify "
                       "that you have permissions to your deployment folder.",
                       "", "Error:" + std::to_string(status.errorNumber),
                       "Error Description:" + status.description}),
                gui::MessageIcon::Critical);
  }

  Step("Copying INI file ...");
  if (Copy(inputs_.DocumentPath, inputs_.DocumentFileName).ok) return true;
  // The file is there but could not be replaced: write-protected where the
  // rename needs it, or the document saved there cannot be read.
  if (!folder_.host.empty() && environment_.files.FileExists(HostPath(inputs_.DocumentFileName))) {
    return fail(
        "INI File Write Warning",
        Lines({"Warning: Quillon was unable to deploy your INI file to the folder specified.", "",
               "The file already exists and is currently write protected.",
               "If you saved your INI file to the same folder as your deployment folder,",
               "then you can ignore this warning, becuase your INI file is already deployed.",
               "If not, then please check your file and folder permissions."}),
        gui::MessageIcon::Exclamation);
  }
  return fail("Error Deploying INI File",
              Lines({"Error: Quillon was unable to deploy your INI file to the folder specified.",
                     "", "Please check your file and folder permissions."}),
              gui::MessageIcon::Critical);
}

// Every text of the batch file passes EscapeForBatch; the first that cannot
// stand in it refuses the whole file, named as the administrator knows it.
Deployment::BatchFile Deployment::BatchFileText(const platform::LocalTime& now,
                                                bool staging) const {
  BatchFile file;
  const auto put = [&file](const char* what, std::string_view text, BatchPlace place) {
    std::string refused;
    if (std::optional<std::string> escaped = EscapeForBatch(text, place, &refused)) {
      return std::move(*escaped);
    }
    if (file.refusal.empty()) {
      file.refusal = Lines({"Error: Quillon cannot write the batch file, because " +
                                std::string(what) + " cannot be written into it safely:",
                            VisibleText(text), "It holds " + refused + ".", "",
                            "Please use a name without it, or deploy without the batch file."});
    }
    return std::string();
  };
  const auto client = [&](std::string_view name, const char* what) {
    return Quoted(put("the deployment folder", folder_.client, BatchPlace::QuotedPath) + "\\" +
                  put(what, name, BatchPlace::QuotedPath));
  };
  std::vector<std::string> lines = {
      "REM -- This batch file was generated by Quillon, a product of " + std::string(kMakerName) +
          ".",
      "REM -- For more information about Quillon, see " + std::string(kMakerUrl),
      "REM -- ",
      "REM -- Generated On: " + put("the date", GeneratedOnText(now), BatchPlace::Remark),
      "REM -- Generated By: " + put("the user name", environment_.userName, BatchPlace::Remark),
      "REM -- Generated From Computer: " +
          put("the computer name", environment_.computerName, BatchPlace::Remark)};
  if (folder_.namedAsTyped) {
    lines.push_back(
        "REM -- Note: no mounted network share holds the deployment folder, so it is named "
        "here as typed.");
  }
  if (staging) {
    // Said where an administrator who finds the file will read it.
    lines.insert(lines.end(),
                 {"REM -- ",
                  "REM -- Run this file at computer start-up, as the local system account: a Group",
                  "REM -- Policy computer start-up script, or a scheduled task at start-up that runs",
                  "REM -- as SYSTEM. It installs the printer drivers that the moves of this",
                  "REM -- computer's users need; since the 2021 print spooler hardening a standard",
                  "REM -- user may not install them at logon, and those moves fail (error 3019).",
                  "", "", "REM -- Stage the printer drivers the INI's moves need",
                  client(kEngineFileName, "the engine's name") + " /StageDrivers " +
                      client(inputs_.DocumentFileName, "the document name")});
    if (!file.refusal.empty()) return file;
    for (const std::string& line : lines) file.text += line + std::string(kCrLf);
    return file;
  }
  lines.insert(lines.end(), {"", ""});
  if (const std::string installer = InstallerFileName(inputs_); !installer.empty()) {
    lines.insert(lines.end(), {"REM -- Run the MDAC udpate first",
                               client(installer, "the installer's name"), "", ""});
  }
  lines.push_back("REM -- Run the Quillon Engine with INI");
  lines.push_back(client(kEngineFileName, "the engine's name") + " " +
                  client(inputs_.DocumentFileName, "the document name"));
  if (!file.refusal.empty()) return file;
  for (const std::string& line : lines) file.text += line + std::string(kCrLf);
  return file;
}

std::string Deployment::BatchFileRefusal() const {
  // Both batch files hold the same names.
  return BatchFileText(environment_.clock.Now(), /*staging=*/false).refusal;
}

std::string Deployment::LaunchPageText(const platform::LocalTime& now) const {
  const auto link = [](std::string_view target) {
    return "<a href=" + Quoted(EscapeForHtml(target)) + ">";
  };
  const std::string site = kMakerUrl;
  std::vector<std::string> lines = {
      // Valid HTML, so that every browser shows it the same; the texts are as
      // they always were. Every text in it is UTF-8.
      "<!DOCTYPE html>",
      "<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Quillon</title></head>",
      "<body>",
      "<h3>This page was generated by Quillon, a product of " + EscapeForHtml(kMakerName) +
          ".<br>",
      "For more information about Quillon, see " + link(site) + EscapeForHtml(site) +
          "</a></h3><br>",
      "<p>Generated On: " + EscapeForHtml(GeneratedOnText(now)) + "<br>",
      "Generated By: " + EscapeForHtml(environment_.userName) + "<br>",
      "Generated From Computer: " + EscapeForHtml(environment_.computerName) + "</p><br>",
      "<p> For each of the links below, you MUST select the RUN (or OPEN) button when<br>"
      "prompted by your browser. Do NOT Save the files, or Quillon will NOT<br>"
      "operate correctly.</p><br>"};
  if (const std::string installer = InstallerFileName(inputs_); !installer.empty()) {
    lines.push_back("<p>" + link(installer) +
                    "Please install this version of MDAC before running the Quillon "
                    "application.</a></p>");
    lines.push_back("<br>");
  }
  if (stagingScript_) {
    const std::string script = StagingBatchFileName(inputs_.DocumentFileName);
    lines.push_back(
        "<p>For administrators: " + EscapeForHtml(script) +
        " in this folder installs the printer drivers that the moves need. Since the 2021 "
        "print spooler hardening a standard user may not install printer drivers, so a move "
        "to a printer whose driver the computer lacks fails at logon. Run " +
        EscapeForHtml(script) +
        " at computer start-up as the local system account: add it as a Group Policy computer "
        "start-up script, or as a scheduled task at start-up that runs as SYSTEM. The computer "
        "accounts must be able to read this folder.</p><br>");
  }
  lines.push_back("<p>To run the Quillon application please click on the following link: ");
  lines.push_back(link(kEngineFileName) + "Quillon now! </a></p>");
  lines.push_back("</body></html>");
  std::string text;
  for (const std::string& line : lines) text += line + std::string(kCrLf);
  return text;
}

// The whole file is written at once and replaces the old one only when it is
// complete: clients run the batch file at every logon, and half a file could
// start the installer without the engine, or the engine with a cut path.
void Deployment::WriteDeployed(std::string_view name, const std::string& text, const char* title,
                               const char* what) {
  const Status status = folder_.host.empty()
                            ? Status::Error(kErrorPathNotFound, folder_.unreachable)
                            : environment_.files.WriteFileAtomic(HostPath(name), text);
  if (status.ok) return;
  environment_.dialogs.ShowMessageBox(
      title,
      Lines({"Error: Quillon was unable to deploy your " + std::string(what) +
                 " file to the folder specified.",
             "", "Please check your file and folder permissions."}),
      gui::MessageIcon::Critical, gui::MessageButtons::Ok);
  // The closing message must not call a deployment without its file a success.
  DeploymentSucceeded = false;
}

std::string Deployment::ClientPathProblem() const {
  if (!folder_.namedAsTyped || !folder_.client.starts_with("/")) return std::string();
  return "The deployment folder " + VisibleText(folder_.client) +
         " is on no mounted network share, so the batch files name it as this computer "
         "does, and no Windows client can run them. If a server shares this folder (Samba), "
         "mount that share on this computer (CIFS) and deploy again to the share's "
         "\\\\server\\share name, so that the batch files name the folder as the clients do.";
}

void Deployment::WriteLaunchPage() {
  Step(inputs_.includeInstaller ? "Creating HTML file ..." : "Create HTML file ...");
  WriteDeployed(inputs_.DocumentFileName + ".html", LaunchPageText(environment_.clock.Now()),
                "Error Deploying HTML File", "HTML");
}

void Deployment::WriteBatchFile() {
  Step("Creating batch file ...");
  const BatchFile file = BatchFileText(environment_.clock.Now(), /*staging=*/false);
  if (!file.refusal.empty()) {
    environment_.dialogs.ShowMessageBox("Error", file.refusal, gui::MessageIcon::Critical,
                                        gui::MessageButtons::Ok);
    DeploymentSucceeded = false;
    return;
  }
  WriteDeployed(inputs_.DocumentFileName + ".bat", file.text, "Error Deploying Batch File",
                "batch");
}

void Deployment::WriteStagingBatchFile() {
  Step("Creating start-up batch file ...");
  const BatchFile file = BatchFileText(environment_.clock.Now(), /*staging=*/true);
  if (!file.refusal.empty()) {
    environment_.dialogs.ShowMessageBox("Error", file.refusal, gui::MessageIcon::Critical,
                                        gui::MessageButtons::Ok);
    DeploymentSucceeded = false;
    return;
  }
  WriteDeployed(StagingBatchFileName(inputs_.DocumentFileName), file.text,
                "Error Deploying Batch File", "start-up batch");
}

}  // namespace quillon::toolkit
