// Test doubles for the inventory's logic: a driver source whose printers say
// how each call answers and which records the calls, the list and the bar in
// memory (the bar as text lines), and host files that record every copy.
#pragma once

#include <string>
#include <vector>

#include "inventory/driver_list.h"
#include "platform/driver_info.h"
#include "platform/host/host_file_system.h"

namespace quillon::inventory::testing {

struct FakePrinter {
  std::string name;
  std::uint32_t openError = 0;  // OpenPrinter fails with it
  std::uint32_t readError = 0;  // every GetPrinterDriver fails with it
  platform::DriverInfo2 info;
  std::size_t needed = 0;  // 0: DriverInfo2Size(info)
};

class FakeDriverSource : public platform::DriverInfoSource {
 public:
  platform::PrinterNames EnumPrinterNames() override {
    calls.push_back("EnumPrinters");
    platform::PrinterNames result{listStatus, {}};
    for (const FakePrinter& printer : printers) result.names.push_back(printer.name);
    return result;
  }
  platform::HandleResult OpenPrinter(const std::string& name) override {
    calls.push_back("OpenPrinter " + name);
    for (std::size_t i = 0; i < printers.size(); ++i) {
      if (printers[i].name != name) continue;
      if (printers[i].openError != 0) return {0, printers[i].openError};
      ++openHandles;
      return {i + 1, 0};
    }
    return {0, platform::kErrorInvalidPrinterName};
  }
  platform::SizedResult<platform::DriverInfo2> GetPrinterDriver(platform::PrinterHandle printer,
                                                                std::size_t bufferSize) override {
    const FakePrinter& p = printers.at(printer - 1);
    calls.push_back("GetPrinterDriver " + p.name + " " + std::to_string(bufferSize));
    platform::SizedResult<platform::DriverInfo2> result;
    if (p.readError != 0) {
      result.error = p.readError;  // and no size: the caller learns nothing
      return result;
    }
    result.needed = p.needed ? p.needed : platform::DriverInfo2Size(p.info);
    if (bufferSize < result.needed) {
      result.error = platform::kErrorInsufficientBuffer;
    } else {
      result.ok = true;
      result.value = p.info;
    }
    return result;
  }
  void ClosePrinter(platform::PrinterHandle printer) override {
    calls.push_back("ClosePrinter " + printers.at(printer - 1).name);
    --openHandles;
  }

  std::vector<FakePrinter> printers;
  platform::Status listStatus;
  std::vector<std::string> calls;
  int openHandles = 0;
};

class MemoryDriverList : public DriverList {
 public:
  int RowCount() const override { return static_cast<int>(rows.size()); }
  DriverRow Row(int index) const override { return rows.at(static_cast<std::size_t>(index)); }
  void AddRow(const DriverRow& row) override { rows.push_back(row); }
  void Clear() override { rows.clear(); }
  void SetChecked(int index, bool checked) override {
    rows.at(static_cast<std::size_t>(index)).checked = checked;
  }
  std::vector<DriverRow> rows;
};

// The calls as text, consecutive values joined: "show, range 0..2, value 0 0
// 1 2 0" reads as the bar moved. Event processing is only counted.
class RecordingProgressBar : public ProgressBar {
 public:
  void Show() override { Add("show"); }
  void SetRange(int minimum, int maximum) override {
    Add("range " + std::to_string(minimum) + ".." + std::to_string(maximum));
  }
  void SetValue(int value) override {
    if (lastWasValue_) {
      log += " " + std::to_string(value);
    } else {
      Add("value " + std::to_string(value));
    }
    lastWasValue_ = true;
  }
  void ProcessEvents() override { ++events; }
  std::string log;
  int events = 0;

 private:
  void Add(const std::string& word) {
    if (!log.empty()) log += ", ";
    log += word;
    lastWasValue_ = false;
  }
  bool lastWasValue_ = false;
};

// The host's files; copies are also recorded with their outcome.
class RecordingFiles : public platform::HostFileSystem {
 public:
  struct Copy {
    std::string from, to;
    platform::Status status;
  };
  platform::Status CopyFile(const std::string& from, const std::string& to) override {
    platform::Status status = HostFileSystem::CopyFile(from, to);
    copies.push_back({from, to, status});
    return status;
  }
  std::vector<Copy> copies;
};

}  // namespace quillon::inventory::testing
