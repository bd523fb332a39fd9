// The dialog library as the toolkit and the person find it: its exports, and templates that
// give each procedure the controls it works with and the person a way through every dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "answered_frame.h"
#include "dialogs/library_ids.h"
#include "test_image.h"
#include "toolkit/dialog_library.h"
#include "winsim/modules.h"
#include "winsim/resources.h"

namespace {

const unsigned kDialogs[] = {100,  200,  400,  700,  800,  900,  1000, 1100, 1200, 1300, 1400, 1500,
                             1600, 1700, 1800, 2000, 2100, 2200, 2300, 2400, 5100, 5300, 6400};

const winsim::ControlTemplate *Control(const winsim::DialogTemplate &d, int id) {
  for (const winsim::ControlTemplate &c : d.controls)
    if (c.id == id) return &c;
  return nullptr;
}

class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    image_.Open();
    module_ = LoadLibraryA(DIALOG_LIBRARY);
    ASSERT_NE(module_, nullptr);
    resources_ = winsim::ModuleResourcesOf(module_);
    ASSERT_NE(resources_, nullptr) << "dialogs.rc reads";
  }
  testing_support::TestImage image_;
  HMODULE module_ = nullptr;
  const winsim::ModuleResources *resources_ = nullptr;
};

TEST_F(Library, ExportsItsNineProceduresByTheirExactNames) {
  for (const char *name : {PROC_WELCOME, PROC_QUIT, PROC_INFO, PROC_INFO0, PROC_RADIO, PROC_EDIT,
                           PROC_HELP, PROC_ERROR, PROC_MODELESS})
    EXPECT_NE(GetProcAddress(module_, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(module_, "finfodlgproc"), nullptr);
  EXPECT_EQ(LoadLibraryA("mscuistf"), module_);
}

TEST_F(Library, EveryDialogHasTextAndAWayThroughByKey) {
  const std::set<int> buttonIds = {IDOK, IDCANCEL, IDC_EXIT, IDC_BACK, IDHELP};
  for (unsigned id : kDialogs) {
    SCOPED_TRACE(id);
    auto it = resources_->dialogs.find(id);
    ASSERT_NE(it, resources_->dialogs.end());
    const winsim::DialogTemplate &d = it->second;
    EXPECT_FALSE(d.caption.empty());
    bool modeless = std::string(testing_support::ProcedureOf(id)) == PROC_MODELESS;
    int texts = 0, defaults = 0;
    std::set<char> keys;
    for (const winsim::ControlTemplate &c : d.controls) {
      if (c.windowClass == "STATIC" && c.text.size() > 20) ++texts;
      if (c.windowClass != "BUTTON" || (c.style & 0xF) > BS_DEFPUSHBUTTON) continue;
      EXPECT_FALSE(modeless) << "a modeless dialog has no buttons";
      EXPECT_EQ(buttonIds.count(c.id), 1u) << c.text << " leaves no keyword";
      size_t amp = c.text.find('&');
      ASSERT_NE(amp, std::string::npos) << c.text;
      EXPECT_TRUE(keys.insert(static_cast<char>(toupper(c.text[amp + 1]))).second) << c.text;
      defaults += (c.style & 0xF) == BS_DEFPUSHBUTTON;
    }
    EXPECT_GT(texts, 0);
    EXPECT_EQ(defaults, modeless ? 0 : 1);
    EXPECT_EQ(Control(d, IDHELP) != nullptr,
              id == DLG_WELCOME || id == DLG_QUIT || id == DLG_OPTION);
  }
}

TEST_F(Library, TemplatesHoldTheControlsTheirProceduresAndTheToolkitUse) {
  const struct {
    unsigned dialog;
    int control;
    const char *windowClass;
  } cases[] = {
      {DLG_OPTION, IDC_RADIO_FIRST, "BUTTON"},
      {DLG_OPTION, IDC_RADIO_FIRST + 1, "BUTTON"},
      {DLG_DISTRIBUTION_PATH, IDC_EDIT, "EDIT"},
      {DLG_ERROR, IDC_ERROR_TEXT, "STATIC"},
      {DLG_COPY_GAUGE, IDC_GAUGE_TEXT, "STATIC"},
      {DLG_COPY_GAUGE, IDC_GAUGE_BAR, "msctls_progress32"},
      {DLG_COPY_GAUGE, IDCANCEL, "BUTTON"},
  };
  for (const auto &c : cases) {
    auto it = resources_->dialogs.find(c.dialog);
    ASSERT_NE(it, resources_->dialogs.end()) << c.dialog;
    const winsim::ControlTemplate *control = Control(it->second, c.control);
    ASSERT_NE(control, nullptr) << c.dialog << " " << c.control;
    EXPECT_EQ(control->windowClass, c.windowClass) << c.dialog << " " << c.control;
  }
  EXPECT_EQ(Control(resources_->dialogs.at(DLG_OPTION), IDC_RADIO_FIRST + 2), nullptr);
  std::vector<std::vector<bool>> rows;
  ASSERT_EQ(resources_->bitmaps.count(FRAME_BITMAP_ID), 1u);
  EXPECT_TRUE(winsim::DecodeDib(resources_->bitmaps.at(FRAME_BITMAP_ID), &rows));
  EXPECT_GT(rows.size(), 8u);
  EXPECT_TRUE(resources_->hasVersion);
}

}  // namespace
