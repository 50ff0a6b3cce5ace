#include "LayersFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QShowEvent>
#include <QLabel>
#include <QSignalBlocker>

#include "FormFont.h"
#include "QtText.h"
#include "WindowPainting.h"

namespace mv {

TLayersForm::TLayersForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("LayersForm");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(171, 120);
  setFont(FormFont("Tahoma", 11, FontWidth::Narrow));

  QFont bold = font();
  bold.setBold(true);

  Label1 = new QLabel("Редактируемый фильтр", this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(6, 6, 141, 13);
  Label1->setFont(bold);
  FitText(Label1);

  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setEditable(false);
  ComboBox1->setGeometry(6, 22, 161, 21);

  Label2 = new QLabel("Активные слои", this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(8, 48, 88, 13);
  Label2->setFont(bold);
  FitText(Label2);

  const char* names[] = {"Применить к слою Red", "Применить к слою Green", "Применить к слою Blue"};
  QCheckBox** boxes[] = {&CheckBox1, &CheckBox2, &CheckBox3};
  for (int n = 0; n < 3; ++n) {
    *boxes[n] = new QCheckBox(QString::fromUtf8(names[n]), this);
    (*boxes[n])->setObjectName(QString("CheckBox%1").arg(n + 1));
    (*boxes[n])->setGeometry(16, 64 + 18 * n, 153, 17);
  }

  // Only the user's changes count: `clicked` is not raised when DoComboBoxChange
  // sets a box from the stored mask, so showing another entry writes nothing
  // and refreshes nothing.
  connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
  connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(); });
  connect(CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(); });
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { DoComboBoxChange(); });
}

bool TLayersForm::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::WindowActivate:
      // The list is filled once: the window lives for one activation only.
      if (!activated_) {
        activated_ = true;
        DoActivate();
      }
      break;
    case QEvent::WindowDeactivate:
      // Another window took the focus: the window goes (WA_DeleteOnClose).
      close();
      break;
    default:
      break;
  }
  return QWidget::event(e);
}

void TLayersForm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  activateWindow();
}

void TLayersForm::DoActivate() {
  if (!Services || Image < 0) return;
  {
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->clear();
    unsigned count = 0;
    int* indexes = Services->GetImageFilterIndexes(Image, &count);
    for (unsigned k = 0; k < count; ++k) {
      MvFilter* filter = Services->GetFilter(indexes[k]);
      ComboBox1->addItem(filter ? FromCp1251(filter->GetName()) : QString());
    }
    delete[] indexes;
    ComboBox1->setCurrentIndex(count > 0 ? 0 : -1);
  }
  DoComboBoxChange();
}

void TLayersForm::DoComboBoxChange() {
  const int k = ComboBox1->currentIndex();
  if (!Services || Image < 0 || k < 0) return;
  const std::uint8_t mask = Services->GetFilterChannels(Image, k);
  QCheckBox* boxes[] = {CheckBox1, CheckBox2, CheckBox3};
  for (int bit = 0; bit < 3; ++bit) boxes[bit]->setChecked((mask >> bit) & 1);
}

void TLayersForm::ChannelClick(int bit, QCheckBox* box) {
  const int k = ComboBox1->currentIndex();
  if (!Services || Image < 0 || k < 0) return;
  const std::uint8_t old = Services->GetFilterChannels(Image, k);
  const std::uint8_t own = static_cast<std::uint8_t>(1u << bit);
  // Only the three channel bits are ever written.
  std::uint8_t mask = static_cast<std::uint8_t>(old & MV_CHANNEL_ALL & ~own);
  if (box->isChecked()) mask |= own;
  // The chain run may process window messages, and a deactivation there
  // schedules this window's deletion: touch no member after it starts.
  MvServices* services = Services;
  services->SetFilterChannels(Image, k, mask);
  services->RefreshBoard();
}

void TLayersForm::paintEvent(QPaintEvent*) { DoPaint(); }

void TLayersForm::DoPaint() {
  Bitmap picture(width(), height());
  const ButtonColours c = ButtonColoursOf(palette());
  DrawRaisedFrame(picture, c.face, c.highlight, c.shadow);
  PaintPicture(this, picture);
}

}  // namespace mv
