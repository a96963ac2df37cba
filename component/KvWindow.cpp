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
    : QFrame(parent), OnParserError(parser->OnParserError), m_selectParser(std::move(parser)),
      m_palette(this), m_style(this) {
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

  // Leaving a page needs nothing yet; the page shown reloads its editor.
  connect(m_pageControl, &QTabWidget::currentChanged, this, [this] { RefreshActiveEditor(); });

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
  // Conditions name the table as written: quoted where the dialect needs it.
  const TKvSQLScanner* scanner = m_selectParser->Scanner();
  const QString oldName = scanner->QuoteIdentifier(oldAliasOrName);
  const QString newName = scanner->QuoteIdentifier(table->AliasOrName());
  KvRenameQualifier(m_selectParser->WhereItems(), oldName, newName);
  KvRenameQualifier(m_selectParser->HavingItems(), oldName, newName);
  RefreshActiveEditor();
}

// --- SQL in and out ---

QString TCustomKvarta::SQL() const {
  return m_selectParser->GetSQL();
}

void TCustomKvarta::SetSQL(const QString& text) {
  Clear();
  // A syntax error either reaches OnParserError, and the surface shows what was read, or is
  // raised here with the surface still empty.
  m_selectParser->SetSQL(text);
  BuildSurface();
}

void TCustomKvarta::BuildSurface() {
  TKvTableDefs* defs = m_selectParser->TableDefs();
  for (int t = 0; t < defs->Count(); ++t) {
    TKvTableDef* def = defs->Items(t);
    // Columns written without a table over several tables stay without a window.
    if (def->TableName().isEmpty()) continue;
    const TKvDataSet* dataSet = nullptr;
    QStringList params;
    if (OnGetTableFields) OnGetTableFields(def->TableName(), dataSet, params);
    if (!dataSet) break;
    TKvTable* table = m_tableList->Add(def->TableName(), dataSet);
    if (!table) continue;
    if (table->TableName() != def->Alias()) {
      table->SetAlias(def->Alias());
      m_workArea->FitTableWidth(table);
    }
    TKvFieldDefs* fields = def->Fields();
    for (int i = 0; i < fields->Count();) {
      TKvFieldDef* field = fields->Items(i);
      TKvListItem* row = table->FindItem(field->Name());
      // A column the table lacks goes; "T.*" names no row but stays.
      if (field->Kind() == fkField && !row && field->Name() != QLatin1String("*")) {
        fields->Delete(i);
        continue;
      }
      if (row) row->Click(true);
      ++i;
    }
    defs->MakeAliasesUnique();
  }
  for (int t = 0; t < defs->Count(); ++t) {
    const TKvTableDef* def = defs->Items(t);
    if (def->Alias().isEmpty()) continue;
    const TKvJoinDefs* joins = def->Joins();
    for (int j = 0; j < joins->Count(); ++j) {
      const TKvJoinDef* join = joins->Items(j);
      TKvTable* table1 = m_tableList->FindTable(def->Alias());
      TKvTable* table2 = m_tableList->FindTable(join->JoinTable());
      if (!table1 || !table2 || join->Field().isEmpty()) continue;
      TKvListItem* item1 = table1->FindItem(join->Field());
      TKvListItem* item2 = table2->FindItem(join->JoinField());
      if (!item1 || !item2) continue;
      TKvLink* link = m_workArea->AddLink(table1, table2, item1, item2);
      if (!link) continue;
      // The window pair's join may run the other way round than this entry.
      const bool reversed = link->Join()->Table1() != table1;
      link->Join()->SetJoinType(KvModelJoinType(join->JoinType(), reversed));
    }
  }
  RefreshActiveEditor();
  m_workArea->InvalidateAll();
}

void TCustomKvarta::Clear() {
  m_selectParser->Clear();
  m_workArea->Clear();
  RefreshActiveEditor();
  m_workArea->InvalidateAll();
}

