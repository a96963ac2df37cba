#include "AboutForm.h"

#include "DemoDialogs.h"
#include "DemoResource.h"
#include "KvBitmaps.h"
#include "KvResource.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

using namespace DemoResource;

TfmAbout::TfmAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle(SAboutCaption);
  setObjectName(QStringLiteral("fmAbout"));

  auto* panel = new QFrame;
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setFrameShadow(QFrame::Sunken);
  imLogo = new QLabel;
  imLogo->setPixmap(KvBitmap(QStringLiteral("MAINICON"), devicePixelRatioF()));
  imLogo->setFixedSize(32, 32);
  laTitle = new QLabel(SAboutTitle);
  QFont bold = laTitle->font();
  bold.setFamily(QStringLiteral("Arial"));
  bold.setPointSize(10);
  bold.setBold(true);
  laTitle->setFont(bold);
  laTitle->setAlignment(Qt::AlignCenter);
  laInfo = new QLabel(SAboutInfo.arg(KvResource::SVersion, QString::fromLatin1(qVersion())));
  laInfo->setAlignment(Qt::AlignCenter);
  laInfo->setWordWrap(true);

  auto* head = new QHBoxLayout;
  head->addWidget(imLogo, 0, Qt::AlignTop);
  head->addWidget(laTitle, 1);
  head->addSpacing(32);
  auto* inner = new QVBoxLayout(panel);
  inner->addLayout(head);
  inner->addSpacing(8);
  inner->addWidget(laInfo);
  inner->addStretch(1);

  buOK = new QPushButton(SOK);
  buOK->setDefault(true);
  auto* buttons = new QDialogButtonBox;
  buttons->addButton(buOK, QDialogButtonBox::AcceptRole);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(panel, 1);
  layout->addWidget(buttons);
  resize(417, 231);
}

void ShowAboutBox(QWidget* parent) {
  auto box = std::make_unique<TfmAbout>(parent);
  RunModal(box.get());
}
