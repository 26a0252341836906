// The parts of GCC's C++ runtime, linked into this DLL, that a module which
// the client may load and unload again needs changed.
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#if defined(__GLIBCXX__)
#include <bits/functexcept.h>

// The default handler names the exception through the demangler and stdio,
// a third of this DLL for a text that no one inside a game client reads.
// Nothing is left to save at that point, so end at once.
void __gnu_cxx::__verbose_terminate_handler() { std::abort(); }

// The string and vector code inlined into the module raises its errors
// through these hooks. libstdc++'s own make std::length_error and its kin,
// whose constructors bring in the library's older string and the rest of
// its exception classes: more than the module's own code. Ours raise what
// the error boundary (ReportCurrentException) turns into the same lines: a
// size past what fits is "Out of memory.", any other misuse "Unexpected
// error.". The signatures come from the library's declarations, so a
// changed one does not compile. Should another compiler's library call a
// hook not defined here, its object with all of them comes in again and
// the link fails on these defined twice: add that hook here.
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char*) { throw exception(); }
void __throw_out_of_range_fmt(const char*, ...) { throw exception(); }
}  // namespace std

#if _GLIBCXX_RELEASE >= 13 && _GLIBCXX_USE_CXX11_ABI && _GLIBCXX_EXTERN_TEMPLATE > 0
// From GCC 13 on, the strings' one out-of-line helper comes from the
// library's explicit instantiations of the whole of std::string and
// std::wstring (58 KB with GCC 14); made here, it comes alone.
template void std::string::_M_replace_cold(char*, size_type, const char*, const size_type, const size_type);
template void std::wstring::_M_replace_cold(wchar_t*, size_type, const wchar_t*, const size_type, const size_type);
#endif

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
