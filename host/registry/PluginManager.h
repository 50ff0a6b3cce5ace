// The plug-in registry: finds, loads, classifies, keeps and removes plug-ins.
//
// Ownership: the registry owns every registered plug-in object and deletes it
// through its virtual destructor when the plug-in is removed. It never unloads
// the library of a registered plug-in (the object's code lives there). Its
// destructor releases only its own sequences: whoever ends the program removes
// the plug-ins first (the main window does so when it closes). Pointers handed
// out by GetLoader/GetFilter/Find* are lent; they stay valid until the plug-in
// is removed.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>

#include "MvPlugin.h"

namespace mv {

/// The host's error exception: a message for the user.
class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// One registry record.
struct TPlugin {
  void* Library = nullptr;     // the loaded library (a DynamicLibrary handle)
  MvPlugin* Plugin = nullptr;  // the object its PluginEntry returned
};

class TPluginManager {
 public:
  TPluginManager();
  virtual ~TPluginManager();
  TPluginManager(const TPluginManager&) = delete;
  TPluginManager& operator=(const TPluginManager&) = delete;

  // Virtual operations, in slot order.
  virtual int GetLoaderCount();
  virtual int GetFilterCount();
  /// No range check: 0 <= index < GetLoaderCount().
  virtual MvLoader* GetLoader(int index);
  /// No range check: 0 <= index < GetFilterCount().
  virtual MvFilter* GetFilter(int index);
  /// The first loader whose identifier equals `identifier` byte for byte, or null.
  virtual MvLoader* FindLoader(std::string identifier);
  /// The first filter whose identifier equals `identifier` byte for byte, or null.
  virtual MvFilter* FindFilter(std::string identifier);
  /// Loads one library (a path, relative to the current directory or absolute)
  /// and registers its object. Returns the registered object, or null when the
  /// library was skipped. Throws HostError when the object's identifier is
  /// already registered for its kind.
  virtual MvPlugin* LoadPlugin(std::string fileName);
  /// Finalizes and deletes loader `index`; later indices drop by one. false
  /// when an exception was raised on the way.
  virtual bool RemoveLoader(int index);
  /// The same for filters.
  virtual bool RemoveFilter(int index);
  /// Enters (or creates) the folder "Plugins" of the current directory, loads
  /// every "*.plugin" file in it in name order, then asks every plug-in to
  /// Initialize and removes those that refuse. The current directory stays
  /// the plug-in folder. false when the folder can be neither entered nor
  /// created, or holds no matching entry.
  virtual bool LoadPlugins();

  /// The table handed to every PluginEntry. Not owned; set before LoadPlugins.
  MvServices* Services = nullptr;

  /// The message of the duplicate-plug-in error.
  static const char* const kDuplicateMessage;

 protected:
  std::deque<TPlugin> Loaders;
  std::deque<TPlugin> Filters;

 private:
  bool Remove(std::deque<TPlugin>& list, int index);
};

}  // namespace mv