QString TCustomKvarta::Version() const {
  return KvResource::SVersion;
}

// --- word lists, operators, letter case ---

namespace {

bool DiffersFromDefault(const TKvWordList& list, const QString& defaults) {
  TKvWordList sorted;
  sorted.SetCommaText(defaults);
  return list.Text() != sorted.Text();
}

} // namespace

QStringList TCustomKvarta::Aggregates() const {
  return m_selectParser->Aggregates()->Words();
}

void TCustomKvarta::SetAggregates(const QStringList& words) {
  m_selectParser->Aggregates()->SetWords(words);
}

QStringList TCustomKvarta::Functions() const {
  return m_selectParser->Scanner()->Functions().Words();
}

void TCustomKvarta::SetFunctions(const QStringList& words) {
  m_selectParser->Scanner()->Functions().SetWords(words);
}

QStringList TCustomKvarta::Keywords() const {
  return m_selectParser->Scanner()->Keywords().Words();
}

void TCustomKvarta::SetKeywords(const QStringList& words) {
  m_selectParser->Scanner()->Keywords().SetWords(words);
}

bool TCustomKvarta::AggregatesStored() const {
  return DiffersFromDefault(*m_selectParser->Aggregates(), m_selectParser->GetAggregateList());
}

bool TCustomKvarta::FunctionsStored() const {
  const TKvSQLScanner* scanner = m_selectParser->Scanner();
  return DiffersFromDefault(scanner->Functions(), scanner->GetFunctionList());
}

bool TCustomKvarta::KeywordsStored() const {
  const TKvSQLScanner* scanner = m_selectParser->Scanner();
  return DiffersFromDefault(scanner->Keywords(), scanner->GetKeywordList());
}

TKvOperators& TCustomKvarta::Operators() const {
  return *m_selectParser->Operators();
}

void TCustomKvarta::SetOperators(const TKvOperators& operators) {
  if (&operators != m_selectParser->Operators()) m_selectParser->Operators()->Assign(operators);
}

TKvScriptFormat& TCustomKvarta::ScriptFormat() const {
  return *m_selectParser->ScriptFormat();
}

void TCustomKvarta::SetScriptFormat(const TKvScriptFormat& format) {
  m_selectParser->ScriptFormat()->Assign(format);
}

// --- editor pages ---

int TCustomKvarta::TabHeight() const {
  return m_pageControl->height();
}

void TCustomKvarta::SetTabHeight(int value) {
  if (value <= 170 || value == TabHeight()) return;
  QList<int> sizes = m_splitter->sizes();
  if (sizes.size() == 2) {
    const int total = sizes[0] + sizes[1];
    m_splitter->setSizes({std::max(0, total - value), value});
  }
  m_pageControl->setMinimumHeight(0);
  m_pageControl->resize(m_pageControl->width(), value);
}

void TCustomKvarta::SetVisibleTabs(TKvVisibleTabs value) {
  value &= kvtAll;
  if (value == m_visibleTabs) return;
  m_visibleTabs = value;
  const int active = m_pageControl->currentIndex();
  const TKvVisibleTab flags[] = {kvtCriterions, kvtSelection, kvtGroupCriterions, kvtSorting};
  for (int i = 3; i >= 0; --i)
    m_pageControl->setTabVisible(i, value & flags[i]);
  if (active >= 0 && !(value & flags[active])) {
    // The next visible tab after the old one; else the nearest before it.
    int next = -1;
    for (int i = active + 1; i < 4 && next < 0; ++i)
      if (value & flags[i]) next = i;
    for (int i = active - 1; i >= 0 && next < 0; --i)
      if (value & flags[i]) next = i;
    if (next >= 0) m_pageControl->setCurrentIndex(next);
  } else if (active >= 0) {
    m_pageControl->setCurrentIndex(active);
  }
  m_pageControl->setVisible(value != 0);
}
