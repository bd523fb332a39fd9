#include "spooler_fixtures.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "tools/pe_module.h"
#include "winsim/ini_file.h"
#include "winsim/machine.h"
#include "winsim/pe_image.h"
#include "winsim/spooler.h"

namespace testing_support {

const char kPrintRegistryPath[] = "SYSTEM\\CurrentControlSet\\Control\\Print";

namespace {

using Environment = winsim::PrintEnvironment;
using winsim::FindPrintEnvironment;

// Splits a line into fields: blanks separate, double quotes keep blanks, \" and \\ escape.
bool Fields(const std::string &line, std::vector<std::string> *fields, std::string *error) {
  size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size()) return true;
    std::string field;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
      if (line[i] != '"') {
        field += line[i++];
        continue;
      }
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) c = line[i++];
        field += c;
      }
      if (!closed) return *error = "a text in double quotes is not closed", false;
    }
    fields->push_back(field);
  }
}

// "key=value" options after the positional fields.
bool Option(const std::string &field, std::string *key, std::string *value) {
  size_t eq = field.find('=');
  if (eq == std::string::npos) return false;
  *key = field.substr(0, eq);
  *value = field.substr(eq + 1);
  return true;
}

std::string Dword(unsigned long value) {
  char text[32];
  std::snprintf(text, sizeof text, "dword:%08lx", value);
  return text;
}

std::string Section(const std::string &relative) {
  return "[HKEY_LOCAL_MACHINE\\" + std::string(kPrintRegistryPath) + "\\" + relative + "]\r\n";
}

std::string Value(const std::string &name, const std::string &data) {
  return RegQuote(name) + "=" + data + "\r\n";
}

std::string DefaultDataFile(const std::string &driver) {
  std::string base;
  for (char c : driver)
    if (std::isalnum(static_cast<unsigned char>(c)) && base.size() < 8)
      base += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return (base.empty() ? "driver" : base) + ".ppd";
}

}  // namespace

std::string MonitorModule(const std::string &dllName, const std::string &processor) {
  uint16_t machine = winsim::MachineOfProcessor(processor);
  return image_tool::PeModule(machine ? machine : winsim::kMachineI386, dllName,
                              {"InitializeMonitor", "EnumPortsW", "OpenPort", "ClosePort"});
}

