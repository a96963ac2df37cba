#include "KvWindow.h"

#include "KvBitmaps.h"
#include "KvError.h"
#include "KvFloatPanel.h"
#include "KvLinks.h"
#include "KvMessages.h"
#include "KvParser.h"
#include "KvResource.h"

#include <QAction>
#include <QApplication>
#include <QDataStream>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QTabWidget>
#include <QUndoStack>
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
  connect(m_pageControl, &QTabWidget::currentChanged, this, [this] {
    try {
      RefreshActiveEditor();
    } catch (...) {
      HandleException();
    }
  });

  m_undoStack = new QUndoStack(this);
  m_undoAction = new QAction(KvResource::SUndoAction, this);
  m_undoAction->setShortcut(QKeySequence::Undo);
  m_redoAction = new QAction(KvResource::SRedoAction, this);
  m_redoAction->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  for (QAction* action : {m_undoAction, m_redoAction}) {
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
  }
  connect(m_undoAction, &QAction::triggered, this, &TCustomKvarta::Undo);
  connect(m_redoAction, &QAction::triggered, this, &TCustomKvarta::Redo);
  connect(m_undoStack, &QUndoStack::indexChanged, this, [this] {
    UpdateUndoActions();
    if (OnChange) OnChange(this);
  });
  connect(m_undoStack, &QUndoStack::cleanChanged, this, &TCustomKvarta::UpdateUndoActions);
  UpdateUndoActions();

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
  // The surface goes first, while parser, palette and style still exist; a step still open
  // (a gesture) saves nothing any more.
  m_destroying = true;
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

// --- undo and redo ---

void TCustomKvarta::UpdateUndoActions() {
  const bool shown = isVisible();
  auto update = [](QAction* action, const QString& verb, const QString& step, bool enabled) {
    action->setText(step.isEmpty() ? verb : verb + QLatin1Char(' ') + step);
    action->setEnabled(enabled);
  };
  update(m_undoAction, KvResource::SUndoAction, m_undoStack->undoText(),
         shown && m_undoStack->canUndo());
  update(m_redoAction, KvResource::SRedoAction, m_undoStack->redoText(),
         shown && m_undoStack->canRedo());
}

void TCustomKvarta::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  UpdateUndoActions();
}

void TCustomKvarta::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  UpdateUndoActions();
}

void TCustomKvarta::Undo() {
  m_workArea->EndGesture();
  if (m_stepDepth > 0) return; // in the middle of a change
  try {
    m_undoStack->undo();
  } catch (...) {
    HandleException();
  }
}

void TCustomKvarta::Redo() {
  m_workArea->EndGesture();
  if (m_stepDepth > 0) return;
  try {
    m_undoStack->redo();
  } catch (...) {
    HandleException();
  }
}

std::shared_ptr<const TKvDesignState> TCustomKvarta::SnapshotState() {
  const TKvDesignState* last = m_lastState.get();
  auto state = std::make_shared<TKvDesignState>();
  state->Model = KvSaveModel(*m_selectParser, last ? &last->Model : nullptr,
                             [this](QDataStream& out) { SaveDialectState(out); });
  state->Surface = m_workArea->SaveState(last ? &last->Surface : nullptr);
  if (last && state->SameAs(*last)) return m_lastState;
  m_lastState = state;
  return m_lastState;
}

TKvDesignState TCustomKvarta::SaveState() const {
  TKvDesignState state;
  state.Model =
      KvSaveModel(*m_selectParser, nullptr, [this](QDataStream& out) { SaveDialectState(out); });
  state.Surface = m_workArea->SaveState();
  return state;
}

void TCustomKvarta::ApplyState(const std::shared_ptr<const TKvDesignState>& target,
                               const TKvDesignState& other) {
  {
    const QScopedValueRollback<bool> restoring(m_restoring, true);
    KvLoadModel(*m_selectParser, target->Model, [this](QDataStream& in) { LoadDialectState(in); });
    m_workArea->RestoreState(target->Surface, other.Surface);
    m_lastState = target;
  }
  RefreshActiveEditor();
}

void TCustomKvarta::RestoreState(const TKvDesignState& target, const TKvDesignState& other) {
  ApplyState(std::make_shared<const TKvDesignState>(target), other);
}

void TCustomKvarta::SaveDialectState(QDataStream&) const {}

