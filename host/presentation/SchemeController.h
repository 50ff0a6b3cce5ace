// The seam between the main window and the scheme view.
//
// Every board event and every signal that the scheme has changed goes to the
// controller, which calls the view's operation of the same name with the
// scheme model as the scheme to work on. Its second task is to carry the main
// window's five progress and status notifications into the model.
//
// Ownership: the controller owns nothing. The view, the model and the canvas
// are lent and must outlive every call into it.
#pragma once

#include <Qt>

#include "SchemeManager.h"
#include "SchemeView.h"

namespace mv {

class TSchemeController {
 public:
  TSchemeController() = default;
  virtual ~TSchemeController() = default;
  TSchemeController(const TSchemeController&) = delete;
  TSchemeController& operator=(const TSchemeController&) = delete;

  // ---- virtual operations, in slot order -----------------------------------
  /// The view's board canvas; null without a view.
  virtual BoardCanvas* GetCanvas();
  /// The view's Canvas := canvas; ignored without a view.
  virtual void SetCanvas(BoardCanvas* canvas);
  virtual void SetView(TSchemeView* view);
  /// Manager := manager; a model also receives copies of the five
  /// notifications as they stand now (set them first).
  virtual void SetManager(TSchemeManager* manager);
  // The rest forward to the view with Manager as the scheme, and do nothing
  // without a view.
  virtual void ImageAdded(int image);
  virtual void ImagesDeleted();
  virtual void ImageRestored(int image);
  virtual void ShowBlendOptions();
  virtual void Paint();
  virtual void Resize(int horizontalPosition, int verticalPosition, TRect client);
  virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  virtual void MouseMove(Qt::KeyboardModifiers shift, int x, int y);
  virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  virtual void ShowFilterOptions();

  // ---- fields ----------------------------------------------------------------
  TSchemeView* View = nullptr;        // not owned
  TSchemeManager* Manager = nullptr;  // not owned
  IntNotify OnProgressMin;
  IntNotify OnProgressMax;
  IntNotify OnProgressPosition;
  BoolNotify OnProgressVisible;
  TextNotify OnStatusText;
};

}  // namespace mv
