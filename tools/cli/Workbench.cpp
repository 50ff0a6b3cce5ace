#include "Workbench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <sstream>

#include <fnmatch.h>
#include <unistd.h>

#include "HostServices.h"
#include "Json.h"
#include "MvText.h"

namespace mv::cli {

namespace fs = std::filesystem;

namespace {

// The program's own texts for what went wrong.
constexpr const char* kWrongFormat = "Неверный формат файла, изображение не может быть загружено";
constexpr const char* kLoadFailed = "Ошибка при загрузке изображения";
constexpr const char* kSaveFailed = "Не удалось сохранить изображение!";
constexpr const char* kProjectLoadFailed = "При загрузке проекта произошла ошибка!";

// The patterns of a file-dialog mask ("*.jpg;*.jpeg"), as UTF-8.
std::vector<std::string> Patterns(const std::string& mask) {
  std::vector<std::string> out;
  std::stringstream in(Cp1251ToUtf8(mask));
  std::string item;
  while (std::getline(in, item, ';')) {
    const auto first = item.find_first_not_of(' ');
    const auto last = item.find_last_not_of(' ');
    if (first != std::string::npos) out.push_back(item.substr(first, last - first + 1));
  }
  return out;
}

bool MaskMatches(const std::string& mask, const fs::path& file) {
  const std::string name = file.filename().string();
  for (const auto& pattern : Patterns(mask))
    if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
  return false;
}

std::string Plural(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

}  // namespace

Workbench::Workbench(bool verbose) : verbose_(verbose), window_(verbose) {
  SetPrompts(&prompts_);
  InitServices(&services_);
  registry_.Services = &services_;
  scheme_.PluginManager = &registry_;
  scheme_.OnStatusText = [this](const std::string& text) { window_.Status(text); };
  // The progress of long operations (a blend, reading a project) is not drawn.
  scheme_.OnProgressMin = [](int) {};
  scheme_.OnProgressMax = [](int) {};
  scheme_.OnProgressPosition = [](int) {};
  scheme_.OnProgressVisible = [](bool) {};
  Host().Registry = &registry_;
  Host().Scheme = &scheme_;
  Host().Window = &window_;
}

Workbench::~Workbench() {
  scheme_.Clear();
  while (registry_.GetLoaderCount() > 0 && registry_.RemoveLoader(0)) {
  }
  while (registry_.GetFilterCount() > 0 && registry_.RemoveFilter(0)) {
  }
  Host() = HostContext{};
  SetPrompts(nullptr);
}

bool Workbench::LoadPlugins(const fs::path& requested, bool mustExist, std::string& error) {
  std::error_code ec;
  fs::path folder = requested;
  if (fs::is_directory(folder, ec)) {
    folder = fs::canonical(folder, ec);
    if (ec) {
      error = ec.message();
      return false;
    }
  } else if (mustExist) {
    error = "no such folder";
    return false;
  }

  // The registry scans the folder "Plugins" of the current directory.
  if (folder.filename() == "Plugins") {
    if (::chdir(folder.parent_path().c_str()) != 0) {
      error = "cannot enter " + folder.parent_path().string();
      return false;
    }
    registry_.LoadPlugins();
    return true;
  }

  // A folder of another name is shown to the registry under that name: a
  // link "Plugins" to it in a private temporary folder. Entering the link
  // enters the folder itself, so the libraries are opened by their real
  // paths, and the link is gone again before the first action runs.
  std::string temp = (fs::temp_directory_path(ec) / "marvolen-cli-XXXXXX").string();
  if (ec || !::mkdtemp(temp.data())) {
    error = "cannot create a temporary folder to load the plug-ins from";
    return false;
  }
  const fs::path link = fs::path(temp) / "Plugins";
  fs::create_directory_symlink(folder, link, ec);
  bool ok = !ec && ::chdir(temp.c_str()) == 0;
  if (ok) registry_.LoadPlugins();
  fs::remove(link, ec);
  fs::remove(temp, ec);
  if (!ok) error = "cannot enter the folder";
  return ok;
}

int Workbench::FindFilterIndex(const std::string& identifier) {
  for (int i = 0; i < registry_.GetFilterCount(); ++i)
    if (registry_.GetFilter(i)->GetIdentifier() == identifier) return i;
  return -1;
}

int Workbench::FindSaver(const fs::path& file) {
  for (int i = 0; i < registry_.GetLoaderCount(); ++i) {
    MvLoader* l = registry_.GetLoader(i);
    if (l->CanSave() && MaskMatches(l->GetFileMask(), file)) return i;
  }
  return -1;
}

std::string Workbench::SaverMasks() {
  std::string out;
  for (int i = 0; i < registry_.GetLoaderCount(); ++i) {
    MvLoader* l = registry_.GetLoader(i);
    if (!l->CanSave()) continue;
    if (!out.empty()) out += ", ";
    out += Cp1251ToUtf8(l->GetFileMask());
  }
  return out.empty() ? "none" : out;
}

bool Workbench::LooksLoadable(const fs::path& file) {
  for (int i = 0; i < registry_.GetLoaderCount(); ++i) {
    MvLoader* l = registry_.GetLoader(i);
    if (l->CanLoad() && MaskMatches(l->GetFileMask(), file)) return true;
  }
  return false;
}

bool Workbench::Resolve(std::vector<Action>& actions, BatchJob* batch, std::string& error) {
  auto filterList = [this] {
    std::string ids;
    for (int i = 0; i < registry_.GetFilterCount(); ++i)
      ids += (i ? ", " : "") + Cp1251ToUtf8(registry_.GetFilter(i)->GetIdentifier());
    return ids.empty() ? std::string("none") : ids;
  };
  for (auto& a : actions) {
    if (a.Kind == ActionKind::Filter) {
      a.Plugin = FindFilterIndex(a.Identifier);
      if (a.Plugin < 0) {
        error = a.Label() + ": no filter '" + Cp1251ToUtf8(a.Identifier) + "' is loaded (loaded: " + filterList() + ")";
        return false;
      }
    } else if (a.Kind == ActionKind::Export) {
      a.Plugin = FindSaver(a.Path);
      if (a.Plugin < 0) {
        error = a.Label() + ": no loader can save a file of this type (it can save: " + SaverMasks() + ")";
        return false;
      }
    }
  }
  if (!batch) return true;

  for (auto& step : batch->Chain) {
    step.Filter = FindFilterIndex(step.Identifier);
    if (step.Filter < 0) {
      error = "--chain: no filter '" + Cp1251ToUtf8(step.Identifier) + "' is loaded (loaded: " + filterList() + ")";
      return false;
    }
  }
  if (!batch->Format.empty()) {
    batch->Saver = FindSaver("image." + batch->Format);
    if (batch->Saver < 0) {
      error = "--format " + batch->Format + ": no loader can save this format (it can save: " + SaverMasks() + ")";
      return false;
    }
  }
  std::error_code ec;
  if (!fs::is_directory(batch->Input, ec)) {
    error = "--batch " + batch->Input.string() + ": no such folder";
    return false;
  }
  if (fs::exists(batch->Output, ec) && !fs::is_directory(batch->Output, ec)) {
    error = "--out " + batch->Output.string() + ": exists and is not a folder";
    return false;
  }
  if (fs::weakly_canonical(batch->Output, ec) == fs::weakly_canonical(batch->Input, ec)) {
    error = "--out " + batch->Output.string() + ": is the input folder; the results would overwrite the inputs";
    return false;
  }
  return true;
}

bool Workbench::Fail(const Action& action, const std::string& why) {
  PrintError(action.Label() + ": " + why);
  return false;
}

bool Workbench::NodeExists(const Action& action, int node, const char* what) {
  const int count = scheme_.GetImageCount();
  if (node >= 0 && node < count) return true;
  return Fail(action, std::string(what) + " " + std::to_string(node) + " does not exist (the scheme has " +
                          Plural(count, "node", "nodes") + ")");
}

void Workbench::TrimTo(int count) {
  while (scheme_.GetImageCount() > count) scheme_.DeleteImage(scheme_.GetImageCount() - 1);
}

bool Workbench::AddImageFile(const fs::path& file, int& node, std::string& error) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    error = "no such file";
    return false;
  }
  const std::string name = file.string();
  MvLoader* loader = nullptr;
  bool anyReader = false;
  for (int i = 0; i < registry_.GetLoaderCount() && !loader; ++i) {
    MvLoader* l = registry_.GetLoader(i);
    if (!l->CanLoad()) continue;
    anyReader = true;
    if (l->CanLoadFile(name)) loader = l;
  }
  if (!loader) {
    error = anyReader ? kWrongFormat : "no loader plug-in that reads images is loaded";
    return false;
  }
  // As the program adds an image: an empty node, filled by the loader
  // through the services table, then committed at the index the loader left.
  const int before = scheme_.GetImageCount();
  scheme_.AddImage(nullptr, 0, 0);
  int n = scheme_.GetImageCount() - 1;
  if (!loader->LoadImage(&n, name)) {
    // The program keeps the empty node; a script is better served by a
    // scheme left as it was, so that later node indices stay as expected.
    TrimTo(before);
    error = kLoadFailed;
    return false;
  }
  scheme_.CommitImage(n);
  node = n;
  return true;
}

