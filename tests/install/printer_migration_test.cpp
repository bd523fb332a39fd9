// Moving printers between drivers on a simulated spooler: re-installing a driver in use, and
// leaving the driver names of earlier releases.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "install/printer_migration.h"
#include "spooler_fixtures.h"
#include "test_image.h"
#include "winsim/machine.h"
#include "winsim/spooler.h"

using testing_support::MakeSpoolerImage;
using testing_support::TestImage;

namespace {

const char kDriverDir[] = "drive_c/WINNT35/system32/spool/drivers/w32x86";

// Machine text that turns on call counting: a fault rule for a call that never comes.
const char kCountingMachine[] =
    "[system]\nversion = 3.50.807\nprocessor = x86\nwindows = C:\\WINNT35\n"
    "system = C:\\WINNT35\\system32\ntemp = C:\\TEMP\n[drives]\nC = drive_c\n"
    "[faults]\nGetPrinterDriverDirectoryA#9999 = 5\n";

// The twelve old names of the rename table, typed afresh: blanks count.
const char *const kOldNames[] = {
    "Norvale ZELlaser 7200 v1307",
    "Norvale turbo PageRelay 24/Japanese v31.2",
    "Norvale PageRelay 36/Japanese v31.2",
    "Norvale PageRelay 44 Plus/Japanese v31.2",
    "Norvale ZELcolorwriter 3000  39 fonts v1307.210",
    "Norvale ZELcolorwriter 3000  17 fonts v1307.210",
    "Norvale PageRelay 12 v31.2",
    "Norvale PageRelay 24 v31.2",
    "Norvale PageRelay 36 v31.2",
    "Norvale PageRelay 12 v1408",
    "Norvale PageRelay 12/600 v1408",
    "Norvale PageRelay 12  (8mb) v1408",
};

int Calls(const char *function) {
  return winsim::M().callCounts[winsim::Upper(function)];
}

std::string DriverKey(const std::string &name, int version = 1) {
  return "Environments\\Windows NT x86\\Drivers\\Version-" + std::to_string(version) + "\\" + name;
}

bool DriverInstalled(const std::string &name) {
  return testing_support::PrintKeyExists(DriverKey(name));
}

std::string DataFile(const std::string &name) {
  return testing_support::PrintValue(DriverKey(name), "Data File");
}

using Printer = testing_support::LocalPrinter;
using testing_support::LocalPrinters;

// A printer of the fixtures (port LPT1:) on a driver.
Printer On(const char *driver, unsigned long status = 0) {
  return {driver, "LPT1:", status};
}

// The driver record as the install sequence hands it over, on the local environment.
struct Record {
  char name[64] = "";
  char dataFile[64] = "";
  DRIVER_INFO_2 info;
  Record() {
    info.cVersion = 1;
    info.pName = name;
    info.pEnvironment = NULL;
    info.pDriverPath = const_cast<LPSTR>("pscript.dll");
    info.pDataFile = dataFile;
    info.pConfigFile = const_cast<LPSTR>("pscrptui.dll");
  }
};

// What the install sequence has staged in the driver directory root for a new PPD.
void StageNewDriver(const TestImage &image, const std::string &ppd) {
  image.WriteFile(std::string(kDriverDir) + "/pscript.dll", "pscript 5.0");
  image.WriteFile(std::string(kDriverDir) + "/pscrptui.dll", "pscrptui 5.0");
  image.WriteFile(std::string(kDriverDir) + "/" + ppd, "*PPD 5.0 " + ppd);
}

}  // namespace

TEST(PrinterMigration, RenameTableEndsAfterTwelveRowsWithAnEmptyPair) {
  int rows = 0;
  while (driverRenameTable[rows][0][0] != '\0') ++rows;
  EXPECT_EQ(rows, 12);
  EXPECT_STREQ(driverRenameTable[12][1], "");
  EXPECT_STREQ(driverRenameTable[4][1], "Norvale ZELcolorwriter 3000  39 fonts");
  EXPECT_STREQ(driverRenameTable[5][1], "Norvale ZELcolorwriter 3000  17 fonts");
  EXPECT_STREQ(driverRenameTable[11][1], "Norvale PageRelay 12 Level2  8mb");
  for (int row = 0; row < 12; ++row) EXPECT_STREQ(driverRenameTable[row][0], kOldNames[row]);
}

