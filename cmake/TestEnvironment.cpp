// Linked into every test program: the environment the tests run in, set before any test and
// before Qt starts. A test property cannot carry it: CTest's discovery keeps only the first
// variable of a list.
#include <cstdlib>

namespace {

const bool kEnvironmentSet = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);   // real widgets, no display needed
    setenv("ORRA_NO_OPEN", "1", 1);              // exported workbooks are never handed to a desktop
    return true;
}();

}   // namespace
