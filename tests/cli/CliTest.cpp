// marvolen-cli end to end: the built tool with the shipped plug-ins, run as a
// process on small images written here, its JSON, images, messages and exit
// codes checked from outside.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace fs = std::filesystem;
using mv::test::BinDir;
using mv::test::TempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using Pixel = std::uint32_t;  // red | green << 8 | blue << 16, as in the scheme

Pixel Rgb(int r, int g, int b) {
  return static_cast<Pixel>(r) | static_cast<Pixel>(g) << 8 | static_cast<Pixel>(b) << 16;
}
int Red(Pixel p) { return p & 0xFF; }
int Green(Pixel p) { return (p >> 8) & 0xFF; }
int Blue(Pixel p) { return (p >> 16) & 0xFF; }

struct Image {
  int width = 0;
  int height = 0;
  std::vector<Pixel> pixels;  // row by row
  Pixel at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
  bool operator==(const Image&) const = default;
};

void PrintTo(const Image& img, std::ostream* os) {
  *os << img.width << "x" << img.height << " {" << std::hex;
  for (std::size_t i = 0; i < img.pixels.size() && i < 8; ++i) *os << (i ? " " : "") << img.pixels[i];
  *os << (img.pixels.size() > 8 ? " ...}" : "}") << std::dec;
}

