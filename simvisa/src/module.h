// This library's module: where it lives, and threads that keep it loaded while they run.
#pragma once

#include <functional>
#include <string>

namespace simvisa {

// The folder of visa32.dll, with a trailing backslash.
std::string module_folder();

// Runs `work` on a new thread of the library. The thread holds a reference on the module, so
// a FreeLibrary by the client cannot unload the code under it. False when no thread could start.
bool start_library_thread(std::function<void()> work);

}  // namespace simvisa
