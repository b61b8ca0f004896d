// The POS device driver's commands.
#include "drivers/fuPosDriver.h"

#include "platform/Convert.h"

namespace trs {

TPosKit::TPosKit(TEngineLibrary library)
    : Library(std::move(library)),
      ShowPosCfg(Library.Optional<PosKit::ShowPosCfgFn>("ShowPosCfg")),
      HidePage(Library.Optional<PosKit::HidePageFn>("HidePage")),
      ShowAllPages(Library.Optional<PosKit::ShowAllPagesFn>("ShowAllPages")),
      PosOpenCashBox(Library.Optional<PosKit::PosOpenCashBoxFn>("PosOpenCashBox")),
      PosScreenOut(Library.Optional<PosKit::PosScreenOutFn>("PosScreenOut")),
      GetIsShowedForm(Library.Optional<PosKit::GetIsShowedFormFn>("GetIsShowedForm")) {}

WideString TPosDriver::RunCommand(const TPosKit& kit, const std::string& name, const std::string& args) {
  // A missing export is an error naming it; the arguments are converted first, so a bad
  // argument gives its conversion error whatever the library has.
  const TEngineLibrary& library = kit.Library;
  if (name == "showposcfg") {
    library.Need(kit.ShowPosCfg, "ShowPosCfg")(0);
  } else if (name == "hidepage") {
    const int32_t page = StrToInt(args);
    library.Need(kit.HidePage, "HidePage")(page);
  } else if (name == "showallpages") {
    library.Need(kit.ShowAllPages, "ShowAllPages")();
  } else if (name == "posopencashbox") {
    library.Need(kit.PosOpenCashBox, "PosOpenCashBox")();
  } else if (name == "posscreenout") {
    const std::vector<std::string> items = SplitCommaArgs(args);
    // The text (item 1) is fetched before the number (item 0) is converted.
    const std::string& text = ArgItem(items, 1);
    const int32_t number = StrToInt(ArgItem(items, 0));
    library.Need(kit.PosScreenOut, "PosScreenOut")(number, text.c_str());
  }
  return u"-1";
}

}  // namespace trs
