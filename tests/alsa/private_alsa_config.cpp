// Puts the test program on the ALSA configuration the build made for tests
// (see CMakeLists.txt beside this file) before anything opens ALSA.  Child
// processes, such as the command-line tool under test, inherit it.
#include <cstdlib>

namespace {
const bool kAlsaConfigured = [] {
  if (TONVISTA_TEST_ALSA_CONF[0] != '\0') setenv("ALSA_CONFIG_PATH", TONVISTA_TEST_ALSA_CONF, 1);
  return true;
}();
}  // namespace
