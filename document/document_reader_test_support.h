// What the tests of reading a migration document share: a document with every
// key present and valid, the record it reads to, the same document with some
// values changed, and a read that keeps the error lines.
#pragma once

#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/profile_file.h"

namespace quillon::document::reader_tests {

// Every key present and valid; tests change single values of it.
const char* const kCompleteDocument = R"([GENERAL]
UseActiveDirectory=False
UseManualDefinitions=True
AlwaysRun=False
ShowProgress=True

[ACTIVE DIRECTORY]
DomainName=corp.example

[MANUAL DEFINITIONS SERVERS]
FromServers=OLDSRV,OLD2
ToServers=NEWSRV,NEW2

[MANUAL DEFINITIONS PRINTERS]
FromPrinters=\\OLDSRV\HP4,\\OLDSRV\HP5
ToPrinters=\\NEWSRV\HP4,\\NEWSRV\HP5

[MANUAL DEFINITIONS MIXED]
FromServers=MS1,MS2
FromPrinters=MP1,MP2
ToServers=MS3,MS4
ToPrinters=MP3,MP4

[NOTIFICATION SMTP]
UseSMTP=True
SMTPServerNameOrIP=mail.example
ServerPort=25
EmailSubject=Printer migration
EmailTo=admin@example,help@example
EmailFrom=quillon@example

[NOTIFICATION FILE OUTPUT]
UseFileOutput=True
FileOutputPath=\\files\results\
FileOutputName=result.txt
IncludeComputerName=True
IncludeOutcome=False
WriteToEventLog=True

[NOTIFICATION CLIENT POP-UP]
UseClientPopup=True
UseSuccessClientPopup=True
SuccessMessage=Done.^CRLFThank you.
UseFailureClientPopup=False
FailureMessage=Call the help desk.

[DEPLOYMENT]
DeploymentPath=\\files\deploy\
CreateWebLaunchPage=True
CreateBatchFile=False
IncludeMDAC=True
MDACOption=2

[POPULATE]
ServerNames=PS1,PS2
PrinterNames=PP1,PP2

[PRUNE]
ServerNames=RS1,RS2
PrinterNames=RP1,RP2
DeleteADOrphans=True
DeleteAllNonNetworked=False

[PRINTER_DRIVER]
PrinterName=DP1,DP2
DriverName=HP LaserJet 4,HP LaserJet 5
DriverFileName=hp4.dll,hp5.dll
PortName=LPT1:,LPT2:
DriverSharePath=\\files\drivers

[SET_DEFAULT]
DefaultType=1
DefaultPrinterName=\\NEWSRV\HP4

[SUPPORT]
DebugOn=True
)";

inline MigrationDocument CompleteRecord() {
  MigrationDocument d;
  d.UseManualDefinitions = true;
  d.ShowProgress = true;
  d.DomainName = "corp.example";
  d.ServerPairs = {{"OLDSRV", "NEWSRV"}, {"OLD2", "NEW2"}};
  d.PrinterPairs = {{"\\\\OLDSRV\\HP4", "\\\\NEWSRV\\HP4"}, {"\\\\OLDSRV\\HP5", "\\\\NEWSRV\\HP5"}};
  d.MixedPairs = {{"MS1", "MP1", "MP3", "MS3"}, {"MS2", "MP2", "MP4", "MS4"}};
  d.UseSMTP = true;
  d.SMTPServerNameOrIP = "mail.example";
  d.ServerPort = "25";
  d.EmailSubject = "Printer migration";
  d.EmailTo = {"admin@example", "help@example"};
  d.EmailFrom = "quillon@example";
  d.UseFileOutput = true;
  d.FileOutputPath = "\\\\files\\results";
  d.FileOutputName = "result.txt";
  d.IncludeComputerName = true;
  d.WriteToEventLog = true;
  d.UseClientPopup = true;
  d.UseSuccessClientPopup = true;
  d.SuccessMessage = "Done.^CRLFThank you.";
  d.FailureMessage = "Call the help desk.";
  d.DeploymentPath = "\\\\files\\deploy";
  d.CreateWebLaunchPage = true;
  d.IncludeMDAC = true;
  d.MDACOption = 2;
  d.PopulateRules = {{"PS1", "PP1"}, {"PS2", "PP2"}};
  d.PruneRules = {{"RS1", "RP1"}, {"RS2", "RP2"}};
  d.DeleteADOrphans = true;
  d.PrinterDrivers = {{"DP1", "HP LaserJet 4", "hp4.dll", "LPT1:"},
                      {"DP2", "HP LaserJet 5", "hp5.dll", "LPT2:"}};
  d.DriverSharePath = "\\\\files\\drivers";
  d.DefaultType = 1;
  d.DefaultPrinterName = "\\\\NEWSRV\\HP4";
  d.DebugOn = true;
  return d;
}

struct Setting {
  const char* section;
  const char* key;
  std::string value;
};

inline std::string CompleteWith(const std::vector<Setting>& settings) {
  ProfileFile file = ProfileFile::Parse(kCompleteDocument);
  for (const Setting& s : settings) file.SetValue(s.section, s.key, s.value);
  return file.Serialize();
}

struct ReadResult {
  MigrationDocument document;
  bool readError;
  std::vector<std::string> errors;  // the "ERROR: " lines only
};

inline ReadResult Read(const std::string& text) {
  ReadResult result;
  result.readError = ReadDocumentText(&text, result.document, [&](const std::string& line) {
    if (line.rfind("ERROR: ", 0) == 0) result.errors.push_back(line);
  });
  return result;
}

}  // namespace quillon::document::reader_tests
