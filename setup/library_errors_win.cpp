// What the C++ library does when it cannot go on, for the setup executable.
//
// The setup is built without exceptions: every step reports its outcome as a
// value, and the unwinder, the exception tables and the library's exception
// types would be a third of the executable. What is left are the library's
// own error paths: a string or vector asked for more than it can hold, an
// index past its end, memory that runs out, a pure virtual call. None of them
// can happen in a correct run, and each ends the run the same way: at once,
// with the failure exit code, as the boundary that caught them used to do.
//
// The library's versions of these functions would throw (and bring the
// unwinder back); the definitions here take their place at link time.
#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#include "setup/exit_codes.h"

namespace {

[[noreturn]] void EndRun() { ExitProcess(vespodar::kExitFailure); }

void* Allocate(std::size_t size) {
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (!memory) EndRun();
  return memory;
}

}  // namespace

namespace std {

void __throw_bad_alloc() { EndRun(); }
void __throw_bad_array_new_length() { EndRun(); }
void __throw_bad_function_call() { EndRun(); }
void __throw_length_error(const char*) { EndRun(); }
void __throw_logic_error(const char*) { EndRun(); }
void __throw_out_of_range_fmt(const char*, ...) { EndRun(); }

}  // namespace std

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

extern "C" void __cxa_pure_virtual() { EndRun(); }
