// The text and JSON forms of a plan, as `quillon plan` prints them.
#include "tools/quillon/plan_output.h"

#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/sim/sim_platform.h"
#include "toolkit/deployment.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {

namespace sim = platform::sim;

namespace {

std::string ChangeOfDefault(const Plan& plan) {
  const std::string before = plan.defaultBefore.value_or("");
  const std::string after = plan.defaultAfter.value_or("");
  if (before == after) return before.empty() ? "none (unchanged)" : before + " (unchanged)";
  return (before.empty() ? "none" : before) + " -> " + (after.empty() ? "none" : after);
}

void List(std::ostream& out, const char* title, const std::vector<std::string>& lines) {
  out << title << " (" << lines.size() << ")" << (lines.empty() ? ": none\n" : ":\n");
  for (const std::string& line : lines) out << "  " << line << "\n";
}

std::string EventTypeText(int type) {
  switch (type) {
    case platform::kEventTypeWarning: return "Warning";
    case platform::kEventTypeInformation: return "Information";
    default: return "type " + std::to_string(type);
  }
}

std::string Indented(std::string_view text, const char* prefix) {
  std::string result;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    if (end == text.size() && at == end && at != 0) break;
    result += prefix;
    result.append(text.substr(at, end - at));
    result += "\n";
    at = end + 1;
  }
  return result;
}

std::vector<std::string> DriverLines(const Plan& plan, bool installed) {
  std::vector<std::string> lines;
  if (installed) {
    for (const sim::SimDriver& d : plan.driversInstalled) {
      lines.push_back(d.name + (d.environment.empty() ? "" : " (" + d.environment + ")") +
                      (d.driverVersion ? " " + *d.driverVersion : ""));
    }
  } else {
    for (const UpdatedDriver& d : plan.driversUpdated) {
      lines.push_back(d.name + (d.environment.empty() ? "" : " (" + d.environment + ")") + " " +
                      d.before + " -> " + d.after);
    }
  }
  return lines;
}

// The document's name as the deployment's batch files carry it.
std::string DocumentFileName(const std::string& document) {
  const std::size_t slash = document.find_last_of("\\/");
  return slash == std::string::npos ? document : document.substr(slash + 1);
}

void WriteDriversNeeded(std::ostream& out, const Plan& plan, const std::string& document) {
  if (plan.driversNeeded.empty()) return;
  std::vector<std::string> lines;
  bool staged = false;
  for (const DriverNeeded& need : plan.driversNeeded) {
    std::string line = need.connection + ": driver " + need.driver +
                       (need.version.empty() ? "" : " " + need.version) + " from " + need.server +
                       " (here: " + (need.installed.empty() ? "none" : need.installed) +
                       "), error " + std::to_string(need.error);
    if (need.stagingInstalls) {
      staged = true;
    } else if (need.error == platform::kErrorUnknownPrinterDriver) {
      line += "; " + need.server +
              " has no version of this driver for the client's system: add it on the print "
              "server, no staging run can install it";
    } else {
      line += "; " + need.server +
              " does not tell the driver's version, so no staging run installs it: deploy the "
              "driver by policy, or offer a package-aware driver on the server";
    }
    lines.push_back(line);
  }
  List(out, "Moves that fail for want of a driver", lines);
  if (staged) {
    out << "  A staging run installs these drivers before the users log on: run QuillonEngine\n"
           "  /StageDrivers with this document at computer start-up as the local system\n"
           "  account (deploy with the batch file and add "
        << toolkit::StagingBatchFileName(DocumentFileName(document))
        << "\n"
           "  as a Group Policy computer start-up script, or as a scheduled task at start-up\n"
           "  running as SYSTEM). 'quillon plan --stage-drivers' shows what it would install.\n";
  }
}

void WriteStagingText(std::ostream& out, const Plan& plan, const std::string& document,
                      const std::string& clientName, bool withDebug);
void WriteChannels(std::ostream& out, const Plan& plan, bool withDebug);

}  // namespace

