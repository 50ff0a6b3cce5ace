// The full-size view of one node's current image: a resizable dialog whose
// scrolling panel holds the picture. The caller ("Просмотр изображения")
// creates it, hands it the picture with SetPicture, shows it modally with
// exec() and destroys it afterwards.
#pragma once

#include <QDialog>
#include <QImage>

#include "Bitmap.h"

class QScrollArea;

namespace mv {

/// The picture control inside the view: shows one image at (0, 0) while it
/// sizes itself to it, or centred on the face colour once it fills its panel.
class TPictureControl : public QWidget {
  Q_OBJECT

 public:
  explicit TPictureControl(QWidget* parent = nullptr);

  /// Shares `picture` (no pixel copy) and, while AutoSize is on, takes its size.
  void SetPicture(QImage picture);
  const QImage& Picture() const { return picture_; }
  /// On: the control is exactly as large as its picture. Off: its panel sizes it.
  void SetAutoSize(bool on);
  bool AutoSize() const { return autoSize_; }
  /// Draw the picture centred in the control instead of at (0, 0).
  void SetCenter(bool on);
  bool Center() const { return center_; }
  /// Where the picture is drawn, in the control's coordinates.
  QPoint PictureOrigin() const;

  QSize sizeHint() const override { return picture_.size(); }
  QSize minimumSizeHint() const override { return picture_.size(); }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  QImage picture_;
  bool autoSize_ = true;
  bool center_ = false;
};

class TImageViewForm : public QDialog {
  Q_OBJECT

 public:
  explicit TImageViewForm(QWidget* parent = nullptr);

  QScrollArea* ScrollBox;
  TPictureControl* Image;

  /// Puts the picture in and sizes the window for it: client size = picture
  /// + 4 each way (the panel's border is 2 pixels). A window then larger than
  /// `desktop` will open maximised with scroll bars; otherwise the present size
  /// becomes the minimum size and the picture fills the panel, centred, so
  /// enlarging the window keeps it in the middle of the face-coloured
  /// background. Call once, before exec().
  void SetPicture(QImage picture, QSize desktop);
  /// The same against the available area of the window's screen.
  void SetPicture(QImage picture);
  /// The same for a bitmap (pixel (x, y) of the picture = pixel (x, y) of the bitmap).
  void SetPicture(const Bitmap& picture);

 protected:
  void resizeEvent(QResizeEvent* e) override;
};

}  // namespace mv
