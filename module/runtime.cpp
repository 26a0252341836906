// The parts of GCC's C++ runtime, linked into this DLL, that a module which
// the client may load and unload again needs changed.
#include <cstdlib>
#include <exception>

#if defined(__GLIBCXX__)
// The default handler names the exception through the demangler and stdio,
// a third of this DLL for a text that no one inside a game client reads.
// Nothing is left to save at that point, so end at once.
void __gnu_cxx::__verbose_terminate_handler() { std::abort(); }

// The runtime keeps its emergency buffer for exceptions until the process
// ends; libstdc++ frees it through this call. Given back at every unload.
namespace __gnu_cxx {
void __freeres();
}

namespace {

struct RuntimeBuffersReleaser {
    ~RuntimeBuffersReleaser() { __gnu_cxx::__freeres(); }
} g_runtimeBuffersReleaser;

}  // namespace
#endif
