// What the host relies on: each loader's answers, the node the host names,
// a failed load leaving the empty node, and exports that never destroy data.
#include <dirent.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>

#include "LoaderFrame.h"
#include "LoaderTestSupport.h"
#include "MvText.h"
#include "TestSupport.h"

using namespace mv;
using namespace mv::test;

namespace {

struct Expected {
  const char* id;
  const char* name;  // UTF-8
  const char* mask;
  bool canLoad, canSave;
};

TEST(LoaderPlugins, AnswerTheirTableRow) {
  const Expected rows[] = {
      {"L_Images", "Все изображения", "*.png;*.jpg;*.jpeg;*.bmp;*.gif;*.tif;*.tiff;*.webp;*.tga;*.ppm;*.pgm", true,
       false},
      {"L_PNG", "Изображение PNG", "*.png", false, true},
      {"L_JPEG", "Изображение JPEG", "*.jpg;*.jpeg", false, true},
      {"L_BMP", "Точечный рисунок BMP", "*.bmp", false, true},
      {"L_TIFF", "Изображение TIFF", "*.tif;*.tiff", false, true},
      {"L_WebP", "Изображение WebP", "*.webp", false, true},
  };
  for (const Expected& e : rows) {
    SCOPED_TRACE(e.id);
    MvLoader& l = Loader(e.id);
    EXPECT_EQ(l.GetIdentifier(), e.id);
    EXPECT_EQ(l.GetName(), Utf8ToCp1251(e.name));
    EXPECT_EQ(l.GetFileMask(), e.mask);
    EXPECT_EQ(l.CanLoad(), e.canLoad);
    EXPECT_EQ(l.CanSave(), e.canSave);
    EXPECT_FALSE(l.GetAuthor().empty());
    EXPECT_TRUE(l.Initialize());
  }
}

TEST(LoaderPlugins, LoadFillsTheNodeAtTheGivenAddressAndKeepsIt) {
  TempDir dir;
  const std::string file = (dir / "p.png").string();
  const Node source = NoiseNode(9, 4, 3);
  ASSERT_TRUE(SaveNode("L_PNG", source, file));

  StandInHost host;
  for (int i = 0; i < 3; ++i) host.AddNode();
  int index = 1;
  ASSERT_TRUE(Loader("L_Images").LoadImage(&index, file));
  EXPECT_EQ(index, 1);
  EXPECT_TRUE(SamePixels(source, host.nodes[1]));
  EXPECT_EQ(host.nodes[0].width, 0);
  EXPECT_EQ(host.nodes[2].width, 0);
}

TEST(LoaderPlugins, FailedLoadLeavesTheEmptyNode) {
  TempDir dir;
  const std::string file = (dir / "p.png").string();
  ASSERT_TRUE(SaveNode("L_PNG", NoiseNode(40, 30, 5), file));

  // The file is good, but the host cannot give the node that size.
  StandInHost host;
  host.maxPixels = 100;
  int index = host.AddNode();
  ASSERT_TRUE(Loader("L_Images").CanLoadFile(file));
  EXPECT_FALSE(Loader("L_Images").LoadImage(&index, file));
  EXPECT_EQ(host.nodes[0].width, 0);
  EXPECT_EQ(host.nodes[0].height, 0);
  EXPECT_TRUE(host.statuses.empty());

  // A file the decoder gives up on half way.
  const std::string bytes = ReadBytes(file);
  WriteBytes(file, bytes.substr(0, bytes.size() * 2 / 3));
  StandInHost second;
  index = second.AddNode();
  EXPECT_FALSE(Loader("L_Images").LoadImage(&index, file));
  EXPECT_EQ(second.nodes[0].width, 0);
  EXPECT_EQ(second.nodes[0].height, 0);
}

TEST(LoaderPlugins, FormatIsJudgedByContent) {
  TempDir dir;
  const Node source = NoiseNode(6, 5, 8);
  const std::string misnamed = (dir / "really-a-png.jpg").string();
  ASSERT_TRUE(SaveNode("L_PNG", source, misnamed));
  auto loaded = LoadFile(misnamed);
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(SamePixels(source, *loaded));
  // An export loader reads its own format only.
  EXPECT_FALSE(Loader("L_JPEG").CanLoadFile(misnamed));
  EXPECT_TRUE(Loader("L_PNG").CanLoadFile(misnamed));
}

TEST(LoaderPlugins, PlugInFormatsLoadWithoutAnApplicationObject) {
  // Qt finds TIFF, WebP, GIF and TGA in image-format plug-ins; a tool or test
  // without a QCoreApplication must still reach them.
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  TempDir dir;
  QImage image(5, 3, QImage::Format_RGB32);
  image.fill(qRgb(10, 120, 230));
  for (const char* format : {"tiff", "webp"}) {
    SCOPED_TRACE(format);
    const std::string file = (dir / (std::string("q.") + format)).string();
    QImageWriter writer(QString::fromStdString(file), format);
    if (std::string(format) == "webp") writer.setQuality(100);
    ASSERT_TRUE(writer.write(image));
    auto loaded = LoadFile(file);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->At(4, 2), 0xE6780Au);
  }
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

TEST(LoaderPlugins, ExportKeepsTheNativeFileNameBytes) {
  TempDir dir;
  // Not valid UTF-8, and not representable in CP1251 either: the bytes must
  // reach the file system as they are.
  const std::string name = "\xFF\xFE-\xD0\x9F.bmp";
  ASSERT_TRUE(SaveNode("L_BMP", NoiseNode(3, 3, 1), dir.path().string() + "/" + name));
  EXPECT_EQ(Entries(dir.path().string()), std::vector<std::string>{name});
  EXPECT_TRUE(LoadFile(dir.path().string() + "/" + name));
}

TEST(LoaderPlugins, FailedExportKeepsTheOldFileAndLeavesNothingBehind) {
  TempDir dir;
  const std::string file = (dir / "keep.png").string();
  const Node first = NoiseNode(4, 4, 1);
  ASSERT_TRUE(SaveNode("L_PNG", first, file));
  ::chmod(file.c_str(), 0640);

  EXPECT_FALSE(SaveNode("L_PNG", Node{}, file));                 // an empty node
  EXPECT_FALSE(SaveNode("L_Images", NoiseNode(2, 2, 2), file));  // a loader that cannot save
  EXPECT_FALSE(SaveNode("L_PNG", first, (dir / "missing" / "x.png").string()));
  EXPECT_EQ(Entries(dir.path().string()), std::vector<std::string>{"keep.png"});
  auto kept = LoadFile(file);
  ASSERT_TRUE(kept);
  EXPECT_TRUE(SamePixels(first, *kept));

  // A good export replaces the file in one step and keeps its permissions.
  const Node second = NoiseNode(5, 2, 9);
  ASSERT_TRUE(SaveNode("L_PNG", second, file));
  EXPECT_EQ(Entries(dir.path().string()), std::vector<std::string>{"keep.png"});
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  auto replaced = LoadFile(file);
  ASSERT_TRUE(replaced);
  EXPECT_TRUE(SamePixels(second, *replaced));
}

}  // namespace