Image MakeImage(int w, int h, const std::function<Pixel(int, int)>& colour) {
  Image img{w, h, {}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.pixels.push_back(colour(x, y));
  return img;
}

Image Map(const Image& in, const std::function<Pixel(Pixel)>& f) {
  Image out = in;
  for (auto& p : out.pixels) p = f(p);
  return out;
}

// A 24-bit bottom-up BMP, written by hand so that the inputs depend on no loader.
void WriteBmp(const fs::path& path, const Image& img) {
  const int rowBytes = (img.width * 3 + 3) & ~3;
  const std::uint32_t dataSize = static_cast<std::uint32_t>(rowBytes * img.height);
  std::vector<unsigned char> b;
  auto u16 = [&](std::uint32_t v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); };
  auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  b.push_back('B');
  b.push_back('M');
  u32(54 + dataSize), u32(0), u32(54);
  u32(40), u32(static_cast<std::uint32_t>(img.width)), u32(static_cast<std::uint32_t>(img.height));
  u16(1), u16(24), u32(0), u32(dataSize), u32(2835), u32(2835), u32(0), u32(0);
  for (int y = img.height - 1; y >= 0; --y) {
    for (int x = 0; x < img.width; ++x) {
      Pixel p = img.at(x, y);
      b.push_back(static_cast<unsigned char>(Blue(p)));
      b.push_back(static_cast<unsigned char>(Green(p)));
      b.push_back(static_cast<unsigned char>(Red(p)));
    }
    for (int pad = img.width * 3; pad < rowBytes; ++pad) b.push_back(0);
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Reads a written result back (PNG or BMP, both lossless).
Image ReadImage(const fs::path& path) {
  QImage q(QString::fromStdString(path.string()));
  Image img;
  if (q.isNull()) return img;
  q = q.convertToFormat(QImage::Format_RGB32);
  img.width = q.width();
  img.height = q.height();
  for (int y = 0; y < q.height(); ++y)
    for (int x = 0; x < q.width(); ++x) {
      QRgb c = q.pixel(x, y);
      img.pixels.push_back(Rgb(qRed(c), qGreen(c), qBlue(c)));
    }
  return img;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// The blend of one channel as the scheme computes it (extended precision, truncated).
int BlendChannel(int c1, int c2, int ratio) {
  const long double f = 0.01L;
  return static_cast<int>((ratio * f) * c1 + ((100 - ratio) * f) * c2);
}

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

std::vector<char*> Argv(const fs::path& exe, std::vector<std::string>& args) {
  static std::string exeName;
  exeName = exe.string();
  std::vector<char*> argv{exeName.data()};
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

fs::path Cli() { return BinDir() / "marvolen-cli"; }

// Runs the tool in `cwd` with standard output and error caught in files of `io`.
Result RunTool(std::vector<std::string> args, const fs::path& cwd, const fs::path& io) {
  const fs::path outFile = io / "stdout", errFile = io / "stderr";
  auto argv = Argv(Cli(), args);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0), dup2(out, 1), dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Result r{ExitCode(status), ReadFile(outFile), ReadFile(errFile)};
  // In a sanitizer build a fault in the tool ends it with a report and an exit
  // status that may look like an ordinary failure.
  EXPECT_THAT(r.err, Not(HasSubstr("Sanitizer")));
  EXPECT_THAT(r.err, Not(HasSubstr("runtime error:")));
  return r;
}

// Runs the tool on a pseudo-terminal; everything it writes comes back in `out`.
Result RunOnTerminal(std::vector<std::string> args, const fs::path& cwd) {
  auto argv = Argv(Cli(), args);
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    setenv("TERM", "xterm", 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Result r;
  char buf[4096];
  for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) r.out.append(buf, static_cast<std::size_t>(n));
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  r.code = ExitCode(status);
  return r;
}

QJsonObject ParseJson(const std::string& text) {
  QJsonParseError error{};
  QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
  EXPECT_TRUE(doc.isObject()) << text;
  return doc.object();
}

std::string Str(const QJsonValue& v) { return v.toString().toStdString(); }

class CliTest : public ::testing::Test {
 protected:
  fs::path Dir() const { return dir_.path(); }
  Result Cli(std::vector<std::string> args) { return RunTool(std::move(args), dir_.path(), io_.path()); }
  Result CliIn(const fs::path& cwd, std::vector<std::string> args) { return RunTool(std::move(args), cwd, io_.path()); }

  // A 3 x 2 test picture with every channel different in every pixel.
  static Image Sample(int seed = 0) {
    return MakeImage(3, 2, [seed](int x, int y) { return Rgb(10 + 70 * x + seed, 30 + 100 * y + seed, 200 - 50 * x - 20 * y); });
  }

  TempDir dir_;
  TempDir io_;
};

// ---- --info ----------------------------------------------------------------

TEST_F(CliTest, InfoListsTheShippedPluginsAndAnEmptyScheme) {
  Result r = Cli({"--info"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  QJsonObject info = ParseJson(r.out);

  struct Expected { const char* id; const char* name; bool mask; };
  const std::vector<Expected> filters = {
      {"F_Shatter", "Дрожание", false},    {"F_Sharpen", "Увеличение резкости", false},
      {"F_Lowlight", "Затемнение", true},  {"F_Uplight", "Просветление", true},
      {"F_Blur", "Размытие", false},       {"F_Negative", "Негатив", true},
      {"F_BlackAndWhite", "Черно-белое", false}, {"F_Extract", "Выделение слоёв", true}};
  const QJsonArray got = info["filters"].toArray();
  ASSERT_EQ(got.size(), static_cast<int>(filters.size()));
  std::set<std::string> seen;
  for (int i = 0; i < got.size(); ++i) {
    QJsonObject f = got[i].toObject();
    EXPECT_EQ(f["index"].toInt(-1), i);
    seen.insert(Str(f["id"]));
    for (const auto& e : filters)
      if (Str(f["id"]) == e.id) {
        EXPECT_EQ(Str(f["name"]), e.name) << e.id;
        EXPECT_EQ(f["usesChannelMask"].toBool(!e.mask), e.mask) << e.id;
      }
  }
  EXPECT_EQ(seen.size(), filters.size());
  for (const auto& e : filters) EXPECT_TRUE(seen.count(e.id)) << e.id;

  std::map<std::string, QJsonObject> loaders;
  const QJsonArray ls = info["loaders"].toArray();
  for (int i = 0; i < ls.size(); ++i) {
    EXPECT_EQ(ls[i].toObject()["index"].toInt(-1), i);
    loaders[Str(ls[i].toObject()["id"])] = ls[i].toObject();
  }
  for (const char* id : {"L_Images", "L_PNG", "L_JPEG", "L_BMP", "L_TIFF", "L_WebP"}) {
    ASSERT_TRUE(loaders.count(id)) << id;
    EXPECT_FALSE(Str(loaders[id]["name"]).empty()) << id;
  }
  EXPECT_TRUE(loaders["L_Images"]["canLoad"].toBool());
  EXPECT_FALSE(loaders["L_Images"]["canSave"].toBool());
  EXPECT_TRUE(loaders["L_PNG"]["canSave"].toBool());
  EXPECT_TRUE(info["nodes"].isArray());
  EXPECT_TRUE(info["nodes"].toArray().isEmpty());
}

// ---- one image through the actions -------------------------------------------

TEST_F(CliTest, ActionsRunInOrderOnPathsRelativeToTheStartDirectory) {
  const Image in = Sample();
  WriteBmp(Dir() / "in.bmp", in);
  fs::create_directory(Dir() / "sub");
  Result r = CliIn(Dir() / "sub", {"--add", "../in.bmp", "--export", "0:plain.png", "--filter", "0:F_Negative",
                                   "--mask", "0:0:1", "--export", "0:red.png", "--mask", "0:0:gb", "--info",
                                   "--export", "0:../gb.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");

  // Exported before the filter: the picture as it was read.
  EXPECT_EQ(ReadImage(Dir() / "sub/plain.png"), in);
  // Mask 1: only red inverted; then mask "gb" (6): green and blue, red back as it was.
  EXPECT_EQ(ReadImage(Dir() / "sub/red.png"),
            Map(in, [](Pixel p) { return Rgb(255 - Red(p), Green(p), Blue(p)); }));
  EXPECT_EQ(ReadImage(Dir() / "gb.png"), Map(in, [](Pixel p) { return Rgb(Red(p), 255 - Green(p), 255 - Blue(p)); }));

  const QJsonArray nodes = ParseJson(r.out)["nodes"].toArray();
  ASSERT_EQ(nodes.size(), 1);
  QJsonObject n = nodes[0].toObject();
  EXPECT_EQ(n["index"].toInt(-9), 0);
  EXPECT_FALSE(n["generated"].toBool(true));
  EXPECT_EQ(n["width"].toInt(), 3);
  EXPECT_EQ(n["height"].toInt(), 2);
  EXPECT_EQ(n["baseWidth"].toInt(), 3);
  EXPECT_EQ(n["baseHeight"].toInt(), 2);
  EXPECT_EQ(n["left"].toInt(-9), 0);
  EXPECT_EQ(n["top"].toInt(-9), 0);
  EXPECT_EQ(n["first"].toInt(0), -1);
  EXPECT_EQ(n["second"].toInt(0), -1);
  EXPECT_EQ(n["ratio"].toInt(0), -1);
  const QJsonArray chain = n["chain"].toArray();
  ASSERT_EQ(chain.size(), 1);
  EXPECT_EQ(Str(chain[0].toObject()["id"]), "F_Negative");
  EXPECT_EQ(chain[0].toObject()["mask"].toInt(), 6);
}

TEST_F(CliTest, BlendFollowsItsSourcesAndDeleteTakesDependentsAlong) {
  WriteBmp(Dir() / "red.bmp", MakeImage(4, 3, [](int, int) { return Rgb(255, 0, 0); }));
  WriteBmp(Dir() / "green.bmp", MakeImage(2, 5, [](int, int) { return Rgb(0, 255, 0); }));
  Result r = Cli({"--add", "red.bmp", "--add", "green.bmp", "--blend", "0:1", "--export", "2:half.png", "--ratio",
                  "2:25", "--export", "2:quarter.png", "--filter", "0:F_Negative", "--export", "2:after.png", "--info"});
  ASSERT_EQ(r.code, 0) << r.err;

  auto uniform = [](int w, int h, Pixel p) { return MakeImage(w, h, [p](int, int) { return p; }); };
  // The smaller width and height of the two; ratio 50 at first, then 25.
  EXPECT_EQ(ReadImage(Dir() / "half.png"), uniform(2, 3, Rgb(BlendChannel(255, 0, 50), BlendChannel(0, 255, 50), 0)));
  EXPECT_EQ(ReadImage(Dir() / "quarter.png"), uniform(2, 3, Rgb(63, 191, 0)));
  // A filter on a source recomputes the blend: red (255,0,0) became (0,255,255).
  EXPECT_EQ(ReadImage(Dir() / "after.png"),
            uniform(2, 3, Rgb(0, BlendChannel(255, 255, 25), BlendChannel(255, 0, 25))));

  const QJsonArray nodes = ParseJson(r.out)["nodes"].toArray();
  ASSERT_EQ(nodes.size(), 3);
  QJsonObject g = nodes[2].toObject();
  EXPECT_TRUE(g["generated"].toBool());
  EXPECT_EQ(g["first"].toInt(), 0);
  EXPECT_EQ(g["second"].toInt(), 1);
  EXPECT_EQ(g["ratio"].toInt(), 25);
  EXPECT_EQ(g["width"].toInt(), 2);
  EXPECT_EQ(g["height"].toInt(), 3);

  // Deleting a source removes the blend too; restoring drops a chain.
  r = Cli({"--add", "red.bmp", "--add", "green.bmp", "--blend", "0:1", "--filter", "1:F_Negative", "--delete", "0",
           "--restore", "0", "--export", "0:restored.png", "--info"});
  ASSERT_EQ(r.code, 0) << r.err;
  const QJsonArray left = ParseJson(r.out)["nodes"].toArray();
  ASSERT_EQ(left.size(), 1);
  EXPECT_EQ(left[0].toObject()["width"].toInt(), 2);
  EXPECT_EQ(left[0].toObject()["height"].toInt(), 5);
  EXPECT_TRUE(left[0].toObject()["chain"].toArray().isEmpty());
  EXPECT_EQ(ReadImage(Dir() / "restored.png"), uniform(2, 5, Rgb(0, 255, 0)));
}

TEST_F(CliTest, ASavedProjectOpensToTheSameScheme) {
  WriteBmp(Dir() / "a.bmp", Sample());
  WriteBmp(Dir() / "b.bmp", Sample(40));
  Result first = Cli({"--add", "a.bmp", "--add", "b.bmp", "--blend", "0:1", "--ratio", "2:30", "--filter",
                      "0:F_Negative", "--mask", "0:0:5", "--filter", "2:F_Extract", "--save", "p.mvl", "--export",
                      "2:one.png", "--info"});
  ASSERT_EQ(first.code, 0) << first.err;
  Result second = Cli({"--open", "p.mvl", "--export", "2:two.png", "--info"});
  ASSERT_EQ(second.code, 0) << second.err;

  const QJsonArray before = ParseJson(first.out)["nodes"].toArray();
  const QJsonArray after = ParseJson(second.out)["nodes"].toArray();
  ASSERT_EQ(before.size(), 3);
  EXPECT_EQ(after, before);
  const Image one = ReadImage(Dir() / "one.png");
  EXPECT_EQ(one.width, 3);
  EXPECT_EQ(ReadImage(Dir() / "two.png"), one);
}

// ---- errors --------------------------------------------------------------------

// A bad argument is reported, naming it, before any action runs.
TEST_F(CliTest, BadArgumentsStopTheRunBeforeAnythingChanges) {
  WriteBmp(Dir() / "in.bmp", Sample());
  struct Case {
    std::vector<std::string> bad;
    std::string named;
  };
  const std::vector<Case> cases = {
      {{"--mask", "0:x:5"}, "--mask 0:x:5"},
      {{"--mask", "0:0:9"}, "--mask 0:0:9"},
      {{"--mask", "0:1"}, "--mask 0:1"},
      {{"--mask", "0:0:rr"}, "--mask 0:0:rr"},
      {{"--filter", "0:F_Nope"}, "F_Nope"},
      {{"--filter", "0:f_negative"}, "f_negative"},
      {{"--filter", "x:F_Negative"}, "--filter x:F_Negative"},
      {{"--blend", "0"}, "--blend 0"},
      {{"--ratio", "0:101"}, "--ratio 0:101"},
      {{"--delete=-1"}, "--delete -1"},
      {{"--restore", "99999999999"}, "--restore 99999999999"},
      {{"--export", "0:out.xyz"}, "--export 0:out.xyz"},
      {{"--batch", "in"}, "--chain"},
      {{"--format", "png"}, "--format"},
      {{"--batch", "nowhere", "--chain", "F_Negative", "--out", "o"}, "nowhere"},
      {{"--batch", ".", "--chain", "F_Negative,,F_Blur", "--out", "o"}, "--chain"},
      {{"--batch", ".", "--chain", "F_Negative", "--out", "o", "--format", "gif"}, "--format"},
      {{"--plugins", "no-such-folder"}, "no-such-folder"},
      {{"--bogus"}, "--bogus"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--add", "in.bmp", "--export", "0:early.png"};
    args.insert(args.end(), c.bad.begin(), c.bad.end());
    args.insert(args.end(), {"--save", "late.mvl"});
    Result r = Cli(args);
    EXPECT_EQ(r.code, 2) << c.named << "\n" << r.err;
    EXPECT_THAT(r.err, HasSubstr(c.named));
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(Dir() / "early.png")) << c.named;
    EXPECT_FALSE(fs::exists(Dir() / "late.mvl")) << c.named;
    EXPECT_FALSE(fs::exists(Dir() / "o")) << c.named;
  }
  Result none = Cli({});
  EXPECT_EQ(none.code, 2);
  EXPECT_THAT(none.err, HasSubstr("no action"));
}

// A failing action is reported; the actions before it ran, those after it do not.
TEST_F(CliTest, AFailingActionEndsTheRunWithItsReason) {
  WriteBmp(Dir() / "in.bmp", Sample());
  std::ofstream(Dir() / "broken.png", std::ios::binary) << "\x89PNG\r\n\x1a\n but nothing after that";
  struct Case {
    std::vector<std::string> bad;
    std::vector<std::string> said;
  };
  const std::vector<Case> cases = {
      {{"--filter", "1:F_Negative"}, {"--filter 1:F_Negative", "node 1 does not exist"}},
      {{"--mask", "0:0:1"}, {"--mask 0:0:1", "no entry 0"}},
      {{"--ratio", "0:50"}, {"--ratio 0:50", "not a blended node"}},
      {{"--blend", "0:3"}, {"--blend 0:3", "3 does not exist"}},
      {{"--delete", "1"}, {"--delete 1"}},
      {{"--add", "missing.bmp"}, {"--add missing.bmp", "no such file"}},
      {{"--add", "broken.png"}, {"--add broken.png"}},
      {{"--open", "in.bmp"}, {"--open in.bmp", "При загрузке проекта произошла ошибка!"}},
      {{"--open", "missing.mvl"}, {"--open missing.mvl", "no such file"}},
      {{"--export", "0:no/such/folder/x.png"}, {"--export 0:no/such/folder/x.png", "Не удалось сохранить изображение!"}},
      {{"--save", "no/such/folder/p.mvl"}, {"--save no/such/folder/p.mvl"}},
  };
  for (const auto& c : cases) {
    fs::remove(Dir() / "early.png");
    std::vector<std::string> args = {"--add", "in.bmp", "--export", "0:early.png"};
    args.insert(args.end(), c.bad.begin(), c.bad.end());
    args.insert(args.end(), {"--export", "0:late.png", "--info"});
    Result r = Cli(args);
    EXPECT_EQ(r.code, 1) << c.said[0] << "\n" << r.err;
    for (const auto& s : c.said) EXPECT_THAT(r.err, HasSubstr(s));
    EXPECT_TRUE(fs::exists(Dir() / "early.png")) << c.said[0];
    EXPECT_FALSE(fs::exists(Dir() / "late.png")) << c.said[0];
    EXPECT_EQ(r.out, "") << c.said[0];
  }
}

// ---- the plug-in folder ----------------------------------------------------------

TEST_F(CliTest, PluginsComeFromAFolderOfAnyNameWithTheRegistrysMessages) {
  const fs::path shipped = BinDir() / "Plugins";
  const fs::path mine = Dir() / "my plugins";
  fs::create_directory(mine);
  for (const char* loader : {"images.plugin", "png.plugin", "bmp.plugin"}) fs::copy_file(shipped / loader, mine / loader);
  // The same filter twice: the second is refused with the registry's message.
  fs::copy_file(shipped / "negativefx.plugin", mine / "a.plugin");
  fs::copy_file(shipped / "negativefx.plugin", mine / "b.plugin");
  fs::copy_file(fs::path(MV_CLI_FIXTURE_DIR) / "oddfx.plugin", mine / "oddfx.plugin");
  WriteBmp(Dir() / "in.bmp", Sample());

  const std::string odd = "F_Odd\"\\";
  Result r = Cli({"--plugins", "my plugins", "--add", "in.bmp", "--filter", "0:" + odd, "--info"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string duplicate = "Не удалось загрузить плагин: класс плагина уже был зарегистрирован ранее.";
  EXPECT_THAT(r.err, HasSubstr(duplicate));
  EXPECT_EQ(r.err.find(duplicate), r.err.rfind(duplicate));  // once

  QJsonObject info = ParseJson(r.out);
  std::vector<std::string> ids;
  std::string oddName;
  for (const auto& f : info["filters"].toArray()) {
    ids.push_back(Str(f.toObject()["id"]));
    if (ids.back() == odd) oddName = Str(f.toObject()["name"]);
  }
  EXPECT_THAT(ids, ::testing::UnorderedElementsAre("F_Negative", odd));
  EXPECT_EQ(oddName, "Странный \"фильтр\"\t\\\x01/");
  EXPECT_EQ(Str(info["nodes"].toArray()[0].toObject()["chain"].toArray()[0].toObject()["id"]), odd);
  EXPECT_EQ(info["loaders"].toArray().size(), 3);

  // A project that needs a filter the folder lacks: the reader's message, then the open's.
  ASSERT_EQ(Cli({"--add", "in.bmp", "--filter", "0:F_Blur", "--save", "blur.mvl"}).code, 0);
  r = Cli({"--plugins", mine.string(), "--open", "blur.mvl", "--info"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("Фильтр 'F_Blur', используемый в проекте, не загружен в системе!"));
  EXPECT_THAT(r.err, HasSubstr("При загрузке проекта произошла ошибка!"));
  EXPECT_EQ(r.out, "");

  // A folder that is named Plugins, somewhere else.
  fs::create_directories(Dir() / "else/Plugins");
  fs::copy_file(shipped / "bwfx.plugin", Dir() / "else/Plugins/bwfx.plugin");
  r = Cli({"--plugins", "else/Plugins/", "--info"});
  ASSERT_EQ(r.code, 0) << r.err;
  info = ParseJson(r.out);
  ASSERT_EQ(info["filters"].toArray().size(), 1);
  EXPECT_EQ(Str(info["filters"].toArray()[0].toObject()["id"]), "F_BlackAndWhite");
  EXPECT_TRUE(info["loaders"].toArray().isEmpty());
}

// ---- --batch -------------------------------------------------------------------

class BatchTest : public CliTest {
 protected:
  void SetUp() override {
    fs::create_directory(Dir() / "in");
    WriteBmp(Dir() / "in/b.bmp", Sample(5));
    WriteBmp(Dir() / "in/a.bmp", Sample());
    WriteBmp(Dir() / "in/c.bmp", MakeImage(5, 4, [](int x, int y) { return Rgb(x * 50, y * 60, 128); }));
  }
  // Name -> bytes of every file of a folder.
  std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir)) files[e.path().filename().string()] = ReadFile(e.path());
    return files;
  }
};

TEST_F(BatchTest, AppliesTheChainToEveryImageAndKeepsGoingPastABrokenOne) {
  std::ofstream(Dir() / "in/bad.png", std::ios::binary) << "not an image at all";
  std::ofstream(Dir() / "in/notes.txt") << "not an image, and not named like one";
  const auto inputs = Snapshot(Dir() / "in");

  Result r = Cli({"--batch", "in", "--chain", "F_Negative,F_Extract:rb", "--out", "out", "--format", "png"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Names(Dir() / "out"), (std::set<std::string>{"a.png", "b.png", "c.png"}));
  EXPECT_EQ(Snapshot(Dir() / "in"), inputs);

  // Name order, one plain line per file (standard error is no terminal here), then the failures.
  const auto a = r.err.find("[1/4] a.bmp: ok"), b = r.err.find("[2/4] b.bmp: ok"),
             bad = r.err.find("[3/4] bad.png: failed"), c = r.err.find("[4/4] c.bmp: ok"),
             summary = r.err.find("1 of 4 images failed:\n  bad.png: ");
  ASSERT_NE(a, std::string::npos) << r.err;
  ASSERT_NE(summary, std::string::npos) << r.err;
  EXPECT_LT(a, b);
  EXPECT_LT(b, bad);
  EXPECT_LT(bad, c);
  EXPECT_LT(c, summary);

  // Each result is what the same chain gives one image at a time.
  EXPECT_EQ(ReadImage(Dir() / "out/a.png"), Map(Sample(), [](Pixel p) { return Rgb(255 - Red(p), 0, 255 - Blue(p)); }));
  for (const char* name : {"a", "b", "c"}) {
    const std::string ref = std::string("ref_") + name + ".png";
    Result one = Cli({"--add", std::string("in/") + name + ".bmp", "--filter", "0:F_Negative", "--filter",
                      "0:F_Extract", "--mask", "0:1:5", "--export", "0:" + ref});
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(ReadImage(Dir() / ("out/" + std::string(name) + ".png")), ReadImage(Dir() / ref)) << name;
  }
}

TEST_F(BatchTest, KeepsEachInputsFormatAndLeavesTheSchemeAsItWas) {
  Result r = Cli({"--add", "in/a.bmp", "--batch", "in", "--chain", "F_BlackAndWhite", "--out", "out", "--info"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Names(Dir() / "out"), (std::set<std::string>{"a.bmp", "b.bmp", "c.bmp"}));
  EXPECT_EQ(ReadImage(Dir() / "out/a.bmp"), Map(Sample(), [](Pixel p) {
              int g = (Red(p) + Green(p) + Blue(p)) / 3;
              return Rgb(g, g, g);
            }));
  const QJsonArray nodes = ParseJson(r.out)["nodes"].toArray();
  ASSERT_EQ(nodes.size(), 1);
  EXPECT_TRUE(nodes[0].toObject()["chain"].toArray().isEmpty());
}

TEST_F(BatchTest, NeverOverwritesItsInputs) {
  const auto inputs = Snapshot(Dir() / "in");
  for (const std::string& out : std::vector<std::string>{"in", "in/.", "./in/../in/", (Dir() / "in").string()}) {
    Result r = Cli({"--batch", "in", "--chain", "F_Negative", "--out", out});
    EXPECT_EQ(r.code, 2) << out;
    EXPECT_THAT(r.err, HasSubstr("--out")) << out;
    EXPECT_EQ(Snapshot(Dir() / "in"), inputs) << out;
  }

  // A result that would land on an input through a hard link: refused before anything is written.
  fs::create_directory(Dir() / "out");
  fs::create_hard_link(Dir() / "in/b.bmp", Dir() / "out/b.bmp");
  Result r = Cli({"--batch", "in", "--chain", "F_Negative", "--out", "out"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("b.bmp"));
  EXPECT_EQ(Snapshot(Dir() / "in"), inputs);
  EXPECT_EQ(Names(Dir() / "out"), std::set<std::string>{"b.bmp"});
  fs::remove(Dir() / "out/b.bmp");

  // Two inputs with one base name: the first result stays, the second is a failure.
  WriteBmp(Dir() / "in/a.BMP", Sample(80));
  r = Cli({"--batch", "in", "--chain", "F_Negative", "--out", "out", "--format", "png"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("would overwrite the result of"));
  EXPECT_EQ(Names(Dir() / "out"), (std::set<std::string>{"a.png", "b.png", "c.png"}));
  // "a.BMP" sorts before "a.bmp": its result is the one written.
  EXPECT_EQ(ReadImage(Dir() / "out/a.png"),
            Map(Sample(80), [](Pixel p) { return Rgb(255 - Red(p), 255 - Green(p), 255 - Blue(p)); }));
}

TEST_F(BatchTest, DrawsAProgressBarOnATerminal) {
  Result r = RunOnTerminal({"--batch", "in", "--chain", "F_Negative", "--out", "out"}, Dir());
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_THAT(r.out, HasSubstr("\r"));
  EXPECT_THAT(r.out, HasSubstr("[" + std::string(30, '#') + "] 3/3"));
  EXPECT_THAT(r.out, Not(HasSubstr("[1/3]")));
  EXPECT_EQ(Names(Dir() / "out").size(), 3u);
}

}  // namespace
