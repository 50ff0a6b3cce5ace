// A thin wrapper over the system's dynamic loader (dlopen/dlsym/dlclose).
//
// Handles are plain values: the registry keeps the handle of every registered
// plug-in library for the whole run and never closes it, so there is no RAII
// here. Opening takes a full path; the system loader does not search the
// current directory.
#pragma once

#include <string>

namespace mv {

class DynamicLibrary {
 public:
  using Handle = void*;

  /// Loads the library at `path` with every symbol resolved now and kept local.
  /// Returns null on failure (LastError() then says why).
  static Handle Open(const std::string& path);
  /// The address of the export `name`, or null.
  static void* Symbol(Handle library, const char* name);
  /// Unloads a library opened by Open. A null handle is ignored.
  static void Close(Handle library);
  /// The loader's message for the last failure on this thread ("" when none).
  static std::string LastError();
};

}  // namespace mv
