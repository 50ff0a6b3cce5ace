// The controller routes every board event to the view with the model, and
// hands its notifications to the model; the board surface shows the pictures
// it is handed and reports its mouse events.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTest>

#include "BoardFixture.h"
#include "BoardSurface.h"
#include "SchemeController.h"

namespace mv::test {
namespace {

using ::testing::_;
using ::testing::InSequence;

class MockView : public TSchemeView {
 public:
  MOCK_METHOD(void, ImageAdded, (TSchemeManager*, int), (override));
  MOCK_METHOD(void, ImagesDeleted, (TSchemeManager*), (override));
  MOCK_METHOD(void, ImageRestored, (TSchemeManager*, int), (override));
  MOCK_METHOD(void, ShowBlendOptions, (TSchemeManager*), (override));
  MOCK_METHOD(void, Paint, (TSchemeManager*), (override));
  MOCK_METHOD(void, Resize, (TSchemeManager*, int, int, TRect), (override));
  MOCK_METHOD(void, MouseDown, (TSchemeManager*, Qt::MouseButton, Qt::KeyboardModifiers, int, int), (override));
  MOCK_METHOD(void, MouseMove, (TSchemeManager*, Qt::KeyboardModifiers, int, int), (override));
  MOCK_METHOD(void, MouseUp, (TSchemeManager*, Qt::MouseButton, Qt::KeyboardModifiers, int, int), (override));
  MOCK_METHOD(void, ShowFilterOptions, (TSchemeManager*), (override));
};

MATCHER_P4(RectIs, l, t, r, b, "") { return arg.Left == l && arg.Top == t && arg.Right == r && arg.Bottom == b; }

void ForwardEverything(TSchemeController& c) {
  c.ImageAdded(3);
  c.ImagesDeleted();
  c.ImageRestored(4);
  c.ShowBlendOptions();
  c.Paint();
  c.Resize(5, 6, TRect{0, 0, 640, 480});
  c.MouseDown(Qt::RightButton, {}, 10, 20);
  c.MouseMove(Qt::ShiftModifier, 11, 21);
  c.MouseUp(Qt::LeftButton, Qt::ControlModifier, 12, 22);
  c.ShowFilterOptions();
}

TEST(SchemeController, WithoutAViewEveryOperationDoesNothing) {
  TSchemeController c;
  EXPECT_EQ(c.View, nullptr);
  EXPECT_EQ(c.Manager, nullptr);
  TSchemeManager model;
  c.SetManager(&model);
  RecordingBoard board;
  c.SetCanvas(&board);
  EXPECT_EQ(c.GetCanvas(), nullptr);
  ForwardEverything(c);
  EXPECT_EQ(board.shown, 0);
}

TEST(SchemeController, ForwardsEachEventToTheViewWithTheModel) {
  TSchemeManager model;
  ::testing::StrictMock<MockView> view;
  TSchemeController c;
  c.SetView(&view);
  c.SetManager(&model);
  {
    InSequence order;
    EXPECT_CALL(view, ImageAdded(&model, 3));
    EXPECT_CALL(view, ImagesDeleted(&model));
    EXPECT_CALL(view, ImageRestored(&model, 4));
    EXPECT_CALL(view, ShowBlendOptions(&model));
    EXPECT_CALL(view, Paint(&model));
    EXPECT_CALL(view, Resize(&model, 5, 6, RectIs(0, 0, 640, 480)));
    EXPECT_CALL(view, MouseDown(&model, Qt::RightButton, Qt::KeyboardModifiers(), 10, 20));
    EXPECT_CALL(view, MouseMove(&model, Qt::KeyboardModifiers(Qt::ShiftModifier), 11, 21));
    EXPECT_CALL(view, MouseUp(&model, Qt::LeftButton, Qt::KeyboardModifiers(Qt::ControlModifier), 12, 22));
    EXPECT_CALL(view, ShowFilterOptions(&model));
  }
  ForwardEverything(c);

  RecordingBoard board;
  c.SetCanvas(&board);
  EXPECT_EQ(view.Canvas, &board);
  EXPECT_EQ(c.GetCanvas(), &board);
}

TEST(SchemeController, SetManagerCopiesTheNotificationsAsTheyStand) {
  struct Window {
    std::vector<std::string> calls;
  } window;
  TSchemeController c;
  c.OnProgressMin = [&window](int v) { window.calls.push_back("min " + std::to_string(v)); };
  c.OnProgressMax = [&window](int v) { window.calls.push_back("max " + std::to_string(v)); };
  c.OnProgressPosition = [&window](int v) { window.calls.push_back("pos " + std::to_string(v)); };
  c.OnProgressVisible = [&window](bool v) { window.calls.push_back(v ? "shown" : "hidden"); };
  c.OnStatusText = [&window](const std::string& t) { window.calls.push_back("status " + t); };

  c.SetManager(nullptr);
  EXPECT_EQ(c.Manager, nullptr);

  TSchemeManager model;
  c.SetManager(&model);
  EXPECT_EQ(c.Manager, &model);
  model.OnProgressMin(1);
  model.OnProgressMax(9);
  model.OnProgressPosition(4);
  model.OnProgressVisible(true);
  model.OnStatusText("Загрузка");
  EXPECT_EQ(window.calls, (std::vector<std::string>{"min 1", "max 9", "pos 4", "shown", "status Загрузка"}));

  // A notification set afterwards does not reach the model.
  c.OnProgressMin = [&window](int) { window.calls.push_back("later"); };
  model.OnProgressMin(2);
  EXPECT_EQ(window.calls.back(), "min 2");
}

TEST(BoardSurface, ShowsThePictureItIsHandedAndGivesBackThePreviousOne) {
  BoardSurface surface;
  surface.resize(40, 30);
  Bitmap first(30, 20, 0x000000FFu);  // red, narrower than the surface
  first.SetPixel(3, 4, 0x00FF0000u);  // one blue pixel
  surface.ShowPicture(first);
  EXPECT_TRUE(first.Empty());
  EXPECT_EQ(surface.Picture().Width(), 30);

  const QImage shown = surface.grab().toImage();
  EXPECT_EQ(shown.pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(shown.pixelColor(3, 4), QColor(0, 0, 255));
  EXPECT_EQ(shown.pixelColor(29, 19), QColor(255, 0, 0));
  EXPECT_EQ(shown.pixelColor(35, 25), QColor(255, 255, 255));  // beyond the picture

  Bitmap second(40, 30);
  surface.ShowPicture(second);
  EXPECT_EQ(second.Width(), 30);  // the previous picture comes back
  EXPECT_EQ(second.Pixel(3, 4), 0x00FF0000u);

  surface.move(100, 200);
  EXPECT_EQ(surface.ToScreen(QPoint(5, 6)), surface.mapToGlobal(QPoint(5, 6)));
}

TEST(BoardSurface, ReportsMouseEventsInBoardCoordinates) {
  BoardSurface surface;
  surface.resize(100, 100);
  surface.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&surface));
  std::vector<std::string> events;
  surface.OnMouseDown = [&](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
    events.push_back("down " + std::to_string(b) + " " + std::to_string(m.toInt()) + " " + std::to_string(x) + "," +
                     std::to_string(y));
  };
  surface.OnMouseMove = [&](Qt::KeyboardModifiers, int x, int y) {
    events.push_back("move " + std::to_string(x) + "," + std::to_string(y));
  };
  surface.OnMouseUp = [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
    events.push_back("up " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
  };
  surface.OnDoubleClick = [&] { events.push_back("double"); };
  QTest::mousePress(&surface, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 6));
  QTest::mouseMove(&surface, QPoint(7, 8));
  QTest::mouseRelease(&surface, Qt::LeftButton, Qt::ShiftModifier, QPoint(7, 8));
  QTest::mouseDClick(&surface, Qt::RightButton, {}, QPoint(9, 9));
  const std::string shift = std::to_string(Qt::KeyboardModifiers(Qt::ShiftModifier).toInt());
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[0], "down 1 " + shift + " 5,6");
  EXPECT_EQ(events[1], "move 7,8");
  EXPECT_EQ(events[2], "up 1 7,8");
  EXPECT_NE(std::find(events.begin(), events.end(), "double"), events.end());
}

}  // namespace
}  // namespace mv::test
