#include "ImageViewFrm.h"

#include <climits>

#include <QGuiApplication>
#include <QPainter>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>

#include "FormFont.h"

namespace mv {

TPictureControl::TPictureControl(QWidget* parent) : QWidget(parent) {
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
}

void TPictureControl::SetPicture(QImage picture) {
  picture_ = std::move(picture);
  if (autoSize_) resize(picture_.size());
  updateGeometry();
  update();
}

void TPictureControl::SetAutoSize(bool on) {
  autoSize_ = on;
  if (autoSize_) resize(picture_.size());
}

void TPictureControl::SetCenter(bool on) {
  center_ = on;
  update();
}

QPoint TPictureControl::PictureOrigin() const {
  if (!center_) return QPoint(0, 0);
  return QPoint((width() - picture_.width()) / 2, (height() - picture_.height()) / 2);
}

void TPictureControl::paintEvent(QPaintEvent* e) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.setClipRegion(e->region());
  painter.drawImage(PictureOrigin(), picture_);
}

TImageViewForm::TImageViewForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
  setObjectName("ImageViewForm");
  setWindowTitle("Просмотр изображения");
  setFont(FormFont("MS Sans Serif", 11));
  setSizeGripEnabled(false);

  ScrollBox = new QScrollArea(this);
  ScrollBox->setObjectName("ScrollBox");
  // A sunken border of exactly 2 pixels, so picture + 4 fits without scroll bars.
  ScrollBox->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  ScrollBox->setLineWidth(2);
  ScrollBox->setBackgroundRole(QPalette::Button);
  ScrollBox->setWidgetResizable(false);

  Image = new TPictureControl;
  Image->setObjectName("Image");
  ScrollBox->setWidget(Image);

  resize(145, 160);
}

void TImageViewForm::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  ScrollBox->setGeometry(rect());
}

void TImageViewForm::SetPicture(QImage picture, QSize desktop) {
  Image->SetPicture(std::move(picture));
  const QSize& size = Image->Picture().size();
  resize(size.width() + 4, size.height() + 4);
  // Before the window is shown its frame is not known; the client size stands for it.
  const QSize outer = frameGeometry().size();
  if (outer.width() > desktop.width() || outer.height() > desktop.height()) {
    // Never larger than the desktop, also where no window manager maximises.
    resize(desktop.boundedTo(this->size()));
    setWindowState(windowState() | Qt::WindowMaximized);
    return;
  }
  setMinimumSize(this->size());
  Image->SetAutoSize(false);
  ScrollBox->setWidgetResizable(true);
  Image->SetCenter(true);
}

void TImageViewForm::SetPicture(QImage picture) {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  SetPicture(std::move(picture), s ? s->availableGeometry().size() : QSize(INT_MAX, INT_MAX));
}

void TImageViewForm::SetPicture(const Bitmap& picture) { SetPicture(picture.ToImage()); }

}  // namespace mv
