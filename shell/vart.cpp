// The Parameter Mode dialog: three radio groups and OK/CANCEL. The window places it on the mouse
// pointer, preselects the current options and reads the chosen ones back after OK.
#include "vart.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tqc::shell {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns,
                       QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)), items_(items) {
  auto* grid = new QGridLayout(this);
  const int perColumn = (static_cast<int>(items.size()) + columns - 1) / std::max(columns, 1);
  for (int i = 0; i < items.size(); ++i) {
    auto* b = new QRadioButton(items.at(i), this);
    buttons_->addButton(b, i);
    grid->addWidget(b, i % perColumn, i / perColumn);
  }
}

int RadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void RadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* b = buttons_->button(index)) b->setChecked(true);
}

TPotDlg::TPotDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PotDlg"));
  setWindowTitle(QStringLiteral("Parameter Mode Setting"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  const QStringList modes = {QStringLiteral("Normal"), QStringLiteral("Pointer"),
                             QStringLiteral("Var")};
  Intf = new RadioGroup(QStringLiteral("Interface/class"), modes, 1, this);
  Intf->setObjectName(QStringLiteral("Intf"));
  Other = new RadioGroup(QStringLiteral("Other"), modes, 1, this);
  Other->setObjectName(QStringLiteral("Other"));
  vot = new RadioGroup(QStringLiteral("void *"), {QStringLiteral("var"), QStringLiteral("Pointer")},
                       2, this);
  vot->setObjectName(QStringLiteral("vot"));

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("CANCEL"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* groups = new QGridLayout;
  groups->addWidget(Intf, 0, 0);
  groups->addWidget(Other, 0, 1);
  groups->addWidget(vot, 1, 0, 1, 2);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  buttons->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(groups, 1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TPotDlg::Preselect(int varModeMask, int pointerModeMask, bool voidPtrAsPointer) {
  Intf->SetItemIndex(Normal);
  Other->SetItemIndex(Normal);
  if (pointerModeMask & 1) Other->SetItemIndex(Pointer);
  if (pointerModeMask & 2) Intf->SetItemIndex(Pointer);
  if (varModeMask & 1) Other->SetItemIndex(Var);
  if (varModeMask & 2) Intf->SetItemIndex(Var);
  vot->SetItemIndex(voidPtrAsPointer ? VoidPointer : VoidVar);
}

int TPotDlg::VarModeMask() const {
  return (Other->ItemIndex() == Var ? 1 : 0) + (Intf->ItemIndex() == Var ? 2 : 0);
}

int TPotDlg::PointerModeMask() const {
  return (Other->ItemIndex() == Pointer ? 1 : 0) + (Intf->ItemIndex() == Pointer ? 2 : 0);
}

bool TPotDlg::VoidPtrAsPointer() const { return vot->ItemIndex() == VoidPointer; }

}  // namespace tqc::shell
