// End-to-end scenarios: a machine image made in the test from a short profile, the small
// distribution in C:\DIST, the built setup run on it with an answer file, and what the run
// leaves: the transcript and the difference between the image before and after.
#ifndef TESTS_E2E_SCENARIO_H
#define TESTS_E2E_SCENARIO_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "system_session.h"
#include "test_image.h"
#include "tools/image_compare.h"
#include "tools/profile.h"

namespace e2e {

using Lines = std::vector<std::string>;

const char kPrint[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\";

// The machine a scenario starts from. The profile holds the sections every machine has; `extra`
// adds sections (printers, drivers, monitors, files, services) in the profile's format.
struct StartMachine {
  std::string version = "3.50.807";
  std::string platform = "nt";
  std::string processor = "x86";
  std::string spooler = "state = running\nstop_ms = 1500\nwait_hint_ms = 500\n";
  std::string extra;
};

inline bool IsNt31(const StartMachine &machine) {
  return machine.version.rfind("3.10", 0) == 0;
}
inline std::string WindowsDir(const StartMachine &machine) {
  return IsNt31(machine) ? "C:\\WINNT" : "C:\\WINNT35";
}
inline std::string SystemDir(const StartMachine &machine) {
  return WindowsDir(machine) + "\\system32";
}
inline std::string DriverDir(const StartMachine &machine, const std::string &directory = "w32x86") {
  return SystemDir(machine) + "\\spool\\drivers\\" + directory;
}

inline std::string Profile(const StartMachine &machine) {
  std::string sys = SystemDir(machine);
  return "[system]\nversion = " + machine.version + "\nplatform = " + machine.platform +
         "\nprocessor = " + machine.processor + "\nwindows = " + WindowsDir(machine) +
         "\nsystem = " + sys +
         "\ntemp = C:\\TEMP\n\n"
         "[drives]\nC = drive_c\nD = cdrom\n\n"
         "[environment]\nPATH = " +
         sys + ";" + WindowsDir(machine) + "\n\n[service Spooler]\n" + machine.spooler +
         "\n"
         "[registry HKLM\\SOFTWARE\\Classes]\n"
         "[registry HKLM\\SYSTEM\\Setup]\nWinntPath = D:\\I386\n"
         "[registry HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port]\n"
         "Driver = localmon.dll\n"
         "[registry HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT "
         "x86]\nDirectory = w32x86\n"
         "[registry HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT "
         "Alpha_AXP]\nDirectory = w32alpha\n"
         "[registry HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT "
         "R4000]\nDirectory = w32mips\n"
         "[registry HKU\\.DEFAULT]\n\n"
         "[file " +
         sys + "\\localmon.dll]\nsize = 1024\n[file " + sys + "\\printman.exe]\nsize = 2048\n" +
         "[file " + sys + "\\winhlp32.exe]\nsize = 2048\n" + "[directory " + DriverDir(machine) +
         "]\n[directory " + DriverDir(machine, "w32alpha") + "]\n[directory " +
         DriverDir(machine, "w32mips") + "]\n" + machine.extra;
}

// Profile sections of spooler objects an earlier installation left.
inline std::string Registry(const std::string &key, const std::string &values) {
  return "[registry HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\" + key + "]\n" + values;
}
inline std::string File(const std::string &path, const std::string &text) {
  return "[file " + path + "]\n| " + text + "\n";
}
// A driver with its three files in its version directory.
inline std::string Driver(const StartMachine &machine, const std::string &environment,
                          const std::string &directory, int version, const std::string &name,
                          const std::string &dataFile) {
  std::string dir = DriverDir(machine, directory) + "\\" + std::to_string(version);
  return Registry("Environments\\" + environment + "\\Drivers\\Version-" + std::to_string(version) +
                      "\\" + name,
                  "Driver = pscript.dll\nData File = " + dataFile +
                      "\nConfiguration File = pscrptui.dll\nVersion = dword:" +
                      std::to_string(version) + "\n") +
         File(dir + "\\pscript.dll", "installed pscript.dll") +
         File(dir + "\\pscrptui.dll", "installed pscrptui.dll") +
         File(dir + "\\" + dataFile, "installed " + dataFile);
}
inline std::string Printer(const std::string &name, const std::string &driver,
                           const std::string &port) {
  return Registry("Printers\\" + name, "Name = " + name + "\nPrinter Driver = " + driver +
                                           "\nPort = " + port +
                                           "\nPrint Processor = winprint\nDatatype = RAW\n"
                                           "Status = dword:0\nAttributes = dword:0\n"
                                           "Priority = dword:1\n");
}

class Scenario {
 public:
  explicit Scenario(const StartMachine &machine) : spec_(machine) {
    work_ = testing_support::MakeTempDir("e2e-");
    image_tool::Profile profile;
    std::string error;
    bool made = image_tool::ParseProfile(Profile(machine), "scenario.profile", &profile, &error) &&
                image_tool::CreateImage(profile, Image(), &error);
    EXPECT_TRUE(made) << error;
    // The distribution, in C:\DIST of the machine.
    testing_support::WriteHostFile(Image() + "/drive_c/DIST/setup.inf",
                                   testing_support::SmallSetupInf());
    for (const std::string &file : testing_support::SmallDistributionFiles())
      testing_support::WriteHostFile(Image() + "/drive_c/DIST/" + file,
                                     testing_support::DistributionFileContents(file));
  }
  ~Scenario() {
    winsim::CloseMachine();
    testing_support::RemoveTree(work_);
  }
  Scenario(const Scenario &) = delete;
  Scenario &operator=(const Scenario &) = delete;

