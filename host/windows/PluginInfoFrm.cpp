#include "PluginInfoFrm.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include "FormFont.h"
#include "PluginManager.h"
#include "QtText.h"
#include "WindowPainting.h"

namespace mv {

TPluginInfoForm::TPluginInfoForm(TPluginManager* pluginManager, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      PluginManager(pluginManager) {
  setObjectName("PluginInfoForm");
  setWindowTitle("Плагины");
  setFixedSize(353, 328);
  QFont f = FormFont("MS Sans Serif", 11);
  f.setFixedPitch(true);
  setFont(f);

  Label1 = new QLabel("Загруженные плагины:", this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(8, 7, 118, 13);
  FitText(Label1);

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setGeometry(8, 24, 337, 113);
  ListBox1->setUniformItemSizes(true);
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);

  Label2 = new QLabel("Информация:", this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(8, 143, 69, 13);
  FitText(Label2);

  ValueListEditor1 = new QTableWidget(0, 2, this);
  ValueListEditor1->setObjectName("ValueListEditor1");
  ValueListEditor1->setGeometry(8, 160, 337, 129);
  ValueListEditor1->setHorizontalHeaderLabels({"Свойство", "Значение"});
  ValueListEditor1->verticalHeader()->setVisible(false);
  ValueListEditor1->verticalHeader()->setDefaultSectionSize(18);
  ValueListEditor1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  // The value column takes what the key column leaves, so no sideways scrolling is needed.
  ValueListEditor1->horizontalHeader()->setStretchLastSection(true);
  ValueListEditor1->horizontalHeader()->setHighlightSections(false);
  ValueListEditor1->setColumnWidth(0, 164);
  ValueListEditor1->setShowGrid(true);
  ValueListEditor1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ValueListEditor1->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

  Button1 = new QPushButton("OK", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(134, 296, 83, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  // The details follow the selection, whether it moves by mouse or by keyboard.
  connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] { ListBox1Click(); });
}

void TPluginInfoForm::FillList() {
  ListBox1->clear();
  if (!PluginManager) return;
  for (int i = 0; i < PluginManager->GetLoaderCount(); ++i)
    ListBox1->addItem(FromCp1251(PluginManager->GetLoader(i)->GetName()));
  for (int i = 0; i < PluginManager->GetFilterCount(); ++i)
    ListBox1->addItem(FromCp1251(PluginManager->GetFilter(i)->GetName()));
}

void TPluginInfoForm::AddRow(const QString& keyValue) {
  const qsizetype eq = keyValue.indexOf('=');
  const int row = ValueListEditor1->rowCount();
  ValueListEditor1->insertRow(row);
  ValueListEditor1->setItem(row, 0, new QTableWidgetItem(eq < 0 ? keyValue : keyValue.left(eq)));
  ValueListEditor1->setItem(row, 1, new QTableWidgetItem(eq < 0 ? QString() : keyValue.mid(eq + 1)));
}

void TPluginInfoForm::ListBox1Click() {
  const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
  if (selected.isEmpty() || !PluginManager) return;
  const int i = ListBox1->row(selected.front());
  const int loaders = PluginManager->GetLoaderCount();
  // The list may be older than the registry; a position past its end shows nothing.
  if (i >= loaders + PluginManager->GetFilterCount()) return;
  ValueListEditor1->setRowCount(0);
  MvPlugin* plugin = i < loaders ? static_cast<MvPlugin*>(PluginManager->GetLoader(i))
                                 : static_cast<MvPlugin*>(PluginManager->GetFilter(i - loaders));
  AddRow(i < loaders ? "Тип=Загрузчик" : "Тип=Фильтр");
  AddRow("Идентификатор=" + FromCp1251(plugin->GetIdentifier()));
  AddRow("Автор=" + FromCp1251(plugin->GetAuthor()));
  AddRow("Компания=" + FromCp1251(plugin->GetCompany()));
  AddRow("Права=" + FromCp1251(plugin->GetRights()));
  AddRow("Интернет=" + FromCp1251(plugin->GetWebAddress()));
  AddRow("Почта=" + FromCp1251(plugin->GetEmail()));
}

void TPluginInfoForm::paintEvent(QPaintEvent*) { DoPaint(); }

void TPluginInfoForm::DoPaint() {
  Bitmap picture(width(), height());
  const ButtonColours c = ButtonColoursOf(palette());
  DrawCornerGradient(picture, c.face, c.shadow, 5);
  PaintPicture(this, picture);
}

}  // namespace mv
