// A readable summary of a machine image: the machine's facts, its services, the spooler's
// monitors, drivers and printers as the registry holds them, and the files on its drives.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/image_open.h"
#include "tools/image_restart.h"
#include "tools/profile.h"
#include "winsim/machine.h"
#include "winsim/registry_store.h"

namespace fs = std::filesystem;

namespace image_tool {
namespace {

const char kPrint[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";

std::string Text(const std::string &data) {
  size_t nul = data.find('\0');
  return nul == std::string::npos ? data : data.substr(0, nul);
}

// A value for display: texts as they are, numbers in decimal, lists joined, bytes in hex.
std::string Show(const winsim::RegValue &value) {
  switch (value.type) {
    case 1:
    case 2:
      return Text(value.data);
    case 4: {
      uint32_t n = 0;
      for (size_t i = 0; i < 4 && i < value.data.size(); ++i)
        n |= static_cast<uint32_t>(static_cast<unsigned char>(value.data[i])) << (8 * i);
      return std::to_string(n);
    }
    case 7: {
      std::string out;
      size_t pos = 0;
      while (pos < value.data.size() && value.data[pos] != '\0') {
        size_t nul = value.data.find('\0', pos);
        if (nul == std::string::npos) nul = value.data.size();
        if (!out.empty()) out += " | ";
        out += value.data.substr(pos, nul - pos);
        pos = nul + 1;
      }
      return out;
    }
    default: {
      std::string out;
      char buf[4];
      for (unsigned char c : value.data) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += out.empty() ? buf : std::string(",") + buf;
      }
      return "hex:" + out;
    }
  }
}

std::string ValueOf(const winsim::RegKey &key, const std::string &name) {
  const winsim::RegValue *v = winsim::FindValue(key, name);
  return v ? Show(*v) : "";
}

std::vector<const winsim::RegKey *> Subkeys(const winsim::RegKey *key) {
  std::vector<const winsim::RegKey *> out;
  if (!key) return out;
  for (const auto &sub : key->subkeys)
    if (!sub->deleted) out.push_back(sub.get());
  return out;
}

void ListFiles(const std::string &root, const std::string &windowsRoot, std::ostream &out) {
  std::vector<std::pair<std::string, uintmax_t>> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string rel = fs::relative(it->path(), root, ec).string();
    std::replace(rel.begin(), rel.end(), '/', '\\');
    files.emplace_back(windowsRoot + rel, it->file_size(ec));
  }
  std::sort(files.begin(), files.end(), [](const auto &a, const auto &b) {
    return winsim::Upper(a.first) < winsim::Upper(b.first);
  });
  if (files.empty()) out << "  (no files)\n";
  for (const auto &[path, size] : files) out << "  " << path << "  " << size << " bytes\n";
}

// Program Manager's groups and items, as the Setup Toolkit records them in progman.ini beside
// machine.ini: each group with its show command, each item as title, command line, icon file.
void ShowProgramManager(const std::string &imageDir, std::ostream &out) {
  out << "\nProgram Manager\n";
  std::string text;
  winsim::IniFile ini;
  if (!winsim::ReadHostFile(imageDir + "/progman.ini", &text) ||
      !ini.Parse(text, false, nullptr, nullptr) || ini.Sections().empty()) {
    out << "  (no groups)\n";
    return;
  }
  for (const winsim::IniFile::Section &group : ini.Sections()) {
    out << "  " << group.name;
    for (const winsim::IniFile::Entry &e : group.entries)
      if (winsim::EqualNoCase(e.key, "Show")) out << " (shown with " << e.value << ")";
    out << "\n";
    bool any = false;
    for (const winsim::IniFile::Entry &e : group.entries)
      if (winsim::EqualNoCase(e.key, "Item")) {
        out << "    " << e.value << "\n";
        any = true;
      }
    if (!any) out << "    (no items)\n";
  }
}

}  // namespace

