#include "CombineFrm.h"

#include <QEvent>
#include <QShowEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "FormFont.h"
#include "WindowPainting.h"

namespace mv {

TCombineForm::TCombineForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
  setObjectName("CombineForm");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(241, 83);
  setFont(FormFont("Tahoma", 11, FontWidth::Narrow));

  TrackBar = new QSlider(Qt::Horizontal, this);
  TrackBar->setObjectName("TrackBar");
  TrackBar->setGeometry(8, 8, 225, 25);
  TrackBar->setRange(0, 100);
  TrackBar->setValue(50);
  TrackBar->setTickInterval(5);
  TrackBar->setTickPosition(QSlider::TicksBelow);
  TrackBar->setPageStep(5);

  Label2 = new QLabel("Изображение №1", this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(8, 34, 97, 13);

  Label3 = new QLabel("Изображение №2", this);
  Label3->setObjectName("Label3");
  Label3->setGeometry(136, 34, 97, 13);
  Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  Label1 = new QLabel("Текущая вариация: 50/50", this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(8, 56, 131, 13);
  FitText(Label1);

  Button1 = new QPushButton("Применить", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(152, 54, 81, 21);

  connect(TrackBar, &QSlider::valueChanged, this, [this] { ReCombineImages(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

bool TCombineForm::event(QEvent* e) {
  // Another window took the focus: the window goes (WA_DeleteOnClose).
  if (e->type() == QEvent::WindowDeactivate) close();
  return QWidget::event(e);
}

void TCombineForm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!e->spontaneous()) {
    DoShowMe();
    activateWindow();
  }
}

void TCombineForm::DoShowMe() {
  if (!Services || Image < 0) return;
  // Moving the slider raises its change event; an equal position raises none.
  TrackBar->setValue(100 - Services->GetBlendRatio(Image));
}

void TCombineForm::ReCombineImages() {
  if (Image == -1) return;
  const int p = TrackBar->value();
  Label1->setText(QString("Текущая вариация: %1/%2").arg(p).arg(100 - p));
}

void TCombineForm::Button1Click() {
  if (!Services || Image < 0) return;
  // The re-blend may process window messages, and a deactivation there
  // schedules this window's deletion: touch no member after it starts.
  MvServices* services = Services;
  services->SetBlendRatio(Image, 100 - TrackBar->value());
  services->RefreshBoard();
}

void TCombineForm::paintEvent(QPaintEvent*) { DoPaint(); }

void TCombineForm::DoPaint() {
  Bitmap picture(width(), height());
  const ButtonColours c = ButtonColoursOf(palette());
  DrawRaisedFrame(picture, c.face, c.highlight, c.shadow);
  PaintPicture(this, picture);
}

}  // namespace mv
