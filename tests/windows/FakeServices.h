// A stand-in for the scheme behind the services table: one node with a filter
// chain and a blend ratio, and a record of every call the windows make. The
// table's entries are plain functions, so the state is process-wide; reset it
// with Reset() at the start of each test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MvPlugin.h"
#include "MvText.h"

namespace mv::test {

/// An in-process filter with texts of the test's choosing (given in UTF-8,
/// returned in CP1251 as a plug-in does).
class FakeFilter final : public MvFilter {
 public:
  FakeFilter(std::string id, std::string nameUtf8, std::string authorUtf8 = "автор", std::string email = "mail")
      : id_(std::move(id)), name_(Utf8ToCp1251(nameUtf8)), author_(Utf8ToCp1251(authorUtf8)), email_(std::move(email)) {}
  std::string GetAuthor() override { return author_; }
  std::string GetCompany() override { return Utf8ToCp1251("компания"); }
  std::string GetRights() override { return "rights"; }
  std::string GetWebAddress() override { return "web"; }
  std::string GetEmail() override { return email_; }
  std::string GetIdentifier() override { return id_; }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }
  bool SupportsChannels() override { return true; }
  bool UsesChannelMask() override { return true; }
  bool ApplyChannels(int, std::uint8_t) override { return true; }
  bool Apply(int, int) override { return true; }
  std::string GetName() override { return name_; }

 private:
  std::string id_, name_, author_, email_;
};

/// An in-process loader.
class FakeLoader final : public MvLoader {
 public:
  FakeLoader(std::string id, std::string nameUtf8) : id_(std::move(id)), name_(Utf8ToCp1251(nameUtf8)) {}
  std::string GetAuthor() override { return "loader author"; }
  std::string GetCompany() override { return "loader company"; }
  std::string GetRights() override { return "loader rights"; }
  std::string GetWebAddress() override { return "loader web"; }
  std::string GetEmail() override { return "loader mail"; }
  std::string GetIdentifier() override { return id_; }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }
  bool CanLoad() override { return true; }
  bool CanSave() override { return true; }
  bool SaveImage(int*, std::string) override { return false; }
  bool LoadImage(int*, std::string) override { return false; }
  bool CanLoadFile(std::string) override { return false; }
  std::string GetName() override { return name_; }
  std::string GetFileMask() override { return "*.fake"; }

 private:
  std::string id_, name_;
};

/// The scheme the stand-in table serves: node `Node` with `Chain`; every other
/// node index is a caller error the test should catch.
struct FakeScheme {
  struct Entry {
    int filter;  // registry index
    std::uint8_t mask;
  };
  int Node = 3;
  std::vector<MvFilter*> Filters;  // the registry's filters (not owned)
  std::vector<Entry> Chain;
  int BlendRatio = 50;

  // What the windows did.
  struct MaskWrite {
    int image, k;
    std::uint8_t mask;
  };
  std::vector<MaskWrite> MaskWrites;
  std::vector<int> ChainRuns;  // the node's chain was re-run (the image index)
  std::vector<std::pair<int, int>> RatioWrites;
  int Refreshes = 0;
  int WrongImage = 0;  // calls with another image index than Node
};

FakeScheme& Scheme();
/// Resets the scheme to its defaults.
void Reset();
/// A table whose entries used by the layers and combine windows reach Scheme();
/// every other entry is null.
MvServices* FakeTable();

}  // namespace mv::test
