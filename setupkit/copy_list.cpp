// The copy list: sections, single lines and special files of the setup file, each with its
// source and destination, in the order they were added; what the list costs on the disks; and a
// dump of it as text. The copy itself is in copy_engine.cpp.
//
// A line of a file section names the file in field 1, relative to the source directory (it may
// lie in a subdirectory, "i386\zelpsmon.dll"); the copy takes the file's own name, or the name
// of a field "rename=<name>". A name that would leave the source or the destination directory
// (a drive, a leading backslash, "..") is refused when the list is resolved: a damaged or
// hostile setup file must not write outside the directories the setup chose.
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

std::vector<CopyListEntry> g_list;

const InfSection *FindSection(const std::string &name) {
  const InfFile *inf = OpenedInf();
  return inf ? inf->Find(name) : nullptr;
}

bool Given(LPCSTR text) {
  return text && *text;
}

std::string Trim(const std::string &text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

// The name a field "rename=<name>" gives, or the empty text.
std::string RenameOf(const InfLine &line) {
  for (size_t i = 1; i < line.fields.size(); ++i) {
    const std::string &field = line.fields[i];
    size_t eq = field.find('=');
    if (eq != std::string::npos && EqualNoCase(Trim(field.substr(0, eq)), "rename"))
      return Trim(field.substr(eq + 1));
  }
  return "";
}

std::string JoinPath(const std::string &dir, const std::string &name) {
  if (dir.empty() || dir.back() == '\\' || dir.back() == '/') return dir + name;
  return dir + "\\" + name;
}

std::string Where(const InfLine &line, const std::string &section) {
  return "line " + std::to_string(line.line) + " of section [" + section + "] of the setup file";
}

// One line of a section made into a job; a special file goes to the entry's full path.
bool JobOf(const CopyListEntry &entry, const InfSection &section, const InfLine &line,
           std::vector<CopyJob> *jobs, std::string *problem) {
  CopyJob job;
  job.section = section.name;
  job.line = line.line;
  job.field = line.fields.empty() ? "" : line.fields[0];

  std::vector<std::string> names;
  if (!SplitRelativePath(job.field, &names)) {
    *problem = "Setup cannot copy \"" + job.field + "\" (" + Where(line, section.name) +
               "): a file of the distribution directory is named by a path inside it.";
    return false;
  }
  std::string relative;
  for (const std::string &n : names) relative = relative.empty() ? n : relative + "\\" + n;

  DWORD error = 0;
  if (!FullPath(JoinPath(entry.source, relative), &job.source, &error)) {
    *problem =
        "Setup cannot copy " + JoinPath(entry.source, relative) + ": " + ErrorText(error) + ".";
    return false;
  }

  std::string target;
  if (entry.kind == CopyListEntry::kSpecial) {
    target = entry.destination;
  } else {
    std::string rename = RenameOf(line);
    std::string name = rename.empty() ? names.back() : rename;
    if (!PlainFileName(name)) {
      *problem = "Setup cannot copy \"" + job.field + "\" (" + Where(line, section.name) +
                 "): the name \"" + name + "\" would put the file outside " + entry.destination +
                 ".";
      return false;
    }
    target = JoinPath(entry.destination, name);
  }
  if (!FullPath(target, &job.destination, &error)) {
    *problem = "Setup cannot copy " + job.source + " to " + target + ": " + ErrorText(error) + ".";
    return false;
  }
  size_t cut = job.destination.rfind('\\');
  job.destinationDir = job.destination.substr(0, cut == 2 ? 3 : cut);
  jobs->push_back(std::move(job));
  return true;
}

bool AddEntry(CopyListEntry::Kind kind, LPCSTR szSect, LPCSTR szKey, LPCSTR szSrc, LPCSTR szDest) {
  if (!Given(szSect) || !Given(szSrc) || !Given(szDest)) return false;
  if (kind != CopyListEntry::kSection && !Given(szKey)) return false;
  // A section or line that setup.inf lacks is refused now, while the setup can still say so,
  // rather than copying nothing for it later.
  const InfSection *section = FindSection(szSect);
  if (!section) {
    std::fprintf(stderr, "setupkit: the setup file has no section [%s] to copy\n", szSect);
    return false;
  }
  if (kind != CopyListEntry::kSection && !section->Find(szKey)) {
    std::fprintf(stderr, "setupkit: section [%s] of the setup file has no key \"%s\"\n", szSect,
                 szKey);
    return false;
  }
  CopyListEntry entry;
  entry.kind = kind;
  entry.section = szSect;
  entry.key = kind == CopyListEntry::kSection ? "" : szKey;
  entry.source = szSrc;
  entry.destination = szDest;
  g_list.push_back(entry);
  return true;
}

// The list symbol's items as byte counts, 0 for what is not a number.
std::vector<long long> Numbers(const std::string &symbol) {
  std::vector<long long> out;
  USHORT n = UsGetListLength(symbol.c_str());
  for (USHORT i = 1; i <= n && i != 0; ++i) {
    char item[64];
    CbGetListItem(symbol.c_str(), i, item, sizeof item);
    out.push_back(std::strtoll(item, nullptr, 10));
  }
  return out;
}

// Free bytes of the drive, or -1 when unknown.
long long FreeBytes(char letter) {
  char root[] = "?:\\";
  root[0] = letter;
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!(GetLogicalDrives() & (1u << (letter - 'A'))) ||
      !GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    return -1;
  return static_cast<long long>(freeClusters) * sectorsPerCluster * bytesPerSector;
}

}  // namespace

