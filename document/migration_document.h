// The settings record of one migration document: one field per INI key, in the
// order in which the document is read and written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::document {

struct ServerPair {
  std::string FromServer;
  std::string ToServer;
  bool operator==(const ServerPair&) const = default;
};

struct PrinterPair {
  std::string FromPrinter;
  std::string ToPrinter;
  bool operator==(const PrinterPair&) const = default;
};

// Keys are read as FromServers, FromPrinters, ToServers, ToPrinters; the record
// keeps this field order.
struct MixedPair {
  std::string FromServer;
  std::string FromPrinter;
  std::string ToPrinter;
  std::string ToServer;
  bool operator==(const MixedPair&) const = default;
};

struct PopulateRule {
  std::string ServerName;
  std::string PrinterName;
  bool operator==(const PopulateRule&) const = default;
};

struct PruneRule {
  std::string ServerName;
  std::string PrinterName;
  bool operator==(const PruneRule&) const = default;
};

struct PrinterDriverRule {
  std::string PrinterName;
  std::string DriverName;
  std::string DriverFileName;
  std::string PortName;
  bool operator==(const PrinterDriverRule&) const = default;
};

// The optional [TARGETING] section, kept as the document's text so that an
// editor shows and saves exactly what the administrator wrote; the values are
// checked by CheckTargeting (document/targeting_values.h). All empty and false:
// the section is absent and the document applies to everyone.
struct TargetingSettings {
  bool UseTargeting = false;
  std::string ComputerNames;
  std::string ExcludeComputerNames;
  std::string UserGroups;
  std::string ComputerGroups;
  std::string Sites;
  std::string Subnets;
  std::string RolloutPercent;
  std::string NotBefore;
  bool operator==(const TargetingSettings&) const = default;
};

// A fresh record is what a failed read leaves: strings empty, booleans false,
// integers 0, every list one blank record.
struct MigrationDocument {
  // GENERAL
  bool UseActiveDirectory = false;
  bool UseManualDefinitions = false;
  bool AlwaysRun = false;
  bool ShowProgress = false;
  // ACTIVE DIRECTORY
  std::string DomainName;
  // MANUAL DEFINITIONS SERVERS / PRINTERS / MIXED
  std::vector<ServerPair> ServerPairs{1};
  std::vector<PrinterPair> PrinterPairs{1};
  std::vector<MixedPair> MixedPairs{1};
  // NOTIFICATION SMTP
  bool UseSMTP = false;
  std::string SMTPServerNameOrIP;
  std::string ServerPort;
  std::string EmailSubject;
  std::vector<std::string> EmailTo{1};
  std::string EmailFrom;
  // NOTIFICATION FILE OUTPUT
  bool UseFileOutput = false;
  std::string FileOutputPath;
  std::string FileOutputName;
  bool IncludeComputerName = false;
  bool IncludeOutcome = false;
  bool WriteToEventLog = false;
  // NOTIFICATION CLIENT POP-UP
  bool UseClientPopup = false;
  bool UseSuccessClientPopup = false;
  std::string SuccessMessage;  // line breaks held as "^CRLF"
  bool UseFailureClientPopup = false;
  std::string FailureMessage;  // line breaks held as "^CRLF"
  // DEPLOYMENT
  std::string DeploymentPath;
  bool CreateWebLaunchPage = false;
  bool CreateBatchFile = false;
  bool IncludeMDAC = false;
  std::int16_t MDACOption = 0;
  // POPULATE
  std::vector<PopulateRule> PopulateRules{1};
  // PRUNE
  std::vector<PruneRule> PruneRules{1};
  bool DeleteADOrphans = false;
  bool DeleteAllNonNetworked = false;
  // PRINTER_DRIVER
  std::vector<PrinterDriverRule> PrinterDrivers{1};
  std::string DriverSharePath;
  // SET_DEFAULT
  std::int16_t DefaultType = 0;
  std::string DefaultPrinterName;
  // SUPPORT
  bool DebugOn = false;
  // TARGETING (optional: read and written apart from the keys above)
  TargetingSettings Targeting;

  bool operator==(const MigrationDocument&) const = default;
};

}  // namespace quillon::document