TEST(PrinterMigration, WithoutLocalPrintersNothingButTheEnumerationHappens) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12 v31.2\"\n"
      "driver \"Norvale PageRelay 12\"\n",
      kCountingMachine);
  StageNewDriver(*image, "PR12.PPD");
  image->Open();
  std::string registryBefore = image->RegistryFiles();
  Record record;

  migrateOldDrivers(&record.info);
  updateDriverInUse(const_cast<LPSTR>("PR12.PPD"), const_cast<LPSTR>("Norvale PageRelay 12"),
                    &record.info);

  EXPECT_EQ(Calls("EnumPrintersA"), 4) << "two per routine";
  for (const char *call :
       {"OpenPrinterA", "SetPrinterA", "ClosePrinter", "DeletePrinterDriverA", "AddPrinterDriverA"})
    EXPECT_EQ(Calls(call), 0) << call;
  EXPECT_EQ(image->RegistryFiles(), registryBefore);
  EXPECT_EQ(record.info.pName, record.name) << "the record is not touched either";
}

TEST(PrinterMigration, FailedEnumerationChangesNothing) {
  std::string machine = kCountingMachine;
  machine += "EnumPrintersA#2 = 8\nEnumPrintersA#4 = 8\n";
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12 v31.2\"\n"
      "driver \"Norvale PageRelay 12\"\n"
      "driver \"Generic\"\n"
      "printer \"Sales\" \"Norvale PageRelay 12 v31.2\"\n"
      "printer \"Office\" \"Generic\"\n",
      machine);
  StageNewDriver(*image, "PR12.PPD");
  image->Open();
  std::string registryBefore = image->RegistryFiles();
  Record record;
  migrateOldDrivers(&record.info);
  updateDriverInUse(const_cast<LPSTR>("PR12.PPD"), const_cast<LPSTR>("Generic"), &record.info);
  EXPECT_EQ(Calls("OpenPrinterA") + Calls("DeletePrinterDriverA"), 0);
  EXPECT_EQ(image->RegistryFiles(), registryBefore);
}

TEST(PrinterMigration, DriverUsedByEveryPrinterIsLeftAlone) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\" data=OLD12.PPD\n"
      "printer \"Sales\" \"Norvale PageRelay 12\"\n"
      "printer \"Office\" \"Norvale PageRelay 12\"\n",
      kCountingMachine);
  StageNewDriver(*image, "PR12.PPD");
  image->Open();
  Record record;
  updateDriverInUse(const_cast<LPSTR>("PR12.PPD"), const_cast<LPSTR>("Norvale PageRelay 12"),
                    &record.info);

  EXPECT_EQ(DataFile("Norvale PageRelay 12"), "OLD12.PPD") << "the driver keeps its old files";
  std::map<std::string, Printer> expected = {{"Sales", On("Norvale PageRelay 12")},
                                             {"Office", On("Norvale PageRelay 12")}};
  EXPECT_EQ(LocalPrinters(), expected);
  EXPECT_EQ(Calls("OpenPrinterA") + Calls("DeletePrinterDriverA") + Calls("AddPrinterDriverA"), 0);
}

TEST(PrinterMigration, UnusedDriverIsReinstalledWithoutTouchingThePrinters) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\" data=OLD12.PPD\n"
      "driver \"Generic\"\n"
      "driver \"Other\"\n"
      "printer \"Office\" \"Generic\"\n"
      "printer \"Sales\" \"Other\" paused\n",
      kCountingMachine);
  StageNewDriver(*image, "PR12.PPD");
  image->Open();
  Record record;
  updateDriverInUse(const_cast<LPSTR>("PR12.PPD"), const_cast<LPSTR>("Norvale PageRelay 12"),
                    &record.info);

  EXPECT_EQ(DataFile("Norvale PageRelay 12"), "PR12.PPD");
  EXPECT_EQ(image->ReadFile(std::string(kDriverDir) + "/1/PR12.PPD"), "*PPD 5.0 PR12.PPD");
  std::map<std::string, Printer> expected = {{"Office", On("Generic")},
                                             {"Sales", On("Other", PRINTER_STATUS_PAUSED)}};
  EXPECT_EQ(LocalPrinters(), expected);
  EXPECT_EQ(Calls("SetPrinterA"), 0) << "no printer is paused or switched";
  EXPECT_STREQ(record.info.pName, "Norvale PageRelay 12");
  EXPECT_STREQ(record.info.pDataFile, "PR12.PPD");
}