bool ShowImage(const std::string &imageDir, std::string *text, std::string *error) {
  winsim::ImageError imageError;
  if (!winsim::OpenMachine(ImageOpenOptions(imageDir), &imageError)) {
    *error = imageError.Text();
    return false;
  }
  const winsim::Machine &m = winsim::M();
  std::ostringstream out;

  out << "Machine image " << m.dir << "\n";
  out << "  " << (m.windows95 ? "Windows " : "Windows NT ") << m.major << "."
      << (m.minor < 10 ? "0" : "") << m.minor << " build " << m.build << ", processor "
      << (m.processor.empty() ? "(PROCESSOR_ARCHITECTURE not defined)" : m.processor)
      << ", code page " << m.codepage << "\n";
  out << "  Windows " << m.windowsDir << ", system " << m.systemDir << ", temp " << m.tempDir
      << "\n";
  static const char *const kAdmin[] = {"enabled", "disabled", "deny-only", "absent"};
  out << "  Administrators group " << kAdmin[static_cast<int>(m.administrators)]
      << "; thread token " << m.threadToken << "; privileges";
  if (m.privilegesHeld.empty()) out << " none";
  for (const std::string &p : m.privilegesHeld) out << " " << p;
  out << "\n  Restart requested: " << (m.restart ? "yes" : "no") << "\n";
  for (const auto &[letter, host] : m.drives)
    if (letter != 'A') out << "  Drive " << letter << ": " << host << "\n";
  for (const auto &[name, value] : m.environment) out << "  %" << name << "% = " << value << "\n";

  out << "\nServices\n";
  if (m.services.empty()) out << "  (none)\n";
  for (const winsim::ServiceConfig &svc : m.services) {
    out << "  " << svc.name << ": " << svc.state;
    if (!svc.depends.empty()) {
      out << ", depends on";
      for (const std::string &d : svc.depends) out << " " << d;
    }
    if (svc.hang) out << ", hangs when stopped";
    if (svc.stopError) out << ", stop fails with " << svc.stopError;
    if (svc.startError) out << ", start fails with " << svc.startError;
    out << "\n";
  }
  if (!m.denyKeys.empty() || !m.denyPrinters.empty() || !m.faults.empty()) {
    out << "\nRestrictions and injected faults\n";
    for (const std::string &k : m.denyKeys) out << "  may not open key " << k << "\n";
    for (const std::string &p : m.denyPrinters) out << "  may not open printer " << p << "\n";
    for (const winsim::FaultRule &f : m.faults)
      out << "  " << f.function << (f.call ? " call " + std::to_string(f.call) : "")
          << " fails with " << f.error << "\n";
  }

  const winsim::RegistryStore &store = *m.registry;
  std::string print = kPrint;
  out << "\nPrint monitors\n";
  auto monitors = Subkeys(winsim::FindRegistryKey(store, print + "\\Monitors"));
  if (monitors.empty()) out << "  (none)\n";
  for (const winsim::RegKey *mon : monitors)
    out << "  " << mon->name << ": " << ValueOf(*mon, "Driver") << "\n";

  out << "\nPrinter drivers\n";
  bool anyDriver = false;
  for (const winsim::RegKey *env :
       Subkeys(winsim::FindRegistryKey(store, print + "\\Environments"))) {
    const winsim::RegKey *drivers = nullptr;
    for (const winsim::RegKey *sub : Subkeys(env))
      if (sub->upper == "DRIVERS") drivers = sub;
    for (const winsim::RegKey *version : Subkeys(drivers))
      for (const winsim::RegKey *drv : Subkeys(version)) {
        anyDriver = true;
        out << "  " << drv->name << " (" << env->name << ", " << version->name
            << "): " << ValueOf(*drv, "Driver") << ", " << ValueOf(*drv, "Data File") << ", "
            << ValueOf(*drv, "Configuration File") << "\n";
      }
  }
  if (!anyDriver) out << "  (none)\n";

  out << "\nPrinters\n";
  auto printers = Subkeys(winsim::FindRegistryKey(store, print + "\\Printers"));
  if (printers.empty()) out << "  (none)\n";
  for (const winsim::RegKey *p : printers) {
    out << "  " << p->name << ": driver \"" << ValueOf(*p, "Printer Driver") << "\", port "
        << ValueOf(*p, "Port");
    std::string status = ValueOf(*p, "Status");
    if (!status.empty() && status != "0") out << ", status " << status;
    out << "\n";
  }

  ShowProgramManager(m.dir, out);

  uint32_t type;
  std::string data;
  if (winsim::GetRegistryValue(store, "HKEY_LOCAL_MACHINE\\SYSTEM\\Setup", "WinntPath", &type,
                               &data))
    out << "\nWindows NT distribution (WinntPath): " << Text(data) << "\n";
  bool pending = false;
  std::string note;
  std::vector<PendingRename> moves = PendingRenamesOfOpenMachine(&pending, &note);
  if (pending) {
    out << "\nAt the next restart (PendingFileRenameOperations)\n";
    if (moves.empty()) out << "  (nothing)\n";
    for (const PendingRename &op : moves) {
      if (op.to.empty())
        out << "  delete " << op.from << "\n";
      else
        out << "  rename " << op.from << " to " << op.to
            << (op.replace ? ", replacing a file there" : "") << "\n";
    }
    if (!note.empty()) out << "  (" << note << ")\n";
  }
  for (const auto &[letter, host] : m.drives) {
    if (letter == 'A') continue;  // the working directory, not part of the machine
    out << "\nFiles on drive " << letter << ":\n";
    ListFiles(host, std::string(1, letter) + ":\\", out);
  }
  winsim::CloseMachine();
  *text = out.str();
  return true;
}

}  // namespace image_tool