  std::string Image() const { return work_ + "/image"; }
  std::string Before() const { return work_ + "/before"; }
  // A host path on drive C: or D: of the image ("C:\\WINNT35\\x" or "D:\\I386\\x").
  std::string Host(const std::string &windowsPath) const {
    std::string rest = windowsPath.substr(3);
    for (char &c : rest)
      if (c == '\\') c = '/';
    return Image() + (windowsPath[0] == 'D' ? "/cdrom/" : "/drive_c/") + rest;
  }
  void Put(const std::string &windowsPath, const std::string &content) const {
    testing_support::WriteHostFile(Host(windowsPath), content);
  }
  std::string Read(const std::string &windowsPath) const {
    return std::filesystem::exists(Host(windowsPath))
               ? testing_support::ReadHostFile(Host(windowsPath))
               : "<none>";
  }

  // Keeps the image as it is now, then runs the setup on it from C:\DIST.
  void Run(const std::string &answers) {
    winsim::CloseMachine();
    std::filesystem::remove_all(Before());
    std::filesystem::copy(Image(), Before(), std::filesystem::copy_options::recursive);
    testing_support::WriteHostFile(work_ + "/answers", answers);
    testing_support::WriteHostFile(work_ + "/transcript", "");
    testing_support::RunResult run = testing_support::RunProgram(
        {std::string(NORVALE_BIN_DIR) + "/setup"},
        {"WINSIM_MACHINE=" + Image(), "WINSIM_ANSWERS=" + work_ + "/answers",
         "WINSIM_TRANSCRIPT=" + work_ + "/transcript", "WINSIM_CLOCK=virtual"},
        Image() + "/drive_c/DIST");
    EXPECT_EQ(run.status, 0) << run.err;
  }
  Lines Transcript() const {
    return testing_support::SplitLines(testing_support::ReadHostFile(work_ + "/transcript"));
  }

  // What the run changed, one line per difference: "+", "-" or "~", then what. Values of keys
  // that came or went with their key are left to the key's line; the spooler's paths are
  // shortened to what follows "...\Control\Print\"; a file whose date alone changed (a file
  // written again with the same bytes) is left out.
  Lines Changes() {
    image_tool::Comparison comparison;
    std::string error;
    EXPECT_TRUE(image_tool::CompareImages(Before(), Image(), &comparison, &error)) << error;
    Lines lines;
    for (const image_tool::Difference &d : comparison.differences) {
      std::string sign = d.change == image_tool::Change::Added     ? "+ "
                         : d.change == image_tool::Change::Removed ? "- "
                                                                   : "~ ";
      std::string where = d.where;
      if (where.rfind(kPrint, 0) == 0) where = "Print\\" + where.substr(sizeof kPrint - 1);
      switch (d.subject) {
        case image_tool::Subject::Value: {
          const image_tool::Difference *key = comparison.Find(image_tool::Subject::Key, d.where);
          if (key && key->change != image_tool::Change::Changed) break;
          lines.push_back(sign + where + " \"" + d.name + "\"" +
                          (d.after.empty() ? "" : "=" + d.after));
          break;
        }
        case image_tool::Subject::Key:
          lines.push_back(sign + where);
          break;
        case image_tool::Subject::File:
          if (d.change == image_tool::Change::Changed && d.detail == "date") break;
          lines.push_back(sign + where);
          break;
        case image_tool::Subject::Directory:
          lines.push_back(sign + where + "\\");
          break;
        case image_tool::Subject::Section:
          lines.push_back(sign + where);
          break;
        case image_tool::Subject::Fact:
          lines.push_back(sign + where + " " + d.name + " = " + d.after);
          break;
        case image_tool::Subject::Group:
          lines.push_back(sign + "group " + where);
          break;
        case image_tool::Subject::GroupSetting:
          lines.push_back(sign + "group " + where + " " + d.name + " = " + d.after);
          break;
        case image_tool::Subject::Item:
          lines.push_back(sign + "item " + where + " / " + d.name + ": " + d.after);
          break;
      }
    }
    return lines;
  }

  // Opens the image in this process to read what its spooler and registry hold.
  void Open() {
    winsim::OpenOptions options;
    options.imageDir = Image();
    options.hostCwd = Image() + "/drive_c";
    options.virtualClock = true;
    winsim::ImageError error;
    ASSERT_TRUE(winsim::OpenMachine(options, &error)) << error.Text();
  }

  const StartMachine &Spec() const { return spec_; }

 private:
  StartMachine spec_;
  std::string work_;
};

}  // namespace e2e

#endif