TEST(PrinterMigration, PrintersOfADriverInUseGoBackToItRunning) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\" data=OLD12.PPD\n"
      "driver \"Generic\"\n"
      "printer \"Accounts\" \"Norvale PageRelay 12\"\n"
      "printer \"Billing\" \"Generic\"\n"
      "printer \"Sales\" \"Norvale PageRelay 12\"\n",
      kCountingMachine);
  StageNewDriver(*image, "PR12.PPD");
  image->Open();
  size_t handlesBefore = winsim::OpenPrinterHandleCount();
  Record record;
  char ppd[] = "PR12.PPD";
  char driver[] = "Norvale PageRelay 12";
  updateDriverInUse(ppd, driver, &record.info);

  EXPECT_EQ(DataFile("Norvale PageRelay 12"), "PR12.PPD") << "re-added from the new files";
  std::map<std::string, Printer> expected = {{"Accounts", On("Norvale PageRelay 12")},
                                             {"Billing", On("Generic")},
                                             {"Sales", On("Norvale PageRelay 12")}};
  EXPECT_EQ(LocalPrinters(), expected);
  EXPECT_EQ(Calls("SetPrinterA"), 4) << "each moved printer is parked and brought back";
  EXPECT_EQ(winsim::OpenPrinterHandleCount(), handlesBefore) << "every printer opened is closed";
  EXPECT_EQ(record.info.pName, driver);
  EXPECT_EQ(record.info.pDataFile, ppd);
}

TEST(PrinterMigration, WhateverFailsNoPrinterStaysParkedUntold) {
  struct Case {
    const char *fault;                  // [faults] lines
    const char *dataFile;               // of the driver afterwards
    std::string parked;                 // the printers left on the parking driver
    std::vector<std::string> messages;  // msgbox lines, in order
  };
  const std::string added =
      "msgbox \"updateDriverInUse\" \"AddPrinterDriver (Norvale PageRelay 12)failed\\nerror = ";
  const std::string notBack =
      "msgbox \"updateDriverInUse\" \"Couldn't put printer Accounts back on driver Norvale "
      "PageRelay 12, error = ";
  const std::string notBackSales =
      "msgbox \"updateDriverInUse\" \"Couldn't put printer Sales back on driver Norvale PageRelay "
      "12, error = ";
  for (const Case &c : std::vector<Case>{
           {"", "PR12.PPD", "", {}},
           // The new files fail: the driver comes back with its old ones.
           {"AddPrinterDriverA#1 = 8", "OLD12.PPD", "", {added + "8\""}},
           {"DeletePrinterDriverA#1 = 5", "OLD12.PPD", "", {added + "1795\""}},
           // Parked and not put back at once: tried again after the others.
           {"OpenPrinterA#4 = 5", "PR12.PPD", "", {}},
           {"SetPrinterA#3 = 8", "PR12.PPD", "", {}},
           // Not parked at all: the driver stays in use and keeps its old files.
           {"SetPrinterA#1 = 8", "OLD12.PPD", "", {added + "1795\""}},
           // Nothing to go back to, or it stays refused: the user is told.
           {"AddPrinterDriverA = 8",
            "<no key>",
            "Accounts Sales",
            {added + "8\"", notBack + "1797\"", notBackSales + "1797\""}},
           {"SetPrinterA#3 = 8\nSetPrinterA#5 = 6", "PR12.PPD", "Accounts", {notBack + "6\""}},
       }) {
    SCOPED_TRACE(c.fault);
    auto image = MakeSpoolerImage(
        "driver \"Norvale PageRelay 12\" data=OLD12.PPD\n"
        "driver \"Generic\"\n"
        "printer \"Accounts\" \"Norvale PageRelay 12\"\n"
        "printer \"Billing\" \"Generic\"\n"
        "printer \"Sales\" \"Norvale PageRelay 12\" paused\n",
        std::string(kCountingMachine) + c.fault + "\n");
    StageNewDriver(*image, "PR12.PPD");
    image->WriteFile("answers.txt", "");
    image->Open("", image->HostPath("transcript.txt"), image->HostPath("answers.txt"));
    Record record;
    updateDriverInUse(const_cast<LPSTR>("PR12.PPD"), const_cast<LPSTR>("Norvale PageRelay 12"),
                      &record.info);

    EXPECT_EQ(DataFile("Norvale PageRelay 12"), c.dataFile);
    // Each printer of the driver back on it, as paused or printing as it was, unless told.
    auto own = [&](const std::string &name, unsigned long status) {
      return c.parked.find(name) != std::string::npos ? On("Generic", PRINTER_STATUS_PAUSED)
                                                      : On("Norvale PageRelay 12", status);
    };
    std::map<std::string, Printer> expected = {{"Accounts", own("Accounts", 0)},
                                               {"Billing", On("Generic")},
                                               {"Sales", own("Sales", PRINTER_STATUS_PAUSED)}};
    EXPECT_EQ(LocalPrinters(), expected);
    std::vector<std::string> messages;
    std::istringstream transcript(testing_support::ReadHostFile(image->HostPath("transcript.txt")));
    for (std::string line; std::getline(transcript, line);)
      if (line.rfind("msgbox", 0) == 0) messages.push_back(line);
    EXPECT_EQ(messages, c.messages);
  }
}

