// TPotDlg, the "Parameter Mode Setting" dialog of the Other menu: how pointer parameters of
// interface/class types and of other types are written, and what "void *" parameters become.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QPushButton;

namespace tqc::shell {

// A captioned group of radio buttons, one of which is chosen, laid out in columns.
class RadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent);
  int ItemIndex() const;  // -1 when none is chosen
  void SetItemIndex(int index);
  QStringList Items() const { return items_; }

 private:
  QButtonGroup* buttons_;
  QStringList items_;
};

class TPotDlg : public QDialog {
  Q_OBJECT

 public:
  // Item indexes of the groups.
  enum Mode { Normal = 0, Pointer = 1, Var = 2 };
  enum VoidPtr { VoidVar = 0, VoidPointer = 1 };

  explicit TPotDlg(QWidget* parent = nullptr);

  // Chooses the items for the current options; a Var bit wins over a Pointer bit.
  void Preselect(int varModeMask, int pointerModeMask, bool voidPtrAsPointer);
  // The options the chosen items stand for.
  int VarModeMask() const;
  int PointerModeMask() const;
  bool VoidPtrAsPointer() const;

  RadioGroup* Intf;
  RadioGroup* Other;
  RadioGroup* vot;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
};

}  // namespace tqc::shell