std::string RegQuote(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

bool DescribeSpooler(const std::string &description, const std::string &systemDir,
                     const std::string &processor, SpoolerFixture *fixture, std::string *error) {
  const Environment *local = FindPrintEnvironment(winsim::PrintEnvironmentOfProcessor(processor));
  std::vector<const Environment *> environments;
  auto useEnvironment = [&](const Environment *env) {
    for (const Environment *e : environments)
      if (e == env) return;
    environments.push_back(env);
    fixture->registry += Section(std::string("Environments\\") + env->name) +
                         Value("Directory", RegQuote(env->directory)) + "\r\n";
    fixture->directories.push_back(systemDir + "\\spool\\drivers\\" + env->directory);
  };
  useEnvironment(local);

  int lineNumber = 0;
  size_t pos = 0;
  while (pos <= description.size()) {
    size_t nl = description.find('\n', pos);
    if (nl == std::string::npos) nl = description.size();
    std::string line = description.substr(pos, nl - pos);
    pos = nl + 1;
    ++lineNumber;
    auto fail = [&](const std::string &what) {
      *error = "line " + std::to_string(lineNumber) + ": " + what;
      return false;
    };
    std::vector<std::string> f;
    std::string fieldError;
    if (!Fields(line, &f, &fieldError)) return fail(fieldError);
    if (f.empty() || f[0][0] == '#') continue;

    if (f[0] == "spooler") {
      if (f.size() != 2 || (f[1] != "running" && f[1] != "stopped"))
        return fail("spooler running or spooler stopped");
      fixture->running = f[1] == "running";
    } else if (f[0] == "monitor") {
      if (f.size() != 3) return fail("monitor \"<name>\" <dll>");
      fixture->registry += Section("Monitors\\" + f[1]) + Value("Driver", RegQuote(f[2])) + "\r\n";
      fixture->files.emplace_back(systemDir + "\\" + f[2], MonitorModule(f[2], processor));
    } else if (f[0] == "driver") {
      if (f.size() < 2)
        return fail("driver \"<name>\" [version=<n>] [data=<file>] [environment=...]");
      std::string version = "1", data = DefaultDataFile(f[1]);
      const Environment *env = local;
      for (size_t i = 2; i < f.size(); ++i) {
        std::string key, value;
        if (!Option(f[i], &key, &value)) return fail("unknown driver option '" + f[i] + "'");
        if (key == "version" && !value.empty() &&
            value.find_first_not_of("0123456789") == std::string::npos)
          version = value;
        else if (key == "data" && !value.empty())
          data = value;
        else if (key == "environment" && FindPrintEnvironment(value))
          env = FindPrintEnvironment(value);
        else
          return fail("bad driver option '" + f[i] + "'");
      }
      useEnvironment(env);
      fixture->registry += Section(std::string("Environments\\") + env->name +
                                   "\\Drivers\\Version-" + version + "\\" + f[1]) +
                           Value("Driver", RegQuote("pscript.dll")) +
                           Value("Data File", RegQuote(data)) +
                           Value("Configuration File", RegQuote("pscrptui.dll")) +
                           Value("Version", Dword(std::stoul(version))) + "\r\n";
      std::string dir = systemDir + "\\spool\\drivers\\" + env->directory + "\\" + version;
      fixture->files.emplace_back(dir + "\\pscript.dll", "pscript.dll version " + version);
      fixture->files.emplace_back(dir + "\\pscrptui.dll", "pscrptui.dll version " + version);
      fixture->files.emplace_back(dir + "\\" + data, "*PPD for " + f[1]);
    } else if (f[0] == "printer") {
      if (f.size() < 3)
        return fail("printer \"<name>\" \"<driver>\" [port=<port>] [paused] [deny]");
      std::string port = "LPT1:";
      unsigned long status = 0;
      for (size_t i = 3; i < f.size(); ++i) {
        std::string key, value;
        if (f[i] == "paused")
          status = 1;
        else if (f[i] == "deny")
          fixture->deniedPrinters.push_back(f[1]);
        else if (Option(f[i], &key, &value) && key == "port")
          port = value;
        else
          return fail("unknown printer option '" + f[i] + "'");
      }
      fixture->registry += Section("Printers\\" + f[1]) + Value("Name", RegQuote(f[1])) +
                           Value("Printer Driver", RegQuote(f[2])) + Value("Port", RegQuote(port)) +
                           Value("Print Processor", RegQuote("winprint")) +
                           Value("Datatype", RegQuote("RAW")) + Value("Attributes", Dword(0)) +
                           Value("Priority", Dword(1)) + Value("Status", Dword(status)) + "\r\n";
    } else {
      return fail("unknown line '" + f[0] + "'");
    }
  }
  return true;
}

std::unique_ptr<TestImage> MakeSpoolerImage(const std::string &description,
                                            const std::string &machineIni,
                                            const std::string &extraRegistry) {
  std::string machine = machineIni.empty() ? std::string(kDefaultMachine) : machineIni;
  winsim::IniFile ini;
  int line = 0;
  std::string message;
  EXPECT_TRUE(ini.Parse(machine, false, &line, &message)) << message;
  const std::string *systemDir = ini.Find("system", "system");
  const std::string *processor = ini.Find("system", "processor");

  SpoolerFixture fixture;
  std::string error;
  EXPECT_TRUE(DescribeSpooler(description, systemDir ? *systemDir : "C:\\WINNT35\\system32",
                              processor ? *processor : "x86", &fixture, &error))
      << error;

  machine += "\n[service Spooler]\nstate = ";
  machine += fixture.running ? "running\n" : "stopped\n";
  if (!fixture.deniedPrinters.empty()) {
    machine += "\n[deny]\n";
    for (const std::string &printer : fixture.deniedPrinters)
      machine += "printer = " + printer + "\n";
  }
  auto image = std::make_unique<TestImage>(
      machine, std::string(kMinimalRegistry) + extraRegistry + fixture.registry);

  // Windows paths become paths of the image through its [drives] section.
  auto relative = [&](const std::string &windowsPath) {
    std::string letter(1, windowsPath[0]);
    const std::string *drive = ini.Find("drives", letter);
    std::string out =
        drive ? *drive : "drive_" + std::string(1, static_cast<char>(std::tolower(windowsPath[0])));
    for (char c : windowsPath.substr(2)) out += c == '\\' ? '/' : c;
    return out;
  };
  for (const std::string &dir : fixture.directories)
    std::filesystem::create_directories(image->HostPath(relative(dir)));
  for (const auto &file : fixture.files) image->WriteFile(relative(file.first), file.second);
  return image;
}

bool PrintKeyExists(const std::string &relative) {
  std::string path = std::string(kPrintRegistryPath) + "\\" + relative;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

std::string PrintValue(const std::string &relative, const char *name) {
  std::string path = std::string(kPrintRegistryPath) + "\\" + relative;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "<no key>";
  char data[512] = {0};
  DWORD type = 0, size = sizeof data - 1;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? std::string(data) : "<no value>";
}

std::ostream &operator<<(std::ostream &out, const LocalPrinter &printer) {
  return out << "{" << printer.driver << ", " << printer.port << ", status " << printer.status
             << "}";
}

std::map<std::string, LocalPrinter> LocalPrinters() {
  std::map<std::string, LocalPrinter> printers;
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed + 1);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned)) {
    ADD_FAILURE() << "EnumPrintersA failed with " << GetLastError();
    return printers;
  }
  auto *info = reinterpret_cast<PRINTER_INFO_2A *>(buffer.data());
  for (DWORD i = 0; i < returned; ++i)
    printers[info[i].pPrinterName] = {info[i].pDriverName ? info[i].pDriverName : "",
                                      info[i].pPortName ? info[i].pPortName : "", info[i].Status};
  return printers;
}

}  // namespace testing_support
