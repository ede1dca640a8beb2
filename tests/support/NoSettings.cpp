// Linked into every test program: whatever starts it (CTest or a developer),
// the program keeps no settings, reading and writing none of the user's.

#include <cstdlib>

namespace {

const bool kNoSettings = [] { return ::setenv("KEYFOLIO_NO_SETTINGS", "1", 1) == 0; }();

} // namespace
