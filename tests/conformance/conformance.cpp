// The checks' runner: runs every area, compares each result with NT's, and prints the totals.
//
//   conformance [--departures <table>] [--verbose]
//
// Without a table every check must give NT's result. With one (under Wine) a check that differs
// must be listed there with the result Wine gives; any other difference fails the run, and so
// does a listed check that no area makes.
#include "tests/conformance/conformance.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace conformance {
namespace {

struct Area {
  std::string name;
  AreaFunction run;
};

std::vector<Area> &Areas() {
  static std::vector<Area> areas;
  return areas;
}

struct Result {
  std::string name, actual, nt;
};

std::vector<Result> results;
std::string currentArea;

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

struct Departure {
  std::string nt, wine;
  int line = 0;
  bool made = false;
};

// Lines "<check> | <NT's result> | <Wine's result> | <why>"; '#' starts a comment line.
bool ReadDepartures(const char *path, std::map<std::string, Departure> *table) {
  std::FILE *f = std::fopen(path, "r");
  if (!f) {
    std::printf("conformance: %s: the table of departures cannot be read\n", path);
    return false;
  }
  char buffer[4096];
  int line = 0;
  bool ok = true;
  while (std::fgets(buffer, sizeof buffer, f)) {
    ++line;
    std::string text = Trim(buffer);
    if (text.empty() || text[0] == '#') continue;
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t bar; (bar = text.find('|', start)) != std::string::npos; start = bar + 1)
      fields.push_back(Trim(text.substr(start, bar - start)));
    fields.push_back(Trim(text.substr(start)));
    if (fields.size() != 4 || fields[0].empty()) {
      std::printf("conformance: %s:%d: expected <check> | <NT> | <Wine> | <why>\n", path, line);
      ok = false;
      continue;
    }
    Departure d;
    d.nt = fields[1];
    d.wine = fields[2];
    d.line = line;
    if (!table->emplace(fields[0], d).second) {
      std::printf("conformance: %s:%d: %s is listed twice\n", path, line, fields[0].c_str());
      ok = false;
    }
  }
  std::fclose(f);
  return ok;
}

std::vector<std::string> Arguments(const char *commandLine) {
  std::vector<std::string> args;
  std::string current;
  bool inQuotes = false, any = false;
  for (const char *p = commandLine ? commandLine : ""; *p; ++p) {
    if (*p == '"') {
      inQuotes = !inQuotes;
      any = true;
    } else if ((*p == ' ' || *p == '\t') && !inQuotes) {
      if (any) args.push_back(current);
      current.clear();
      any = false;
    } else {
      current += *p;
      any = true;
    }
  }
  if (any) args.push_back(current);
  return args;
}

int Run(const char *commandLine) {
  const char *departuresPath = nullptr;
  bool verbose = false;
  std::vector<std::string> args = Arguments(commandLine);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--departures" && i + 1 < args.size()) {
      departuresPath = args[++i].c_str();
    } else if (args[i] == "--verbose") {
      verbose = true;
    } else {
      std::printf("usage: conformance [--departures <table>] [--verbose]\n");
      return 2;
    }
  }
  std::map<std::string, Departure> departures;
  if (departuresPath && !ReadDepartures(departuresPath, &departures)) return 2;

  std::sort(Areas().begin(), Areas().end(),
            [](const Area &a, const Area &b) { return a.name < b.name; });
  for (const Area &area : Areas()) {
    currentArea = area.name;
    area.run();
  }

  int agree = 0, listed = 0, unexpected = 0;
  std::map<std::string, int> seen;
  for (const Result &r : results) {
    if (++seen[r.name] == 2) {
      std::printf("DUPLICATE %s: two checks have this name\n", r.name.c_str());
      ++unexpected;
    }
    auto it = departures.find(r.name);
    if (it != departures.end()) it->second.made = true;
    if (r.actual == r.nt) {
      ++agree;
      if (it != departures.end())
        std::printf("note: %s is listed as a departure but gives NT's result %s\n", r.name.c_str(),
                    r.nt.c_str());
      else if (verbose)
        std::printf("agree %s: %s\n", r.name.c_str(), r.actual.c_str());
    } else if (it != departures.end() && it->second.wine == r.actual) {
      ++listed;
      if (verbose)
        std::printf("departs %s: %s, NT gives %s\n", r.name.c_str(), r.actual.c_str(),
                    r.nt.c_str());
    } else {
      ++unexpected;
      std::printf("DIFFERS %s: gives %s, NT gives %s", r.name.c_str(), r.actual.c_str(),
                  r.nt.c_str());
      if (it != departures.end()) std::printf(" (listed with %s)", it->second.wine.c_str());
      std::printf("\n");
    }
  }
  for (const auto &entry : departures) {
    if (entry.second.made) continue;
    std::printf("UNKNOWN %s:%d: no check is named %s\n", departuresPath, entry.second.line,
                entry.first.c_str());
    ++unexpected;
  }
  std::printf("conformance: %d checks: %d agree with NT, %d listed departures, %d unexpected\n",
              static_cast<int>(results.size()), agree, listed, unexpected);
  std::fflush(stdout);
  return unexpected == 0 ? 0 : 1;
}

}  // namespace

AreaRegistration::AreaRegistration(const char *name, AreaFunction run) {
  Areas().push_back({name, run});
}

std::string Text(const std::string &value) {
  return "\"" + value + "\"";
}
std::string Text(const char *value) {
  return value ? Text(std::string(value)) : "(null)";
}
std::string Text(bool value) {
  return value ? "true" : "false";
}
std::string Text(long long value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld", value);
  return buffer;
}
std::string Text(unsigned long long value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%llu", value);
  return buffer;
}

void Record(const char *what, const std::string &actual, const std::string &nt) {
  results.push_back({currentArea + "." + what, actual, nt});
}

void ArmLastError() {
  SetLastError(kUntouched);
}

std::string Outcome(long long result) {
  DWORD error = GetLastError();
  return std::to_string(result) +
         " err=" + (error == kUntouched ? std::string("untouched") : std::to_string(error));
}

std::string Scratch() {
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, temp);
  std::string base = n && n < MAX_PATH ? temp : "C:\\";
  if (base.back() != '\\') base += '\\';
  base += "conformance\\";
  CreateDirectoryA(base.c_str(), nullptr);
  std::string dir = base + currentArea + "\\";
  RemoveTree(dir);
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

bool WriteBytes(const std::string &path, const std::string &bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

void RemoveTree(const std::string &dir) {
  std::string base = dir;
  if (!base.empty() && base.back() != '\\') base += '\\';
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((base + "*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = base + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(base.c_str());
}

}  // namespace conformance

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  return conformance::Run(commandLine);
}
