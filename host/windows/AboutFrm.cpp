#include "AboutFrm.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "AppIcon.h"
#include "FormFont.h"
#include "WindowPainting.h"

namespace mv {

namespace {

struct CreditLine {
  int top;
  const char* text;
  bool heading;
};

// The credits, from y = 56 to y = 216.
constexpr CreditLine kCredits[] = {
    {58, "Рабочий стол обработки изображений", false},
    {82, "Разработка:", true},
    {96, "проект Marvolen", false},
    {118, "Фильтры и форматы файлов:", true},
    {132, "подключаемые модули проекта Marvolen", false},
    {160, "© 2026, проект Marvolen", false},
    {182, "Все права на копирование и распространение", false},
    {196, "принадлежат проекту Marvolen.", false},
};

}  // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("AboutForm");
  setWindowTitle("О программе");
  setFixedSize(313, 257);
  setFont(FormFont("Tahoma", 11));

  imAppIcon = new QLabel(this);
  imAppIcon->setObjectName("imAppIcon");
  imAppIcon->setGeometry(16, 12, 32, 32);
  imAppIcon->setPixmap(QPixmap::fromImage(ApplicationIconImage(32)));

  const QFont title = FormFont("Tahoma", 29, FontWidth::Normal, true, true);
  auto makeTitle = [&](const char* name, int x, int y, const QColor& colour) {
    auto* label = new QLabel("Marvolen ", this);
    label->setObjectName(name);
    label->setGeometry(x, y, 257, 35);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(title);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    return label;
  };
  Label1 = makeTitle("Label1", 48, 8, Qt::black);
  Label2 = makeTitle("Label2", 46, 6, Qt::blue);
  Label2->raise();

  Label3 = new QLabel("Version 1.00", this);
  Label3->setObjectName("Label3");
  Label3->setGeometry(177, 40, 60, 13);
  FitText(Label3);

  QFont heading = font();
  heading.setBold(true);
  int n = 0;
  for (const CreditLine& line : kCredits) {
    auto* label = new QLabel(QString::fromUtf8(line.text), this);
    label->setObjectName(QString("Label%1").arg(4 + n++));
    label->setGeometry(8, line.top, 297, 14);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    if (line.heading) label->setFont(heading);
    Credits.push_back(label);
  }

  Button1 = new QPushButton("ОК", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(120, 224, 75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::paintEvent(QPaintEvent*) { DoPaint(); }

void TAboutForm::DoPaint() {
  Bitmap picture(width(), height());
  const ButtonColours c = ButtonColoursOf(palette());
  DrawCornerGradient(picture, c.face, c.shadow, 7);
  PaintPicture(this, picture);
}

}  // namespace mv
