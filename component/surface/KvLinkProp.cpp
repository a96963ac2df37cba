#include "KvLinkProp.h"

#include "KvError.h"
#include "KvFloatPanel.h"
#include "KvLinks.h"
#include "KvModel.h"
#include "KvResource.h"
#include "KvUndo.h"
#include "KvWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <utility>

TfmLinkProp::TfmLinkProp(TKvWorkArea* owner) : QDialog(owner), m_owner(owner) {
  using namespace KvResource;
  setWindowTitle(SLinkProperties);
  setModal(true);
  setSizeGripEnabled(false);

  laCaption = new QLabel(this);
  laCaption->setAlignment(Qt::AlignCenter);
  QFont captionFont = font();
  captionFont.setBold(true);
  captionFont.setPixelSize(13);
  laCaption->setFont(captionFont);
  laCaption->setGeometry(0, 0, DesignWidth, 25);

  QFont fieldFont = font();
  fieldFont.setPixelSize(13);
  laLeftField = new QLabel(this);
  laLeftField->setFont(fieldFont);
  laLeftField->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  laLeftField->move(75, 32);

  cbConditions = new QComboBox(this);
  cbConditions->addItems(KvLinkOperators());
  cbConditions->setEditable(false); // a join compares with one of the listed operators
  cbConditions->setGeometry(144, 32, 49, cbConditions->sizeHint().height());
  cbConditions->setFixedWidth(std::max(49, cbConditions->sizeHint().width()));

  laRightField = new QLabel(this);
  laRightField->setFont(fieldFont);
  laRightField->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  laRightField->move(200, 32);

  chLeftOuter = new QCheckBox(SIncludeAllLeft, this);
  chLeftOuter->setGeometry(0, 64, 169, chLeftOuter->sizeHint().height());
  chRightOuter = new QCheckBox(SIncludeAllRight, this);
  chRightOuter->setGeometry(182, 64, 147, chRightOuter->sizeHint().height());
  chRightOuter->setLayoutDirection(Qt::LeftToRight);

  buOK = new QPushButton(SOK, this);
  buOK->setGeometry(80, 96, 75, 25);
  buOK->setDefault(true);
  buOK->setAutoDefault(true);
  connect(buOK, &QPushButton::clicked, this, &TfmLinkProp::accept);
  buCancel = new QPushButton(SCancel, this);
  buCancel->setGeometry(195, 96, 75, 25);
  connect(buCancel, &QPushButton::clicked, this, &TfmLinkProp::reject);

  setTabOrder(buOK, buCancel);
  setTabOrder(buCancel, cbConditions);
  setTabOrder(cbConditions, chLeftOuter);
  setTabOrder(chLeftOuter, chRightOuter);

  resize(DesignWidth, DesignHeight);
  setFixedHeight(DesignHeight);
}

TKvLink* TfmLinkProp::CurrentLink() const {
  TKvLink* link = m_owner->CurrentLink();
  return m_owner->IsLink(link) ? link : nullptr;
}