void TCustomKvarta::LoadDialectState(QDataStream&) {}

void TCustomKvarta::HandleException() noexcept {
  QString message;
  try {
    throw;
  } catch (const EKvError& error) {
    message = error.Message();
  } catch (const std::exception& error) {
    message = QString::fromLocal8Bit(error.what());
  } catch (...) {
    message = KvResource::SUnexpectedError;
  }
  try {
    if (OnError)
      OnError(this, message);
    else
      KvShowError(this, message);
  } catch (...) {
    // The report itself failed: there is nobody left to tell.
  }
}

// --- model tables ---

TKvTableDef* TCustomKvarta::ModelTable(const QString& aliasOrName) const {
  return m_selectParser->TableDefs()->FindByAliasOrName(aliasOrName);
}

TKvTableDef* TCustomKvarta::ModelTable(const TKvTable* table) const {
  return table ? ModelTable(table->AliasOrName()) : nullptr;
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
  if (TKvTableDef* def = ModelTable(table)) {
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
  TKvTableDef* def = ModelTable(table);
  if (!def) {
    // The alias first: a new table whose alias follows its name would take the joins of the
    // table already known by that name.
    def = m_selectParser->TableDefs()->Add();
    def->SetAlias(table->AliasOrName());
    def->SetTableName(table->TableName());
  }
  def->SetTableName(table->TableName());
  RefreshActiveEditor();
}

void TCustomKvarta::TableRemoved(TKvTable* table) {
  if (TKvTableDef* def = ModelTable(table)) m_selectParser->TableDefs()->Delete(def->Index());
  RefreshActiveEditor();
}

void TCustomKvarta::AliasChanged(TKvTable* table, const QString& oldAliasOrName) {
  if (TKvTableDef* def = ModelTable(oldAliasOrName)) def->SetAlias(table->AliasOrName());
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
  TKvUndoStep step(this, KvResource::SUndoEditSQL);
  // Windows of tables that stay keep their place: the surface as it was is the layout.
  const TKvSurfaceState layout = m_workArea->SaveState();
  Clear();
  // A syntax error either reaches OnParserError, and the surface shows what was read, or is
  // raised here, and the step puts back what there was.
  m_selectParser->SetSQL(text);
  BuildSurface(&layout);
}

void TCustomKvarta::BuildSurface(const TKvSurfaceState* layout) {
  TKvTableDefs* defs = m_selectParser->TableDefs();
  QList<TKvTable*> made;
  for (int t = 0; t < defs->Count(); ++t) {
    TKvTableDef* def = defs->Items(t);
    // Columns written without a table over several tables stay without a window.
    if (def->TableName().isEmpty()) continue;
    const TKvDataSet* dataSet = nullptr;
    QStringList params;
    if (OnGetTableFields) OnGetTableFields(def->TableName(), dataSet, params);
    if (!dataSet) break;
    // The window takes the model table's identity, so that it finds that one and no other.
    const QString key = def->AliasOrName();
    TKvTable* table = m_workArea->AddTableAs(def->TableName(),
                                             key == def->TableName() ? QString() : key, dataSet);
    if (!table) continue;
    made << table;
    TKvFieldDefs* fields = def->Fields();
    for (int i = 0; i < fields->Count(); ++i) {
      // A column the table lacks stays in the model (the server has the last word on it).
      if (TKvListItem* row = table->FindItem(fields->Items(i)->Name())) row->Click(true);
    }
    defs->MakeAliasesUnique();
  }
  for (int t = 0; t < defs->Count(); ++t) {
    const TKvTableDef* def = defs->Items(t);
    TKvTable* table1 = m_workArea->TableByKey(def->AliasOrName());
    if (!table1) continue;
    const TKvJoinDefs* joins = def->Joins();
    for (int j = 0; j < joins->Count(); ++j) {
      const TKvJoinDef* join = joins->Items(j);
      TKvTable* table2 = m_workArea->TableByKey(join->JoinTable());
      if (!table2 || join->Field().isEmpty()) continue;
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
  if (layout) m_workArea->KeepLayout(*layout, made);
  RefreshActiveEditor();
  m_workArea->InvalidateAll();
}

void TCustomKvarta::Clear() {
  TKvUndoStep step(this, KvResource::SUndoClear);
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
