#include "ConnectForm.h"

#include "DemoDialogs.h"
#include "DemoResource.h"
#include "FbDatabase.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

using namespace DemoResource;

TfmConnect::TfmConnect(QWidget* parent) : QDialog(parent) {
  setWindowTitle(SConnectCaption);
  setObjectName(QStringLiteral("fmConnect"));

  edDBFile = new QLineEdit;
  edDBFile->setMinimumWidth(193);
  buBrowse = new QPushButton(SBrowse);
  buBrowse->setToolTip(SBrowseHint);
  buBrowse->setFixedSize(23, 23);
  buBrowse->setAutoDefault(false);
  connect(buBrowse, &QPushButton::clicked, this, [this] { buBrowseClick(); });

  edUserName = new QLineEdit;
  // Upper case as typed, keeping the caret where it was.
  connect(edUserName, &QLineEdit::textEdited, this, [this](const QString& text) {
    const QString upper = text.toUpper();
    if (upper == text) return;
    const int caret = edUserName->cursorPosition();
    edUserName->setText(upper);
    edUserName->setCursorPosition(caret);
  });
  edPassword = new QLineEdit;
  edPassword->setEchoMode(QLineEdit::Password);
  edPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // '*'
  edRole = new QLineEdit;
  cbCharset = new QComboBox;
  cbCharset->addItems(SCharsets);
  cbCharset->setCurrentIndex(0);
  cbCharset->setMaxVisibleItems(12);

  rgDialect = new QGroupBox(SDialectGroup);
  rbDialect1 = new QRadioButton(SDialect1);
  rbDialect3 = new QRadioButton(SDialect3);
  rbDialect3->setChecked(true);
  auto* dialects = new QHBoxLayout(rgDialect);
  dialects->addWidget(rbDialect1);
  dialects->addWidget(rbDialect3);

  buOk = new QPushButton(SOK);
  buOk->setDefault(true);
  buCancel = new QPushButton(SCancel);
  auto* buttons = new QDialogButtonBox;
  buttons->addButton(buOk, QDialogButtonBox::AcceptRole);
  buttons->addButton(buCancel, QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* grid = new QGridLayout;
  grid->setColumnStretch(1, 1);
  int row = 0;
  auto addRow = [&](const QString& caption, QWidget* field, QWidget* extra = nullptr) {
    auto* label = new QLabel(caption);
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    if (extra) {
      auto* line = new QHBoxLayout;
      line->setSpacing(2);
      line->addWidget(field, 1);
      line->addWidget(extra);
      grid->addLayout(line, row, 1);
    } else {
      grid->addWidget(field, row, 1);
    }
    ++row;
  };
  addRow(SDatabaseFile, edDBFile, buBrowse);
  addRow(SUserName, edUserName);
  addRow(SPassword, edPassword);
  addRow(SRole, edRole);
  addRow(SCharset, cbCharset);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(rgDialect);
  layout->addStretch(1);
  auto* line = new QFrame;
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  layout->addWidget(line);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(edDBFile, buBrowse);
  setTabOrder(buBrowse, edUserName);
  setTabOrder(edUserName, edPassword);
  setTabOrder(edPassword, edRole);
  setTabOrder(edRole, cbCharset);
  setTabOrder(cbCharset, rbDialect1);
  setTabOrder(rbDialect1, rbDialect3);
  setTabOrder(rbDialect3, buOk);
  setTabOrder(buOk, buCancel);
  setMinimumWidth(330);
}

void TfmConnect::SelectCharset(const QString& value) {
  if (value.isEmpty()) {
    cbCharset->setCurrentIndex(0);
    return;
  }
  int index = cbCharset->findText(value, Qt::MatchExactly);
  if (index < 0) {
    cbCharset->addItem(value);
    index = cbCharset->count() - 1;
  }
  cbCharset->setCurrentIndex(index);
}

QString TfmConnect::Charset() const {
  return cbCharset->currentText();
}

int TfmConnect::Dialect() const {
  return rbDialect3->isChecked() ? 3 : 1;
}

void TfmConnect::LoadFrom(const TFbDatabase& database) {
  edDBFile->setText(database.DatabaseName());
  edUserName->setText(database.Param(SParamUserName));
  edPassword->setText(database.Param(SParamPassword));
  edRole->setText(database.Param(SParamRole));
  SelectCharset(database.Param(SParamCharset));
  (database.SQLDialect() == 3 ? rbDialect3 : rbDialect1)->setChecked(true);
}

TFbSettings TfmConnect::Settings(const TFbDatabase& database) const {
  // The lines go through a database object, which knows how parameters are written.
  TFbDatabase scratch;
  scratch.SetParams(database.Params());
  scratch.SetParam(SParamUserName, edUserName->text());
  scratch.SetParam(SParamPassword, edPassword->text());
  scratch.SetParam(SParamRole, edRole->text());
  const QString charset = Charset();
  scratch.SetParam(SParamCharset, charset == SNoCharset ? QString() : charset);
  return {edDBFile->text(), scratch.Params(), Dialect()};
}

namespace {
void Apply(const TFbSettings& settings, TFbDatabase& database) {
  database.Disconnect();
  database.SetSettings(settings);
  database.Connect();
}
} // namespace

void TfmConnect::ApplyTo(TFbDatabase& database) const {
  Apply(Settings(database), database);
}

void TfmConnect::buBrowseClick() {
  QFileDialog dlgOpen(this);
  dlgOpen.setAcceptMode(QFileDialog::AcceptOpen);
  dlgOpen.setFileMode(QFileDialog::ExistingFile);
  dlgOpen.setDefaultSuffix(SDatabaseSuffix);
  dlgOpen.setNameFilter(SDatabaseFilter);
  dlgOpen.setOption(QFileDialog::ReadOnly, false);
  if (!edDBFile->text().isEmpty()) dlgOpen.selectFile(edDBFile->text());
  if (RunModal(&dlgOpen) != QDialog::Accepted) return;
  const QStringList files = dlgOpen.selectedFiles();
  if (!files.isEmpty()) edDBFile->setText(files.first());
}

bool ShowConnectDialog(TFbDatabase* database, QWidget* parent, const TConnectRunner& runner) {
  if (!database) return false;
  // Freed in every case, also when connecting raises.
  auto dialog = std::make_unique<TfmConnect>(parent);
  dialog->LoadFrom(*database);
  if (RunModal(dialog.get()) != QDialog::Accepted) return false;
  const TFbSettings settings = dialog->Settings(*database);
  dialog.reset();
  const auto connect = [&] { Apply(settings, *database); };
  if (runner)
    runner(connect);
  else
    connect();
  return true;
}
