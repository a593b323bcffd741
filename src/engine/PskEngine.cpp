#include "engine/PskEngine.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "platform/forms/forms.h"

namespace PskEngine {
namespace {

std::string g_library_path;
void* g_library = nullptr;

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  buffer[n] = '\0';
  return std::filesystem::path(buffer).parent_path().string();
}

// The engine cannot be reached: say what is missing, then end the program.
[[noreturn]] void Fail(const std::string& what) {
  forms::EndWithError("Tonvista cannot use the PSK engine: " + what);
}

template <class F>
F Bind(const char* name) {
  void* symbol = FindSymbol(name);
  if (symbol == nullptr) {
    Fail("the operation " + std::string(name) + " is missing from " + LibraryPath() + ".");
  }
  return reinterpret_cast<F>(symbol);
}

}  // namespace

void SetLibraryPath(const std::string& path) {
  g_library_path = path;
}

// The engine beside the program (the build tree), else in the installed
// engine folder, reached from the program's folder.
const std::string& LibraryPath() {
  if (g_library_path.empty()) {
    const std::filesystem::path folder = ExecutableFolder();
    std::error_code error;
    const std::filesystem::path beside = folder / "libpskengine.so";
    g_library_path = std::filesystem::exists(beside, error)
                         ? beside.string()
                         : (folder / TONVISTA_ENGINE_DIR_FROM_BINDIR / "libpskengine.so")
                               .lexically_normal()
                               .string();
  }
  return g_library_path;
}

void* LibraryHandle() {
  if (g_library == nullptr) {
    g_library = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (g_library == nullptr) {
      const char* reason = dlerror();
      Fail("the engine library " + LibraryPath() + " could not be loaded (" +
           (reason ? reason : "unknown reason") + ").");
    }
  }
  return g_library;
}

void* FindSymbol(const char* name) {
  return dlsym(LibraryHandle(), name);
}

// Each operation binds itself at its first call.  A plain pointer, not a
// guarded static: a call that comes back while the binding fails and the
// error box is open must not wait on (or abort in) a half-done initialisation.
#define PSK_OPERATION(result, name, params, args)                \
  result name params {                                           \
    static result(*bound) params = nullptr;                      \
    if (bound == nullptr) bound = Bind<result(*) params>(#name); \
    return bound args;                                           \
  }

PSK_OPERATION(int32_t, fnStartSoundCard, (PskWindowHandle w, int32_t d, int32_t f), (w, d, f))
PSK_OPERATION(int32_t, fnStopSoundCard, (), ())
PSK_OPERATION(int32_t, fnSetRXFrequency, (int32_t a, int32_t b, int32_t c), (a, b, c))
PSK_OPERATION(int32_t, fnGetRXFrequency, (int32_t a), (a))
PSK_OPERATION(int32_t, fnSetRXPSKMode, (int32_t a, int32_t b), (a, b))
PSK_OPERATION(int32_t, fnSetAFCLimit, (int32_t a, int32_t b), (a, b))
PSK_OPERATION(int32_t, fnSetSquelchThreshold, (int32_t a, int32_t b, int32_t c), (a, b, c))
PSK_OPERATION(int32_t, fnSetFFTMode, (int32_t a, int32_t b, int32_t c), (a, b, c))
PSK_OPERATION(int32_t, fnGetFFTData, (int32_t * d, int32_t a, int32_t b), (d, a, b))
PSK_OPERATION(int32_t, fnGetRawData, (int32_t * d, int32_t a, int32_t* n), (d, a, n))
PSK_OPERATION(int32_t, fnGetVectorData, (int32_t * d, int32_t a), (d, a))
PSK_OPERATION(int32_t, fnGetSignalLevel, (int32_t a), (a))
PSK_OPERATION(int32_t, pskengine_device_count, (), ())
PSK_OPERATION(int32_t, pskengine_device_name, (int32_t i, char* b, int32_t n), (i, b, n))
PSK_OPERATION(int32_t, fnGetClosestPeak, (int32_t a, int32_t b), (a, b))
PSK_OPERATION(int32_t, fnGetSyncData, (int32_t * d, int32_t a), (d, a))
PSK_OPERATION(int32_t, fnStartTX, (int32_t a), (a))
PSK_OPERATION(int32_t, fnStopTX, (int32_t a), (a))
PSK_OPERATION(int32_t, fnAbortTX, (int32_t a), (a))
PSK_OPERATION(int32_t, fnSetTXFrequency, (int32_t a, int32_t b), (a, b))
PSK_OPERATION(int32_t, fnSetCWIDString, (const char* s, int32_t a), (s, a))
PSK_OPERATION(int32_t, fnSendTXCharacter, (int32_t a, int32_t b), (a, b))
PSK_OPERATION(int32_t, fnSendTXString, (const char* s, int32_t a), (s, a))
PSK_OPERATION(int32_t, fnGetTXCharsRemaining, (int32_t a), (a))
PSK_OPERATION(int32_t, fnClearTXBuffer, (int32_t a), (a))
PSK_OPERATION(int32_t, fnSetCWIDSpeed, (int32_t a, int32_t b), (a, b))
PSK_OPERATION(int32_t, fnSetComPort, (int32_t a, int32_t b), (a, b))

#undef PSK_OPERATION

}  // namespace PskEngine
