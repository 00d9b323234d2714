// frame/ModuleLoad.cpp -- loading the module counts as one qxPropHandlingLibInit and unloading it as one
// qxPropHandlingLibDone, so a caller that pairs its own init and done never tears the library down while
// the module stays loaded. The one static object of the library with a constructor lives here.
//
// A child made by fork() inherits the parent's count and runs this destructor at its exit(); the named
// objects it then closes know which process opened them and leave the parent's holds alone.
#include "frame/Library.h"

namespace qx {

namespace {
struct ModuleLoad {
    ModuleLoad() { libInit(); }
    ~ModuleLoad() { libDone(); }
    ModuleLoad(const ModuleLoad&) = delete;
    ModuleLoad& operator=(const ModuleLoad&) = delete;
};

ModuleLoad g_moduleLoad;
} // namespace

} // namespace qx