void WritePlanText(std::ostream& out, const Plan& plan, const std::string& document,
                   const std::string& clientName, bool withDebug) {
  if (plan.staging) {
    WriteStagingText(out, plan, document, clientName, withDebug);
    return;
  }
  out << "Plan of " << document << " on " << clientName << "\n";
  for (const std::string& line : plan.targeting) out << line << "\n";
  if (plan.documentRead && !plan.targeted) {
    out << "The run would do nothing: no printer is touched, no outcome stored and no\n"
           "notification sent, so the document runs again at the next logon.\n";
    if (withDebug && !plan.debugText.empty()) out << "\nDebug text:\n" << plan.debugText;
    return;
  }
  if (!plan.targeting.empty()) out << "\n";
  if (!plan.documentRead) {
    out << "The engine could not read the document: the run would stop there.\n";
  } else if (plan.alreadySucceeded) {
    out << "The document has already succeeded for this user: the run would only say so.\n";
  } else if (plan.succeeded) {
    out << "The run would succeed.\n";
  } else if (plan.aborted) {
    out << "The run would FAIL: it stops before its end and reports the failure.\n";
  } else {
    out << "The run would FAIL: printer operations fail. The outcome stored is a failure, so\n"
           "the document runs again at the next logon.\n";
  }
  out << "\n";
  List(out, "Connections added", plan.connectionsAdded);
  List(out, "Connections removed", plan.connectionsRemoved);
  out << "Default printer: " << ChangeOfDefault(plan) << "\n";
  auto printers = [](const std::vector<PlannedPrinter>& list) {
    std::vector<std::string> lines;
    for (const PlannedPrinter& p : list) {
      lines.push_back(p.name + " (driver " + p.driverName + ", port " + p.portName + ")");
    }
    return lines;
  };
  List(out, "Local printers installed", printers(plan.localAdded));
  if (!plan.localRemoved.empty()) List(out, "Local printers removed", printers(plan.localRemoved));
  std::vector<std::string> drivers;
  for (const sim::SimDriver& d : plan.driversInstalled) {
    drivers.push_back(d.name + (d.environment.empty() ? "" : " (" + d.environment + ")"));
  }
  List(out, "Drivers installed", drivers);
  if (!plan.driversUpdated.empty()) List(out, "Drivers updated", DriverLines(plan, false));
  List(out, "Ports added", plan.portsAdded);
  WriteDriversNeeded(out, plan, document);
  out << "Outcome stored: ";
  if (plan.storedOutcome.empty()) {
    out << "nothing\n";
  } else {
    out << (plan.storedOutcome == "True" ? "success" : "failure") << " ("
        << plan.storedOutcome << " in " << plan.storedWhere << ")\n";
  }

  WriteChannels(out, plan, withDebug);
}

namespace {

void WriteChannels(std::ostream& out, const Plan& plan, bool withDebug) {
  std::vector<std::string> notices;
  for (const RecordedMail& mail : plan.mails) {
    std::string to;
    for (const std::string& r : mail.recipients) to += (to.empty() ? "" : ", ") + r;
    notices.push_back("e-mail from " + mail.from + " to " + to + " through " + mail.server +
                      ":" + mail.port + ", subject \"" + mail.Subject() +
                      "\" (recorded, not sent)");
  }
  for (const RefusedMail& mail : plan.mailsRefused) {
    notices.push_back("e-mail through " + mail.server + ":" + mail.port +
                      " FAILS before any server is reached: error " +
                      std::to_string(mail.error) + " " + mail.description);
  }
  for (const sim::SimMessageBox& box : plan.popups) {
    std::string text = WithLf(box.text);
    std::replace(text.begin(), text.end(), '\n', ' ');
    notices.push_back("pop-up \"" + box.title + "\": " + text);
  }
  for (const sim::SimEvent& event : plan.events) {
    notices.push_back("event log: " + EventTypeText(event.type) + " event " +
                      std::to_string(event.eventId) + " from " + event.source);
  }
  List(out, "Notifications", notices);
  std::vector<std::string> written;
  for (const DryRunFileSystem::Written& file : plan.files) {
    std::string what = file.existed ? "changed" : "new";
    if (file.path == plan.debugFile) what += ", the debug file";
    if (file.path == plan.storedWhere) what += ", the status file";
    written.push_back(file.path + " (" + what + ")");
  }
  List(out, "Files written", written);
  if (!plan.filesRefused.empty()) {
    std::vector<std::string> refused;
    for (const DryRunFileSystem::Refused& file : plan.filesRefused) {
      refused.push_back(file.path + " (error " + std::to_string(file.status.errorNumber) + ": " +
                        file.status.description + ")");
    }
    List(out, "Files that could not be written", refused);
  }

  out << "\nReport:\n" << Indented(plan.report, "  | ");
  if (withDebug) {
    out << "\nDebug text:\n" << Indented(plan.debugText, "  | ");
  }
}

void WriteStagingText(std::ostream& out, const Plan& plan, const std::string& document,
                      const std::string& clientName, bool withDebug) {
  out << "Staging plan of " << document << " on " << clientName
      << ",\nas the local system account at computer start-up (QuillonEngine /StageDrivers)\n";
  if (!plan.documentRead) {
    out << "The engine could not read the document: the run would stop there.\n";
  } else if (plan.succeeded) {
    out << "Every driver the moves need would be installed afterwards.\n";
  } else {
    out << "Some driver the moves need would still be MISSING afterwards: the report says\n"
           "which and why.\n";
  }
  out << "\n";
  List(out, "Drivers installed", DriverLines(plan, true));
  List(out, "Drivers updated", DriverLines(plan, false));
  WriteChannels(out, plan, withDebug);
}

}  // namespace