TEST(PrinterMigration, PrintersLeaveTheOldNamesOfRowsSevenAndTwelve) {
  std::string description;
  for (const char *old : kOldNames) description += "driver \"" + std::string(old) + "\"\n";
  description +=
      "driver \"Norvale PageRelay 12\"\n"
      "driver \"Norvale PageRelay 12 Level2  8mb\"\n"
      "driver \"Generic\"\n"
      "printer \"Accounts\" \"Norvale PageRelay 12 v31.2\"\n"
      "printer \"Billing\" \"Norvale PageRelay 12  (8mb) v1408\" paused\n"
      "printer \"Office\" \"Generic\"\n"
      "printer \"Sales\" \"Norvale PageRelay 12 v31.2\"\n";
  auto image = MakeSpoolerImage(description, kCountingMachine);
  image->Open();
  Record record;
  migrateOldDrivers(&record.info);

  std::map<std::string, Printer> expected = {
      {"Accounts", On("Norvale PageRelay 12")},
      {"Billing", On("Norvale PageRelay 12 Level2  8mb", PRINTER_STATUS_PAUSED)},
      {"Office", On("Generic")},
      {"Sales", On("Norvale PageRelay 12")}};
  EXPECT_EQ(LocalPrinters(), expected);
  EXPECT_EQ(Calls("DeletePrinterDriverA"), 12);
  for (const char *old : kOldNames) EXPECT_FALSE(DriverInstalled(old)) << old;
  EXPECT_TRUE(DriverInstalled("Norvale PageRelay 12"));
  EXPECT_TRUE(DriverInstalled("Generic"));
}

TEST(PrinterMigration, NamesThatOnlyLookOldStay) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12 v31.2 \"\n"
      "driver \"norvale pagerelay 12 v31.2\"\n"
      "driver \"Norvale PageRelay 12\"\n"
      "printer \"Accounts\" \"Norvale PageRelay 12 v31.2 \"\n"
      "printer \"Sales\" \"norvale pagerelay 12 v31.2\"\n",
      kCountingMachine);
  image->Open();
  Record record;
  migrateOldDrivers(&record.info);

  std::map<std::string, Printer> expected = {{"Accounts", On("Norvale PageRelay 12 v31.2 ")},
                                             {"Sales", On("norvale pagerelay 12 v31.2")}};
  EXPECT_EQ(LocalPrinters(), expected);
  EXPECT_EQ(Calls("SetPrinterA"), 0);
  // Deleting row 7's name finds the driver spelt in other case, which a printer still uses.
  EXPECT_TRUE(DriverInstalled("norvale pagerelay 12 v31.2"));
  EXPECT_TRUE(DriverInstalled("Norvale PageRelay 12 v31.2 "));
}

TEST(PrinterMigration, PrinterTheAccountMayNotOpenKeepsItsOldDriver) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 24 v31.2\"\n"
      "driver \"Norvale PageRelay 24\"\n"
      "printer \"Accounts\" \"Norvale PageRelay 24 v31.2\" deny\n"
      "printer \"Sales\" \"Norvale PageRelay 24 v31.2\"\n",
      kCountingMachine);
  image->Open();
  size_t handlesBefore = winsim::OpenPrinterHandleCount();
  Record record;
  migrateOldDrivers(&record.info);

  std::map<std::string, Printer> expected = {{"Accounts", On("Norvale PageRelay 24 v31.2")},
                                             {"Sales", On("Norvale PageRelay 24")}};
  EXPECT_EQ(LocalPrinters(), expected);
  EXPECT_EQ(Calls("DeletePrinterDriverA"), 12) << "the deletion is still attempted";
  EXPECT_TRUE(DriverInstalled("Norvale PageRelay 24 v31.2")) << "and refused while in use";
  EXPECT_EQ(winsim::OpenPrinterHandleCount(), handlesBefore);
}

TEST(PrinterMigration, OldDriversAreDeletedInTheRecordsEnvironment) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 36 v31.2\" environment=\"Windows NT Alpha_AXP\"\n"
      "driver \"Norvale PageRelay 36 v31.2\"\n"
      "driver \"Generic\"\n"
      "printer \"Office\" \"Generic\"\n");
  image->Open();
  Record record;
  record.info.pEnvironment = const_cast<LPSTR>("Windows NT Alpha_AXP");
  migrateOldDrivers(&record.info);
  EXPECT_TRUE(DriverInstalled("Norvale PageRelay 36 v31.2")) << "the x86 driver stays";
  EXPECT_FALSE(testing_support::PrintKeyExists(
      "Environments\\Windows NT Alpha_AXP\\Drivers\\Version-1\\Norvale PageRelay 36 v31.2"));
}
