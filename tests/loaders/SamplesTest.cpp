// The pictures in samples/ are what the generator makes, and they load.
#include "LoaderTestSupport.h"
#include "SampleImages.h"

using namespace mv::test;

namespace {

TEST(Samples, AreTheGeneratedPictures) {
  for (const mv::samples::Sample& s : mv::samples::AllSamples()) {
    SCOPED_TRACE(s.fileName);
    const mv::samples::Picture picture = s.make();
    const Node expected = MakeNode(picture.width, picture.height, [&](int x, int y) { return picture.At(x, y); });
    auto loaded = LoadFile(std::string(MV_SAMPLES_DIR) + "/" + s.fileName);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(SamePixels(expected, *loaded));
  }
}

}  // namespace
