// The sections and keys of a migration document in the order in which they are
// read and written. Reader and writer both walk this one table, so they cannot drift.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "document/migration_document.h"

namespace quillon::document::vocabulary {

// One key of a list section: the record field it holds and what an empty item
// becomes on reading.
template <class Record>
struct ListKey {
  const char* name;
  std::string Record::*field;  // nullptr when the record is the string itself (EmailTo)
  const char* placeholder;     // nullptr: an empty item stays empty
};

// How a list key treats empty field values on writing.
enum class EmptyItems { Dropped, Kept };

template <class Record>
std::string& FieldOf(Record& record, [[maybe_unused]] std::string Record::*field) {
  if constexpr (std::is_same_v<Record, std::string>) {
    return record;
  } else {
    return record.*field;
  }
}

template <class Record>
const std::string& FieldOf(const Record& record, [[maybe_unused]] std::string Record::*field) {
  if constexpr (std::is_same_v<Record, std::string>) {
    return record;
  } else {
    return record.*field;
  }
}

inline constexpr ListKey<ServerPair> kServerPairKeys[] = {
    {"FromServers", &ServerPair::FromServer, "Error in From Server Name"},
    {"ToServers", &ServerPair::ToServer, "Error in To Server Name"},
};

inline constexpr ListKey<PrinterPair> kPrinterPairKeys[] = {
    {"FromPrinters", &PrinterPair::FromPrinter, "Error in From Printer Name"},
    {"ToPrinters", &PrinterPair::ToPrinter, "Error in To Printer Name"},
};

// Key order differs from the record's field order.
inline constexpr ListKey<MixedPair> kMixedPairKeys[] = {
    {"FromServers", &MixedPair::FromServer, "Error in From Server Name"},
    {"FromPrinters", &MixedPair::FromPrinter, "Error in From Printer Name"},
    {"ToServers", &MixedPair::ToServer, "Error in To Server Name"},
    {"ToPrinters", &MixedPair::ToPrinter, "Error in To Printer Name"},
};

inline constexpr ListKey<std::string> kEmailToKeys[] = {
    {"EmailTo", nullptr, "Error in To Email Address"},
};

inline constexpr ListKey<PopulateRule> kPopulateKeys[] = {
    {"ServerNames", &PopulateRule::ServerName, "Error in Server Name"},
    {"PrinterNames", &PopulateRule::PrinterName, "Error in Printer Name"},
};

inline constexpr ListKey<PruneRule> kPruneKeys[] = {
    {"ServerNames", &PruneRule::ServerName, nullptr},
    {"PrinterNames", &PruneRule::PrinterName, nullptr},
};

inline constexpr ListKey<PrinterDriverRule> kPrinterDriverKeys[] = {
    {"PrinterName", &PrinterDriverRule::PrinterName, "Error in Printer Name"},
    {"DriverName", &PrinterDriverRule::DriverName, "Error in Driver Name"},
    {"DriverFileName", &PrinterDriverRule::DriverFileName, nullptr},
    {"PortName", &PrinterDriverRule::PortName, nullptr},
};

template <class Record, std::size_t N>
std::span<const ListKey<Record>> Keys(const ListKey<Record> (&keys)[N]) {
  return keys;
}

// Calls the visitor once per key (once per list section) in document order:
// Boolean, Integer, String, Path (a string that loses one trailing "\" on
// reading) and List(section, list, keys, emptyItems).
template <class Visitor>
void VisitDocument(MigrationDocument& d, Visitor& v) {
  v.Boolean("GENERAL", "UseActiveDirectory", d.UseActiveDirectory);
  v.Boolean("GENERAL", "UseManualDefinitions", d.UseManualDefinitions);
  v.Boolean("GENERAL", "AlwaysRun", d.AlwaysRun);
  v.Boolean("GENERAL", "ShowProgress", d.ShowProgress);
  v.String("ACTIVE DIRECTORY", "DomainName", d.DomainName);
  v.List("MANUAL DEFINITIONS SERVERS", d.ServerPairs, Keys(kServerPairKeys),
         EmptyItems::Dropped);
  v.List("MANUAL DEFINITIONS PRINTERS", d.PrinterPairs, Keys(kPrinterPairKeys),
         EmptyItems::Dropped);
  v.List("MANUAL DEFINITIONS MIXED", d.MixedPairs, Keys(kMixedPairKeys),
         EmptyItems::Dropped);
  v.Boolean("NOTIFICATION SMTP", "UseSMTP", d.UseSMTP);
  v.String("NOTIFICATION SMTP", "SMTPServerNameOrIP", d.SMTPServerNameOrIP);
  v.String("NOTIFICATION SMTP", "ServerPort", d.ServerPort);
  v.String("NOTIFICATION SMTP", "EmailSubject", d.EmailSubject);
  v.List("NOTIFICATION SMTP", d.EmailTo, Keys(kEmailToKeys), EmptyItems::Dropped);
  v.String("NOTIFICATION SMTP", "EmailFrom", d.EmailFrom);
  v.Boolean("NOTIFICATION FILE OUTPUT", "UseFileOutput", d.UseFileOutput);
  v.Path("NOTIFICATION FILE OUTPUT", "FileOutputPath", d.FileOutputPath);
  v.String("NOTIFICATION FILE OUTPUT", "FileOutputName", d.FileOutputName);
  v.Boolean("NOTIFICATION FILE OUTPUT", "IncludeComputerName", d.IncludeComputerName);
  v.Boolean("NOTIFICATION FILE OUTPUT", "IncludeOutcome", d.IncludeOutcome);
  v.Boolean("NOTIFICATION FILE OUTPUT", "WriteToEventLog", d.WriteToEventLog);
  v.Boolean("NOTIFICATION CLIENT POP-UP", "UseClientPopup", d.UseClientPopup);
  v.Boolean("NOTIFICATION CLIENT POP-UP", "UseSuccessClientPopup", d.UseSuccessClientPopup);
  v.String("NOTIFICATION CLIENT POP-UP", "SuccessMessage", d.SuccessMessage);
  v.Boolean("NOTIFICATION CLIENT POP-UP", "UseFailureClientPopup", d.UseFailureClientPopup);
  v.String("NOTIFICATION CLIENT POP-UP", "FailureMessage", d.FailureMessage);
  v.Path("DEPLOYMENT", "DeploymentPath", d.DeploymentPath);
  v.Boolean("DEPLOYMENT", "CreateWebLaunchPage", d.CreateWebLaunchPage);
  v.Boolean("DEPLOYMENT", "CreateBatchFile", d.CreateBatchFile);
  v.Boolean("DEPLOYMENT", "IncludeMDAC", d.IncludeMDAC);
  v.Integer("DEPLOYMENT", "MDACOption", d.MDACOption);
  v.List("POPULATE", d.PopulateRules, Keys(kPopulateKeys), EmptyItems::Dropped);
  v.List("PRUNE", d.PruneRules, Keys(kPruneKeys), EmptyItems::Kept);
  v.Boolean("PRUNE", "DeleteADOrphans", d.DeleteADOrphans);
  v.Boolean("PRUNE", "DeleteAllNonNetworked", d.DeleteAllNonNetworked);
  v.List("PRINTER_DRIVER", d.PrinterDrivers, Keys(kPrinterDriverKeys), EmptyItems::Kept);
  v.String("PRINTER_DRIVER", "DriverSharePath", d.DriverSharePath);
  v.Integer("SET_DEFAULT", "DefaultType", d.DefaultType);
  v.String("SET_DEFAULT", "DefaultPrinterName", d.DefaultPrinterName);
  v.Boolean("SUPPORT", "DebugOn", d.DebugOn);
}

}  // namespace quillon::document::vocabulary
