// The engine's record of what it read: one debug line per setting, so a
// support engineer can see from the debug file which document drove the run.
#include <string>

#include "document/document_file.h"

namespace quillon::document {

void LogDocumentSettings(const MigrationDocument& d, const DebugSink& debug) {
  if (!debug) return;
  auto line = [&debug](const char* label, const std::string& value) {
    debug(std::string(">> ") + label + ": " + value);
  };
  auto flag = [&line](const char* label, bool value) { line(label, value ? "True" : "False"); };
  auto heading = [&debug](const char* title) { debug(std::string(">> ") + title + " <<"); };

  flag("UseActiveDirectory", d.UseActiveDirectory);
  flag("UseManualDefinitions", d.UseManualDefinitions);
  flag("AlwaysRun", d.AlwaysRun);
  flag("ShowProgress", d.ShowProgress);
  line("DomainName", d.DomainName);
  heading("Server to Server Pairs");
  for (const ServerPair& pair : d.ServerPairs) {
    line("From Server", pair.FromServer);
    line("To Server", pair.ToServer);
  }
  heading("Printer to Printer Pairs");
  for (const PrinterPair& pair : d.PrinterPairs) {
    line("From Printer", pair.FromPrinter);
    line("To Printer", pair.ToPrinter);
  }
  heading("Mixed to Mixed Pairs");
  for (const MixedPair& pair : d.MixedPairs) {
    line("From Server", pair.FromServer);
    line("From Printer", pair.FromPrinter);
    line("To Server", pair.ToServer);
    line("To Printer", pair.ToPrinter);
  }
  flag("UseSMTP", d.UseSMTP);
  line("SMTPServerNameOrIP", d.SMTPServerNameOrIP);
  line("ServerPort", d.ServerPort);
  line("EmailSubject", d.EmailSubject);
  heading("Email To Addresses");
  for (const std::string& address : d.EmailTo) line("To Email Address", address);
  line("EmailFrom", d.EmailFrom);
  flag("UseFileOutput", d.UseFileOutput);
  line("FileOutputPath", d.FileOutputPath);
  line("FileOutputName", d.FileOutputName);
  flag("IncludeComputerName", d.IncludeComputerName);
  flag("IncludeOutcome", d.IncludeOutcome);
  flag("WriteToEventLog", d.WriteToEventLog);
  flag("UseClientPopup", d.UseClientPopup);
  flag("UseSuccessClientPopup", d.UseSuccessClientPopup);
  line("SuccessMessage", d.SuccessMessage);
  flag("UseFailureClientPopup", d.UseFailureClientPopup);
  line("FailureMessage", d.FailureMessage);
  line("DeploymentPath", d.DeploymentPath);
  flag("CreateHTMLLaunchPage", d.CreateWebLaunchPage);
  flag("CreateBatchFile", d.CreateBatchFile);
  flag("IncludeMDAC", d.IncludeMDAC);
  line("MDACOption", std::to_string(d.MDACOption));
  heading("Populate");
  for (const PopulateRule& rule : d.PopulateRules) {
    line("Server Name", rule.ServerName);
    line("Printer Name", rule.PrinterName);
  }
  heading("Prune");
  for (const PruneRule& rule : d.PruneRules) {
    line("Server Name", rule.ServerName);
    line("Printer Name", rule.PrinterName);
  }
  flag("Delete AD Orphans", d.DeleteADOrphans);
  flag("Delete All Non-Networked", d.DeleteAllNonNetworked);
  heading("Printer Driver");
  for (const PrinterDriverRule& rule : d.PrinterDrivers) {
    line("Printer Name", rule.PrinterName);
    line("Driver Name", rule.DriverName);
    line("Driver File Name", rule.DriverFileName);
    line("Port Name", rule.PortName);
  }
  line("Driver Share Path", d.DriverSharePath);
  flag("DebugOn", d.DebugOn);
}

}  // namespace quillon::document