void WritePlanJson(std::ostream& out, const Plan& plan, const std::string& document,
                   const std::string& clientName, bool withDebug) {
  using Json = nlohmann::ordered_json;
  auto text = [](std::string_view value) { return Json(Utf8Text(value)); };
  auto texts = [&text](const std::vector<std::string>& values) {
    Json list = Json::array();
    for (const std::string& value : values) list.push_back(text(value));
    return list;
  };
  auto optionalText = [&text](const std::optional<std::string>& value) {
    return value ? text(*value) : Json(nullptr);
  };
  auto printers = [&text](const std::vector<PlannedPrinter>& list) {
    Json result = Json::array();
    for (const PlannedPrinter& p : list) {
      result.push_back({{"name", text(p.name)},
                        {"driver", text(p.driverName)},
                        {"port", text(p.portName)}});
    }
    return result;
  };
  Json json;
  json["document"] = text(document);
  json["client"] = text(clientName);
  json["run"] = plan.staging ? "staging" : "logon";
  json["outcome"] = !plan.documentRead         ? "unreadable"
                    : plan.alreadySucceeded    ? "already succeeded"
                    : plan.succeeded           ? "success"
                                               : "failure";
  json["connectionsAdded"] = texts(plan.connectionsAdded);
  json["connectionsRemoved"] = texts(plan.connectionsRemoved);
  json["defaultBefore"] = optionalText(plan.defaultBefore);
  json["defaultAfter"] = optionalText(plan.defaultAfter);
  json["localPrintersInstalled"] = printers(plan.localAdded);
  json["localPrintersRemoved"] = printers(plan.localRemoved);
  Json drivers = Json::array();
  for (const sim::SimDriver& d : plan.driversInstalled) {
    drivers.push_back({{"name", text(d.name)}, {"environment", text(d.environment)}});
  }
  json["driversInstalled"] = drivers;
  Json updated = Json::array();
  for (const UpdatedDriver& d : plan.driversUpdated) {
    updated.push_back({{"name", text(d.name)},
                       {"environment", text(d.environment)},
                       {"before", text(d.before)},
                       {"after", text(d.after)}});
  }
  json["driversUpdated"] = updated;
  Json needed = Json::array();
  for (const DriverNeeded& need : plan.driversNeeded) {
    needed.push_back({{"connection", text(need.connection)},
                      {"driver", text(need.driver)},
                      {"server", text(need.server)},
                      {"version", need.version.empty() ? Json(nullptr) : text(need.version)},
                      {"installed", need.installed.empty() ? Json(nullptr) : text(need.installed)},
                      {"error", need.error},
                      {"stagingInstalls", need.stagingInstalls}});
  }
  json["driversNeeded"] = needed;
  json["portsAdded"] = texts(plan.portsAdded);
  json["storedOutcome"] =
      plan.storedOutcome.empty() ? Json(nullptr) : Json(plan.storedOutcome == "True");
  json["storedIn"] = plan.storedWhere.empty() ? Json(nullptr) : text(plan.storedWhere);
  Json mails = Json::array();
  for (const RecordedMail& mail : plan.mails) {
    mails.push_back({{"server", text(mail.server)},
                     {"port", text(mail.port)},
                     {"from", text(mail.from)},
                     {"to", texts(mail.recipients)},
                     {"subject", text(mail.Subject())}});
  }
  json["mails"] = mails;
  Json mailsRefused = Json::array();
  for (const RefusedMail& mail : plan.mailsRefused) {
    mailsRefused.push_back({{"server", text(mail.server)},
                            {"port", text(mail.port)},
                            {"error", mail.error},
                            {"description", text(mail.description)}});
  }
  json["mailsFailed"] = mailsRefused;
  Json files = Json::array();
  for (const DryRunFileSystem::Written& file : plan.files) {
    files.push_back({{"path", text(file.path)}, {"existed", file.existed},
                     {"bytes", file.content.size()}});
  }
  json["files"] = files;
  Json refused = Json::array();
  for (const DryRunFileSystem::Refused& file : plan.filesRefused) {
    refused.push_back({{"path", text(file.path)},
                       {"error", file.status.errorNumber},
                       {"description", text(file.status.description)}});
  }
  json["filesNotWritten"] = refused;
  Json popups = Json::array();
  for (const sim::SimMessageBox& box : plan.popups) {
    popups.push_back({{"title", text(box.title)}, {"text", text(WithLf(box.text))}});
  }
  json["popups"] = popups;
  Json events = Json::array();
  for (const sim::SimEvent& event : plan.events) {
    events.push_back({{"source", text(event.source)},
                      {"type", EventTypeText(event.type)},
                      {"id", event.eventId},
                      {"message", text(WithLf(event.message))}});
  }
  json["events"] = events;
  json["report"] = text(plan.report);
  if (withDebug) json["debug"] = text(plan.debugText);
  out << json.dump(2) << "\n";
}

}  // namespace quillon::tools
