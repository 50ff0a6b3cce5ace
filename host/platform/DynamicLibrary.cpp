#include "DynamicLibrary.h"

#include <dlfcn.h>

namespace mv {

DynamicLibrary::Handle DynamicLibrary::Open(const std::string& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* DynamicLibrary::Symbol(Handle library, const char* name) {
  if (!library) return nullptr;
  return dlsym(library, name);
}

void DynamicLibrary::Close(Handle library) {
  if (library) dlclose(library);
}

std::string DynamicLibrary::LastError() {
  const char* e = dlerror();
  return e ? std::string(e) : std::string();
}

}  // namespace mv
