#include "PluginManager.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "DynamicLibrary.h"
#include "Prompts.h"

namespace mv {

const char* const TPluginManager::kDuplicateMessage =
    "Не удалось загрузить плагин: класс плагина уже был зарегистрирован ранее.";

namespace {

// Identifiers are equal when they have the same length and the same bytes.
bool SameIdentifier(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string CurrentDirectory() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  return ec ? std::string() : p.string();
}

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Every exception escaping plug-in code is turned into a neutral answer here.
std::string IdentifierOf(MvPlugin* p) {
  try {
    return p->GetIdentifier();
  } catch (...) {
    return std::string();
  }
}

}  // namespace

TPluginManager::TPluginManager() = default;

// Releases the sequences only: plug-ins still registered are neither finalised nor deleted.
TPluginManager::~TPluginManager() = default;

int TPluginManager::GetLoaderCount() { return static_cast<int>(Loaders.size()); }

int TPluginManager::GetFilterCount() { return static_cast<int>(Filters.size()); }

MvLoader* TPluginManager::GetLoader(int index) {
  return static_cast<MvLoader*>(Loaders[static_cast<std::size_t>(index)].Plugin);
}

MvFilter* TPluginManager::GetFilter(int index) {
  return static_cast<MvFilter*>(Filters[static_cast<std::size_t>(index)].Plugin);
}

MvLoader* TPluginManager::FindLoader(std::string identifier) {
  for (auto& r : Loaders)
    if (SameIdentifier(IdentifierOf(r.Plugin), identifier)) return static_cast<MvLoader*>(r.Plugin);
  return nullptr;
}

MvFilter* TPluginManager::FindFilter(std::string identifier) {
  for (auto& r : Filters)
    if (SameIdentifier(IdentifierOf(r.Plugin), identifier)) return static_cast<MvFilter*>(r.Plugin);
  return nullptr;
}

MvPlugin* TPluginManager::LoadPlugin(std::string fileName) {
  if (!IsRegularFile(fileName)) return nullptr;
  // The system loader does not search the current directory, and it knows an
  // already loaded library by the name it was opened with: give it the full
  // path, so two folders' "a.plugin" are never taken for the same library.
  std::string path = fileName;
  if (path.empty() || path[0] != '/') path = CurrentDirectory() + "/" + path;
  void* library = DynamicLibrary::Open(path);
  if (!library) return nullptr;
  auto entry = reinterpret_cast<MvPluginEntryFn>(DynamicLibrary::Symbol(library, "PluginEntry"));
  if (!entry) {
    DynamicLibrary::Close(library);
    return nullptr;
  }
  MvPlugin* object = entry(Services);
  if (!object) {
    DynamicLibrary::Close(library);
    return nullptr;
  }

  // Tell the kind by a run-time type test, filters first.
  std::deque<TPlugin>* list = nullptr;
  if (dynamic_cast<MvFilter*>(object))
    list = &Filters;
  else if (dynamic_cast<MvLoader*>(object))
    list = &Loaders;
  if (!list) {
    delete object;
    DynamicLibrary::Close(library);
    return nullptr;
  }

  const std::string id = IdentifierOf(object);
  for (auto& r : *list) {
    if (SameIdentifier(IdentifierOf(r.Plugin), id)) {
      // The object's code lives in the library: delete first, then unload.
      delete object;
      DynamicLibrary::Close(library);
      throw HostError(kDuplicateMessage);
    }
  }
  list->push_back(TPlugin{library, object});
  return object;
}

bool TPluginManager::Remove(std::deque<TPlugin>& list, int index) {
  try {
    auto& record = list.at(static_cast<std::size_t>(index));
    MvPlugin* object = record.Plugin;
    if (object) {
      object->Finalize();
      record.Plugin = nullptr;  // never deleted twice, whatever happens next
      delete object;
    }
    list.erase(list.begin() + index);
    return true;
  } catch (...) {
    return false;
  }
}

bool TPluginManager::RemoveLoader(int index) { return Remove(Loaders, index); }

bool TPluginManager::RemoveFilter(int index) { return Remove(Filters, index); }

bool TPluginManager::LoadPlugins() {
  const std::string folder = CurrentDirectory() + "/Plugins";
  if (::chdir(folder.c_str()) != 0) {
    if (::mkdir(folder.c_str(), 0777) != 0) return false;
    if (::chdir(folder.c_str()) != 0) { /* go on whatever this reports */ }
  }

  // The directory lists names in no stable order; sort them (byte order) so
  // that the filter menu and the winner of a duplicate are the same everywhere.
  std::vector<std::string> names;
  {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(".", ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = it->path().filename().string();
      if (EndsWith(name, ".plugin")) names.push_back(std::move(name));
    }
  }
  if (names.empty()) return false;
  std::sort(names.begin(), names.end());

  for (const auto& name : names) {
    try {
      LoadPlugin(name);
    } catch (const HostError& e) {
      CurrentPrompts().ShowMessage(e.what(), MessageIcon::Error);
    } catch (...) {
      // A library that throws while it is loaded is skipped; the scan goes on.
    }
  }

  // Ask every plug-in to initialise; remove exactly those that refuse.
  auto initialise = [](std::deque<TPlugin>& list) {
    std::vector<int> refused;
    for (std::size_t i = 0; i < list.size(); ++i) {
      bool ok = false;
      try {
        ok = list[i].Plugin->Initialize();
      } catch (...) {
        ok = false;
      }
      if (!ok) refused.push_back(static_cast<int>(i));
    }
    return refused;
  };
  const std::vector<int> refusedLoaders = initialise(Loaders);
  const std::vector<int> refusedFilters = initialise(Filters);
  // From the highest position down, so the positions still to go stay valid.
  for (auto it = refusedLoaders.rbegin(); it != refusedLoaders.rend(); ++it) RemoveLoader(*it);
  for (auto it = refusedFilters.rbegin(); it != refusedFilters.rend(); ++it) RemoveFilter(*it);
  return true;
}

}  // namespace mv
