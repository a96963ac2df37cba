#include "KvWindow.h"

#include "KvBitmaps.h"
#include "KvFloatPanel.h"
#include "KvLinks.h"
#include "KvParser.h"
#include "KvResource.h"

#include <QApplication>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

// --- TKvTableList ---

int TKvTableList::Count() const {
  return int(m_workArea->Tables().size());
}

TKvTable* TKvTableList::Items(int index) const {
  return m_workArea->Tables().value(index);
}

TKvTable* TKvTableList::Add(const QString& tableName, const TKvDataSet* dataSet) {
  return m_workArea->AddTable(tableName, dataSet);
}

TKvTable* TKvTableList::FindTable(const QString& name) const {
  for (TKvTable* table : m_workArea->Tables())
    if (table->AliasOrName() == name) return table;
  return nullptr;
}

// --- TCustomKvarta ---

TCustomKvarta::TCustomKvarta(QWidget* parent)
    : TCustomKvarta(parent, std::make_unique<TKvSelectParser>()) {}

TCustomKvarta::TCustomKvarta(QWidget* parent, std::unique_ptr<TKvSelectParser> parser)
    : QFrame(parent), m_selectParser(std::move(parser)), m_palette(this), m_style(this) {
  resize(300, 340);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

  m_images = {KvTransparentBitmap(QStringLiteral("TABLEBMP")),
              KvTransparentBitmap(QStringLiteral("FIELDBMP"))};

  m_splitter = new QSplitter(Qt::Vertical, this);
  m_splitter->setHandleWidth(5);
  m_splitter->setChildrenCollapsible(false);
  m_pageControl = new QTabWidget;
  m_pageControl->setObjectName(QStringLiteral("PageCtrl"));
  m_pageControl->setTabPosition(QTabWidget::North);
  for (const QString& caption : {KvResource::SPageCriterions, KvResource::SPageSelection,
                                 KvResource::SPageGroupCriterions, KvResource::SPageSorting}) {
    auto* page = new QWidget;
    m_pages.append(page);
    m_pageControl->addTab(page, caption);
  }

  m_workArea = new TKvWorkArea(this);
  m_workArea->OnFieldCheck = [this](TKvTable* table, TKvListItem* item) {
    FieldCheck(table, item);
  };
  m_workArea->OnTableAdded = [this](TKvWorkArea*, TKvTable* table) { TableAdded(table); };
  m_workArea->OnTableRemoved = [this](TKvWorkArea*, TKvTable* table) { TableRemoved(table); };
  m_workArea->OnAliasChanged = [this](TKvTable* table, const QString& old) {
    AliasChanged(table, old);
  };
  m_tableList = std::make_unique<TKvTableList>(m_workArea);

  m_splitter->addWidget(m_workArea);
  m_splitter->addWidget(m_pageControl);
  m_splitter->setStretchFactor(0, 1);
  m_splitter->setStretchFactor(1, 0);
  const int pageHeight = 170;
  m_splitter->setSizes(
      {std::max(0, height() - pageHeight - m_splitter->handleWidth()), pageHeight});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(frameWidth(), frameWidth(), frameWidth(), frameWidth());
  layout->setSpacing(0);
  layout->addWidget(m_splitter);
}

TCustomKvarta::~TCustomKvarta() {
  // The surface goes first, while parser, palette and style still exist.
  delete m_workArea;
  m_workArea = nullptr;
}

std::unique_ptr<TKvSelectParser> TCustomKvarta::CreateParser() const {
  return std::make_unique<TKvSelectParser>();
}

bool TCustomKvarta::DoAddRemoveTable(TKvTable* table, TKvAction action) {
  bool accept = true;
  if (OnAddRemoveTable) OnAddRemoveTable(this, table, action, accept);
  return accept;
}

bool TCustomKvarta::DoAddRemoveLink(TKvLink* link, TKvAction action) {
  bool accept = true;
  if (OnAddRemoveLink) OnAddRemoveLink(this, link, action, accept);
  return accept;
}

void TCustomKvarta::RefreshActiveEditor() {
  // The editors of the pages hook in here.
}

void TCustomKvarta::InvalidateSurface() {
  if (m_workArea) m_workArea->LookChanged();
}

void TCustomKvarta::InvalidateCriteria() {
  if (m_pages.size() > 2) {
    m_pages[0]->update();
    m_pages[2]->update();
  }
}

// --- keeping the model in step ---

void TCustomKvarta::FieldCheck(TKvTable* table, TKvListItem* item) {
  TKvTableDef* def = m_selectParser->TableDefs()->FindByAlias(table->AliasOrName());
  if (def) {
    TKvFieldDefs* fields = def->Fields();
    if (item->Checked()) {
      if (!fields->FindByName(item->Name())) {
        TKvFieldDef* field = fields->Add();
        field->SetName(item->Name());
        field->SetKind(fkField);
      }
    } else if (TKvFieldDef* field = fields->FindByName(item->Name())) {
      fields->Delete(field->Index());
    }
  }
  RefreshActiveEditor();
}

void TCustomKvarta::TableAdded(TKvTable* table) {
  TKvTableDefs* defs = m_selectParser->TableDefs();
  const QString name = table->AliasOrName();
  TKvTableDef* def = defs->FindByAlias(name);
  if (!def) def = defs->FindByName(name);
  if (!def) {
    def = defs->Add();
    def->SetTableName(table->TableName());
    def->SetAlias(name);
  }
  def->SetTableName(table->TableName());
  RefreshActiveEditor();
}

void TCustomKvarta::TableRemoved(TKvTable* table) {
  TKvTableDefs* defs = m_selectParser->TableDefs();
  if (TKvTableDef* def = defs->FindByAlias(table->AliasOrName())) defs->Delete(def->Index());
  RefreshActiveEditor();
}

void TCustomKvarta::AliasChanged(TKvTable* table, const QString& oldAliasOrName) {
  TKvTableDefs* defs = m_selectParser->TableDefs();
  TKvTableDef* def = oldAliasOrName == table->TableName() ? defs->FindByName(table->TableName())
                                                          : defs->FindByAlias(oldAliasOrName);
  if (def) def->SetAlias(table->AliasOrName());
  // The criteria panels and the selection grid rename the table in their texts here.
  RefreshActiveEditor();
}