void TfmLinkProp::FormShow() {
  using namespace KvResource;
  const TKvLink* link = CurrentLink();
  if (!link) throw EKvError(SInvalidLink);
  const TKvJoin* join = link->Join();
  const QString name1 = join->TableName(0);
  const QString name2 = join->TableName(1);
  laCaption->setText(SJoinTables + name1 + QLatin1Char(' ') + SAnd + QLatin1Char(' ') + name2);
  // Labels as high as the combo box, so the three read as one line.
  for (auto [label, text] : {std::pair{laLeftField, link->Item1()->Name()},
                             std::pair{laRightField, link->Item2()->Name()}}) {
    label->setText(text);
    label->adjustSize();
    label->resize(label->width(), cbConditions->height());
  }
  chLeftOuter->setText(SIncludeAllFrom + QLatin1Char(' ') + name1);
  chRightOuter->setText(SIncludeAllFrom + QLatin1Char(' ') + name2);
  chLeftOuter->setChecked(join->JoinType() == 1 || join->JoinType() == 3);
  chRightOuter->setChecked(join->JoinType() == 2 || join->JoinType() == 3);

  // An operator of loaded SQL outside the list is offered as it is, so OK keeps it.
  while (cbConditions->count() > KvLinkOperators().size())
    cbConditions->removeItem(cbConditions->count() - 1);
  if (link->OperatorIndex() >= 0 && link->OperatorIndex() < KvLinkOperators().size()) {
    cbConditions->setCurrentIndex(link->OperatorIndex());
  } else {
    cbConditions->addItem(link->OperatorText());
    cbConditions->setCurrentIndex(cbConditions->count() - 1);
  }

  auto boxWidth = [](QCheckBox* box) {
    return std::max(box->fontMetrics().horizontalAdvance(box->text()) + 20,
                    box->sizeHint().width());
  };
  const int left = boxWidth(chLeftOuter);
  const int right = boxWidth(chRightOuter);
  chLeftOuter->resize(left, chLeftOuter->height());
  chRightOuter->resize(right, chRightOuter->height());
  const int boxesNeed = 2 * std::max(left, right) + 28;
  const int fieldsNeed =
      2 * std::max(laLeftField->width(), laRightField->width()) + cbConditions->width() + 22;
  const int captionNeed = QFontMetrics(laCaption->font()).horizontalAdvance(laCaption->text()) + 22;
  m_minWidth = std::max(captionNeed, fieldsNeed);
  if (boxesNeed > m_minWidth) m_minWidth = boxesNeed;
  if (m_minWidth < LeastWidth) m_minWidth = LeastWidth;
  setMinimumWidth(m_minWidth);
  if (m_minWidth > width()) resize(m_minWidth, height());
  FormResize();
}

bool TfmLinkProp::FormCanResize(int newWidth, int newHeight) const {
  return newHeight == height() && newWidth >= m_minWidth;
}

void TfmLinkProp::FormResize() {
  const int w = width();
  const int combo = cbConditions->width();
  laCaption->setGeometry(0, 0, w, 25);
  laLeftField->move((w - combo) / 2 - 1 - laLeftField->width(), laLeftField->y());
  laRightField->move((w + combo) / 2 + 1, laRightField->y());
  cbConditions->move((w - combo) / 2, cbConditions->y());
  chLeftOuter->move(w / 2 - 4 - chLeftOuter->width(), chLeftOuter->y());
  chRightOuter->move(w / 2 + 4, chRightOuter->y());
  buOK->move(w / 2 - 20 - buOK->width(), buOK->y());
  buCancel->move(w / 2 + 20, buCancel->y());
}

void TfmLinkProp::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FormResize();
}

void TfmLinkProp::buOKClick() {
  TKvLink* link = CurrentLink();
  if (!link) return;
  TKvUndoStep step(m_owner->Owner(), KvResource::SUndoChangeLink.arg(link->GetHint()));
  const TKvModelJoin entry = KvFindModelJoin(link);
  int joinType = 0;
  if (chLeftOuter->isChecked() && chRightOuter->isChecked())
    joinType = 3;
  else if (chLeftOuter->isChecked())
    joinType = 1;
  else if (chRightOuter->isChecked())
    joinType = 2;
  link->Join()->SetJoinType(joinType);
  // The type belongs to the window pair: every condition between them gets it, and every link
  // between them shows it.
  for (const TKvLink* other : m_owner->Links())
    if (other->Join() == link->Join()) {
      const TKvModelJoin e = KvFindModelJoin(other);
      if (e.Def) e.Def->SetJoinType(TKvJoinType(KvModelJoinType(joinType, e.Reversed)));
      other->InvalidateRegion(0);
    }
  const int index = cbConditions->currentIndex();
  link->SetOperatorIndex(index < KvLinkOperators().size() ? index : -1);
  if (entry.Def) entry.Def->SetOperator(cbConditions->currentText());
}

int TfmLinkProp::exec() {
  FormShow();
  return QDialog::exec();
}

void TfmLinkProp::accept() {
  bool written = false;
  m_owner->Guard([&] {
    buOKClick();
    written = true;
  });
  if (written) QDialog::accept();
}