bool Workbench::Run(const Action& action, const BatchJob* batch) {
  try {
    return RunAction(action, batch);
  } catch (const std::bad_alloc&) {
    return Fail(action, "out of memory");
  } catch (const std::exception& e) {
    return Fail(action, e.what());
  }
}

bool Workbench::RunAction(const Action& a, const BatchJob* batch) {
  std::error_code ec;
  switch (a.Kind) {
    case ActionKind::Open:
      if (!fs::is_regular_file(a.Path, ec)) return Fail(a, "no such file");
      if (!scheme_.LoadFromFile(a.Path.string())) return Fail(a, kProjectLoadFailed);
      window_.Status(a.Label() + ": " + Plural(scheme_.GetImageCount(), "node", "nodes"));
      return true;
    case ActionKind::Save:
      if (!scheme_.SaveToFile(a.Path.string())) return Fail(a, "the project could not be written");
      return true;
    case ActionKind::Add: {
      int node = -1;
      std::string error;
      if (!AddImageFile(a.Path, node, error)) return Fail(a, error);
      window_.Status(a.Label() + ": node " + std::to_string(node) + ", " + std::to_string(scheme_.GetWidth(node)) +
                     "x" + std::to_string(scheme_.GetHeight(node)));
      return true;
    }
    case ActionKind::Filter:
      if (!NodeExists(a, a.Node)) return false;
      scheme_.ApplyFilter(a.Node, a.Plugin);
      return true;
    case ActionKind::Mask:
      if (!NodeExists(a, a.Node)) return false;
      if (a.Second >= scheme_.GetChainLength(a.Node))
        return Fail(a, "node " + std::to_string(a.Node) + " has " +
                           Plural(scheme_.GetChainLength(a.Node), "filter", "filters") + ", so there is no entry " +
                           std::to_string(a.Second));
      scheme_.SetFilterChannels(a.Node, a.Second, static_cast<std::uint8_t>(a.Value));
      return true;
    case ActionKind::Blend:
      if (!NodeExists(a, a.Node, "node A") || !NodeExists(a, a.Second, "node B")) return false;
      scheme_.AddBlendedImage(a.Node, a.Second, 50, true);
      window_.Status(a.Label() + ": node " + std::to_string(scheme_.GetImageCount() - 1));
      return true;
    case ActionKind::Ratio:
      if (!NodeExists(a, a.Node)) return false;
      if (!scheme_.IsGenerated(a.Node)) return Fail(a, "node " + std::to_string(a.Node) + " is not a blended node");
      scheme_.SetBlendRatio(a.Node, a.Value);
      return true;
    case ActionKind::Restore:
      if (!NodeExists(a, a.Node)) return false;
      scheme_.RestoreImage(a.Node);
      return true;
    case ActionKind::Delete:
      if (!NodeExists(a, a.Node)) return false;
      scheme_.DeleteImage(a.Node);
      return true;
    case ActionKind::Export: {
      if (!NodeExists(a, a.Node)) return false;
      int n = a.Node;
      if (!registry_.GetLoader(a.Plugin)->SaveImage(&n, a.Path.string())) return Fail(a, kSaveFailed);
      return true;
    }
    case ActionKind::Info: {
      const std::string json = InfoJson();
      std::fwrite(json.data(), 1, json.size(), stdout);
      std::fflush(stdout);
      return true;
    }
    case ActionKind::Batch:
      return batch ? RunBatch(a, *batch) : Fail(a, "nothing to do");
  }
  return false;
}

