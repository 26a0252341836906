// Every export must be cdecl: the framework removes the arguments itself, so
// a callee that also removed them (stdcall) would shift the caller's stack.
// The check is GCC/clang inline assembly: it runs in the mingw-w64 builds only.
#include <gtest/gtest.h>

#include "support/module_under_test.h"

#if defined(__GNUC__) && defined(__i386__)

extern "C" int32_t StackDriftOfCall(const void* function, uint32_t argumentCount, const uint32_t* arguments);

// Pushes the arguments, calls, removes them as a cdecl caller does, and
// returns how far the stack pointer moved in all (0 for a cdecl callee).
asm(R"(
    .text
    .globl _StackDriftOfCall
_StackDriftOfCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %edi
    movl 16(%ebp), %esi
    movl %esp, %ebx
    movl %edi, %ecx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    leal (%esp,%edi,4), %esp
    movl %esp, %eax
    subl %ebx, %eax
    movl %ebx, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace {

extern "C" int32_t __stdcall TwoArgumentStdcall(uint32_t a, uint32_t b) { return static_cast<int32_t>(a + b); }
extern "C" int32_t __cdecl TwoArgumentCdecl(uint32_t a, uint32_t b) { return static_cast<int32_t>(a + b); }

TEST(CallingConvention, TheCheckTellsCdeclFromStdcall) {
    const uint32_t arguments[] = {1, 2};
    EXPECT_EQ(StackDriftOfCall(reinterpret_cast<const void*>(TwoArgumentCdecl), 2, arguments), 0);
    EXPECT_EQ(StackDriftOfCall(reinterpret_cast<const void*>(TwoArgumentStdcall), 2, arguments), 8);
}

TEST(CallingConvention, EveryExportLeavesTheCallersStackAlone) {
    LoadedModule module{ModulePath()};
    ASSERT_TRUE(module);
    HostMessage message = {0, WM_MOUSEMOVE, 0, 0, 0};
    const uint32_t moduleArguments[] = {2, 0};  // an event without effect
    const uint32_t clientArguments[] = {1, 0};
    const uint32_t wndprocArguments[] = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&message))};
    const uint32_t commandArguments[] = {0, 0};
    const uint32_t noArguments[] = {0, 0, 0};
    struct {
        const char* name;
        const void* function;
        uint32_t count;
        const uint32_t* arguments;
    } calls[] = {
        {"on_module", reinterpret_cast<const void*>(module->on_module), 2, moduleArguments},
        {"on_client", reinterpret_cast<const void*>(module->on_client), 2, clientArguments},
        {"on_wndproc", reinterpret_cast<const void*>(module->on_wndproc), 1, wndprocArguments},
        {"on_world", reinterpret_cast<const void*>(module->on_world), 3, noArguments},
        {"on_command", reinterpret_cast<const void*>(module->on_command), 2, commandArguments},
        {"on_inet", reinterpret_cast<const void*>(module->on_inet), 3, noArguments},
        {"on_onet", reinterpret_cast<const void*>(module->on_onet), 3, noArguments},
    };
    for (const auto& call : calls) EXPECT_EQ(StackDriftOfCall(call.function, call.count, call.arguments), 0) << call.name;
    EXPECT_TRUE(module.TakeSpoken().empty());
}

}  // namespace

#else
TEST(CallingConvention, IsCheckedInMingwBuildsOnly) { GTEST_SKIP() << "the cdecl check is GCC/clang assembly"; }
#endif
