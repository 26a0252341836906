// The seven callbacks that the framework calls, declared once for the module
// and its tests. Each is held to the framework's form in host/kessrig.h: a
// signature or calling convention that drifts from it fails to compile.
#pragma once

#include <cstdint>
#include <type_traits>

#include "../host/kessrig.h"

extern "C" {

int32_t KS_CALL on_module(uint32_t event, void* argument);
int32_t KS_CALL on_client(int32_t code, uint32_t value);
int32_t KS_CALL on_wndproc(HostMessage* message);
int32_t KS_CALL on_world();
int32_t KS_CALL on_command(int32_t argc, const char* const* argv);
int32_t KS_CALL on_inet();
int32_t KS_CALL on_onet();

}  // extern "C"

static_assert(std::is_same_v<decltype(&on_module), ks_on_module_fn>);
static_assert(std::is_same_v<decltype(&on_client), ks_on_client_fn>);
static_assert(std::is_same_v<decltype(&on_wndproc), ks_on_wndproc_fn>);
static_assert(std::is_same_v<decltype(&on_world), ks_on_world_fn>);
static_assert(std::is_same_v<decltype(&on_command), ks_on_command_fn>);
static_assert(std::is_same_v<decltype(&on_inet), ks_on_net_fn>);
static_assert(std::is_same_v<decltype(&on_onet), ks_on_net_fn>);
