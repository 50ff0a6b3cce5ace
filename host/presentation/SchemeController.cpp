#include "SchemeController.h"

namespace mv {

BoardCanvas* TSchemeController::GetCanvas() { return View ? View->Canvas : nullptr; }

void TSchemeController::SetCanvas(BoardCanvas* canvas) {
  if (View) View->Canvas = canvas;
}

void TSchemeController::SetView(TSchemeView* view) { View = view; }

void TSchemeController::SetManager(TSchemeManager* manager) {
  Manager = manager;
  if (!manager) return;
  manager->OnProgressMin = OnProgressMin;
  manager->OnProgressMax = OnProgressMax;
  manager->OnProgressPosition = OnProgressPosition;
  manager->OnProgressVisible = OnProgressVisible;
  manager->OnStatusText = OnStatusText;
}

void TSchemeController::ImageAdded(int image) {
  if (View) View->ImageAdded(Manager, image);
}

void TSchemeController::ImagesDeleted() {
  if (View) View->ImagesDeleted(Manager);
}

void TSchemeController::ImageRestored(int image) {
  if (View) View->ImageRestored(Manager, image);
}

void TSchemeController::ShowBlendOptions() {
  if (View) View->ShowBlendOptions(Manager);
}

void TSchemeController::Paint() {
  if (View) View->Paint(Manager);
}

void TSchemeController::Resize(int horizontalPosition, int verticalPosition, TRect client) {
  if (View) View->Resize(Manager, horizontalPosition, verticalPosition, client);
}

void TSchemeController::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  if (View) View->MouseDown(Manager, button, shift, x, y);
}

void TSchemeController::MouseMove(Qt::KeyboardModifiers shift, int x, int y) {
  if (View) View->MouseMove(Manager, shift, x, y);
}

void TSchemeController::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  if (View) View->MouseUp(Manager, button, shift, x, y);
}

void TSchemeController::ShowFilterOptions() {
  if (View) View->ShowFilterOptions(Manager);
}

}  // namespace mv