bool Workbench::RunBatch(const Action& a, const BatchJob& job) {
  std::error_code ec;
  // The inputs: the folder's files that a reading loader's mask names, in name order.
  bool anyReader = false;
  for (int i = 0; i < registry_.GetLoaderCount(); ++i) anyReader = anyReader || registry_.GetLoader(i)->CanLoad();
  if (!anyReader) return Fail(a, "no loader plug-in that reads images is loaded");
  std::vector<fs::path> inputs;
  for (fs::directory_iterator it(job.Input, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fileEc;
    if (it->is_regular_file(fileEc) && LooksLoadable(it->path())) inputs.push_back(it->path());
  }
  if (ec) return Fail(a, ec.message());
  std::sort(inputs.begin(), inputs.end(),
            [](const fs::path& x, const fs::path& y) { return x.filename().string() < y.filename().string(); });
  if (inputs.empty()) return Fail(a, "no image files in the folder");

  fs::create_directories(job.Output, ec);
  if (!fs::is_directory(job.Output, ec)) return Fail(a, "cannot create the output folder " + job.Output.string());
  if (fs::equivalent(job.Output, job.Input, ec))
    return Fail(a, "the output folder is the input folder; the results would overwrite the inputs");

  std::vector<fs::path> targets;
  for (const auto& in : inputs) {
    fs::path name = in.filename();
    if (!job.Format.empty()) name = in.stem().string() + "." + job.Format;
    targets.push_back(job.Output / name);
  }
  // Refuse before writing anything when a result would land on an input
  // (the same file reached through a link).
  for (const auto& t : targets) {
    if (!fs::exists(t, ec)) continue;
    for (const auto& in : inputs)
      if (fs::equivalent(t, in, ec))
        return Fail(a, "refused: " + t.string() + " is the input file " + in.string());
  }

  const bool allSeven =
      std::all_of(job.Chain.begin(), job.Chain.end(), [](const ChainStep& s) { return s.Mask == 7; });
  const int total = static_cast<int>(inputs.size());
  const char* term = std::getenv("TERM");
  BatchProgress progress(total, ::isatty(STDERR_FILENO) && !(term && std::string(term) == "dumb"));
  std::vector<std::pair<std::string, std::string>> failures;
  std::map<fs::path, std::string> written;  // result -> the input it came from
  const int base = scheme_.GetImageCount();

  for (int i = 0; i < total; ++i) {
    const std::string name = inputs[i].filename().string();
    progress.Begin(i, name);
    std::string failure;
    try {
      const fs::path& target = targets[i];
      const int saver = job.Format.empty() ? FindSaver(target) : job.Saver;
      int node = -1;
      if (auto it = written.find(target); it != written.end()) {
        failure = "its result " + target.filename().string() + " would overwrite the result of " + it->second;
      } else if (saver < 0) {
        failure = "no loader can save a file of this type (choose one with --format)";
      } else if (AddImageFile(inputs[i], node, failure)) {
        // The chain as --filter and --mask build it: with every mask 7 each
        // filter is applied in turn; otherwise the entries are stored with
        // their masks and the chain run once, which is what re-running the
        // chain after setting each mask leaves as the node's image.
        for (const auto& step : job.Chain) {
          if (allSeven)
            scheme_.ApplyFilter(node, step.Filter);
          else
            scheme_.AppendFilterEntry(node, TFilterEntry{registry_.GetFilter(step.Filter)->GetIdentifier(), step.Mask});
        }
        if (!allSeven) scheme_.RunFilterChain(node);
        int n = node;
        if (!registry_.GetLoader(saver)->SaveImage(&n, target.string()))
          failure = kSaveFailed;
        else
          written.emplace(target, name);
      }
    } catch (const std::bad_alloc&) {
      failure = "out of memory";
    } catch (const std::exception& e) {
      failure = e.what();
    }
    TrimTo(base);
    if (!failure.empty()) failures.emplace_back(name, failure);
    progress.End(i, name, failure);
  }
  progress.Finish();

  if (failures.empty()) {
    window_.Status(a.Label() + ": " + Plural(total, "image", "images") + " written to " + job.Output.string());
    return true;
  }
  std::string text = a.Label() + ": " + std::to_string(failures.size()) + " of " + Plural(total, "image", "images") +
                     " failed:";
  for (const auto& [file, why] : failures) text += "\n  " + file + ": " + why;
  PrintError(text);
  return false;
}

std::string Workbench::InfoJson() {
  std::string out = "{\n  \"loaders\": [";
  for (int i = 0; i < registry_.GetLoaderCount(); ++i) {
    MvLoader* l = registry_.GetLoader(i);
    out += i ? ",\n    " : "\n    ";
    out += "{\"index\": " + std::to_string(i) + ", \"id\": " + JsonString(Cp1251ToUtf8(l->GetIdentifier())) +
           ", \"name\": " + JsonString(Cp1251ToUtf8(l->GetName())) +
           ", \"canLoad\": " + (l->CanLoad() ? "true" : "false") +
           ", \"canSave\": " + (l->CanSave() ? "true" : "false") +
           ", \"mask\": " + JsonString(Cp1251ToUtf8(l->GetFileMask())) + "}";
  }
  out += registry_.GetLoaderCount() ? "\n  ],\n  \"filters\": [" : "],\n  \"filters\": [";
  for (int i = 0; i < registry_.GetFilterCount(); ++i) {
    MvFilter* f = registry_.GetFilter(i);
    out += i ? ",\n    " : "\n    ";
    out += "{\"index\": " + std::to_string(i) + ", \"id\": " + JsonString(Cp1251ToUtf8(f->GetIdentifier())) +
           ", \"name\": " + JsonString(Cp1251ToUtf8(f->GetName())) +
           ", \"usesChannelMask\": " + (f->UsesChannelMask() ? "true" : "false") + "}";
  }
  out += registry_.GetFilterCount() ? "\n  ],\n  \"nodes\": [" : "],\n  \"nodes\": [";
  const int count = scheme_.GetImageCount();
  for (int i = 0; i < count; ++i) {
    out += i ? ",\n    " : "\n    ";
    out += "{\"index\": " + std::to_string(i) + ", \"generated\": " + (scheme_.IsGenerated(i) ? "true" : "false") +
           ", \"width\": " + std::to_string(scheme_.GetWidth(i)) +
           ", \"height\": " + std::to_string(scheme_.GetHeight(i)) +
           ", \"baseWidth\": " + std::to_string(scheme_.GetBaseWidth(i)) +
           ", \"baseHeight\": " + std::to_string(scheme_.GetBaseHeight(i)) +
           ", \"left\": " + std::to_string(scheme_.GetLeft(i)) + ", \"top\": " + std::to_string(scheme_.GetTop(i)) +
           ", \"chain\": [";
    for (int k = 0; k < scheme_.GetChainLength(i); ++k) {
      out += k ? ", " : "";
      out += "{\"id\": " + JsonString(Cp1251ToUtf8(scheme_.GetFilterIdentifier(i, k))) +
             ", \"mask\": " + std::to_string(scheme_.GetFilterChannels(i, k)) + "}";
    }
    out += "], \"first\": " + std::to_string(scheme_.GetFirstSource(i)) +
           ", \"second\": " + std::to_string(scheme_.GetSecondSource(i)) +
           ", \"ratio\": " + std::to_string(scheme_.GetBlendRatio(i)) + "}";
  }
  out += count ? "\n  ]\n}\n" : "]\n}\n";
  return out;
}

}  // namespace mv::cli