const std::vector<CopyListEntry> &CopyList() {
  return g_list;
}

bool ResolveCopyList(std::vector<CopyJob> *jobs, std::string *problem) {
  jobs->clear();
  for (const CopyListEntry &entry : g_list) {
    const InfSection *section = FindSection(entry.section);
    if (!section) {
      *problem = "The setup file has no section [" + entry.section + "].";
      return false;
    }
    if (entry.kind == CopyListEntry::kSection) {
      for (const InfLine &line : section->lines)
        if (!JobOf(entry, *section, line, jobs, problem)) return false;
      continue;
    }
    const InfLine *line = section->Find(entry.key);
    if (!line) {
      *problem =
          "Section [" + entry.section + "] of the setup file has no key \"" + entry.key + "\".";
      return false;
    }
    if (!JobOf(entry, *section, *line, jobs, problem)) return false;
  }
  return true;
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

void WINAPI ResetCopyList(void) {
  g_list.clear();
}

BOOL WINAPI FAddSectionFilesToCopyList(LPCSTR szSect, LPCSTR szSrc, LPCSTR szDest) {
  return AddEntry(CopyListEntry::kSection, szSect, nullptr, szSrc, szDest) ? TRUE : FALSE;
}

BOOL WINAPI FAddSectionKeyFileToCopyList(LPCSTR szSect, LPCSTR szKey, LPCSTR szSrc, LPCSTR szDest) {
  return AddEntry(CopyListEntry::kSectionKey, szSect, szKey, szSrc, szDest) ? TRUE : FALSE;
}

BOOL WINAPI FAddSpecialFileToCopyList(LPCSTR szSect, LPCSTR szKey, LPCSTR szSrc,
                                      LPCSTR szDestPath) {
  return AddEntry(CopyListEntry::kSpecial, szSect, szKey, szSrc, szDestPath) ? TRUE : FALSE;
}

LONG WINAPI LcbGetCopyListCost(LPCSTR szExtraList, LPCSTR szCostList, LPCSTR szNeedList) {
  std::vector<CopyJob> jobs;
  std::string problem;
  if (!ResolveCopyList(&jobs, &problem)) return -1;

  // What each drive gains: the new file, less the file it replaces.
  long long perDrive[26] = {};
  if (Given(szExtraList)) {
    std::vector<long long> extra = Numbers(szExtraList);
    for (size_t i = 0; i < extra.size() && i < 26; ++i) perDrive[i] += extra[i];
  }
  for (const CopyJob &job : jobs) {
    MachineFile source, target;
    DWORD error = 0;
    if (!LocateMachineFile(job.source, &source, &error) || !source.exists || source.isDir)
      return -1;  // a file that is not there cannot be costed
    if (!LocateMachineFile(job.destination, &target, &error)) return -1;
    long long added = static_cast<long long>(source.size) -
                      (target.exists && !target.isDir ? static_cast<long long>(target.size) : 0);
    char drive = job.destination[0];
    if (added > 0 && drive >= 'A' && drive <= 'Z') perDrive[drive - 'A'] += added;
  }

  long long total = 0;
  std::vector<std::string> costs, needs;
  for (int d = 0; d < 26; ++d) {
    total += perDrive[d];
    costs.push_back(std::to_string(perDrive[d]));
    long long free = FreeBytes(static_cast<char>('A' + d));
    long long need = free < 0 ? 0 : perDrive[d] - free;
    needs.push_back(std::to_string(need > 0 ? need : 0));
  }
  if (Given(szCostList) && !SetListSymbol(szCostList, costs)) return -1;
  if (Given(szNeedList) && !SetListSymbol(szNeedList, needs)) return -1;
  // The answer is a 32-bit LONG: a larger cost is answered as the largest it can hold.
  return total > INT32_MAX ? INT32_MAX : static_cast<LONG>(total);
}

BOOL WINAPI FMakeListInfSectionField(LPCSTR szSymbol, LPCSTR szSection, USHORT iField) {
  if (!Given(szSymbol) || !Given(szSection)) return FALSE;
  const InfSection *section = FindSection(szSection);
  if (!section) return FALSE;
  // Field 0 is a line's key; a line without the field gives an empty item, so that positions
  // in the list follow the lines of the section.
  std::vector<std::string> items;
  for (const InfLine &line : section->lines) {
    if (iField == 0)
      items.push_back(line.key);
    else
      items.push_back(iField <= line.fields.size() ? line.fields[iField - 1] : "");
  }
  return SetListSymbol(szSymbol, items) ? TRUE : FALSE;
}

BOOL WINAPI FDumpCopyListToFile(LPCSTR szFile) {
  if (!Given(szFile)) return FALSE;
  std::vector<CopyJob> jobs;
  std::string problem;
  if (!ResolveCopyList(&jobs, &problem)) return FALSE;

  std::string text = "; Copy list: " + std::to_string(jobs.size()) + " files\r\n";
  for (const CopyJob &job : jobs) {
    MachineFile source;
    DWORD error = 0;
    std::string size = LocateMachineFile(job.source, &source, &error) && source.exists
                           ? std::to_string(source.size) + " bytes"
                           : "missing";
    text += job.source + " -> " + job.destination + " (" + size + ")\r\n";
  }
  DWORD error = 0;
  return WriteMachineFile(szFile, text, false, &error) ? TRUE : FALSE;
}

}  // extern "C"
