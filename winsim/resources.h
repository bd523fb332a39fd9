// Resources of a linked-in module, read from its resource script (RC syntax) when the module is
// first asked for one: dialog templates, bitmaps and string tables. The Linux build has no
// resource compiler, so the script itself is the resource data.
#ifndef WINSIM_RESOURCES_H
#define WINSIM_RESOURCES_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace winsim {

struct ControlTemplate {
  std::string windowClass;  // "BUTTON", "STATIC", "EDIT", "msctls_progress32", ...
  std::string text;
  int id = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplate {
  unsigned id = 0;
  std::string caption;
  uint32_t style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::vector<ControlTemplate> controls;  // in the script's order
};

struct ModuleResources {
  std::map<unsigned, DialogTemplate> dialogs;
  std::map<unsigned, std::string> bitmaps;  // the packed DIB: BITMAPINFOHEADER, colours, bits
  std::map<unsigned, std::string> strings;
  bool hasVersion = false;
};

// Reads the script `name`; `readFile` answers the files it includes or names (by the name
// written). False with "<file>:<line>: <what is wrong>".
using ScriptFileReader = std::function<bool(const std::string &name, std::string *content)>;
bool ReadResourceScript(const std::string &name, const ScriptFileReader &readFile,
                        ModuleResources *resources, std::string *error);

// A DIB as rows of pixels, top row first: true where the pixel is dark. False when the bitmap
// is not an uncompressed 1, 4, 8, 24 or 32 bit DIB.
bool DecodeDib(const std::string &dib, std::vector<std::vector<bool>> *rows);

}  // namespace winsim

#endif
