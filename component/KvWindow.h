#pragma once

// The designer component: owns the query parser, the design surface and the editor pages, and
// keeps them in step.

#include "KvParser.h"
#include "KvStyles.h"
#include "KvUndo.h"

#include <QFrame>
#include <QList>
#include <QPixmap>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QDataStream;
class QMimeData;
class QSplitter;
class QTabWidget;
class QUndoStack;
class TKvDataSet;
class TKvLink;
class TKvListItem;
class TKvTable;
class TKvWorkArea;
enum TDragState : int;

enum TKvAction : std::uint8_t { kvaAdd, kvaRemove };

// The editor pages that show a tab (a set of these bits).
enum TKvVisibleTab : std::uint8_t {
  kvtCriterions = 1,
  kvtSelection = 2,
  kvtGroupCriterions = 4,
  kvtSorting = 8
};
using TKvVisibleTabs = std::uint8_t;
inline constexpr TKvVisibleTabs kvtAll =
    kvtCriterions | kvtSelection | kvtGroupCriterions | kvtSorting;

using TGetTableFieldsEvent = std::function<void(const QString& nameOfTable,
                                                const TKvDataSet*& dataSet, QStringList& params)>;
using TAddRemoveTableEvent =
    std::function<void(QObject* sender, TKvTable* table, TKvAction action, bool& accept)>;
using TAddRemoveLinkEvent =
    std::function<void(QObject* sender, TKvLink* link, TKvAction action, bool& accept)>;
using TEnterProcParameter =
    std::function<void(QObject* sender, TKvTable* sProcedure, TKvListItem* listItem)>;
// Drags over the surface that come from other controls; points in the component's coordinates.
using TKvDragOverEvent = std::function<void(QObject* sender, QObject* source, const QMimeData* data,
                                            int x, int y, TDragState state, bool& accept)>;
using TKvDragDropEvent =
    std::function<void(QObject* sender, QObject* source, const QMimeData* data, int x, int y)>;
using TKvEndDragEvent = std::function<void(QObject* sender, QObject* target, int x, int y)>;
using TKvStartDragEvent = std::function<void(QObject* sender)>;
// An error raised while the component handled the user's input, with its message.
using TKvErrorEvent = std::function<void(QObject* sender, const QString& message)>;
using TKvNotifyEvent = std::function<void(QObject* sender)>;

// The table windows of a component, topmost first.
class TKvTableList {
public:
  explicit TKvTableList(TKvWorkArea* workArea) : m_workArea(workArea) {}
  int Count() const;
  TKvTable* Items(int index) const;
  TKvTable* operator[](int index) const { return Items(index); }
  // Puts a table on the surface; nullptr when the host refused it.
  TKvTable* Add(const QString& tableName, const TKvDataSet* dataSet);
  TKvTable* FindTable(const QString& name) const;

private:
  TKvWorkArea* m_workArea;
};

class TCustomKvarta : public QFrame {
  Q_OBJECT
public:
  explicit TCustomKvarta(QWidget* parent = nullptr);
  ~TCustomKvarta() override;

  // A new parser of the component's dialect. A constructor cannot reach an override, so
  // derived components hand their parser to the protected constructor; this stays the
  // public way to ask for one.
  virtual std::unique_ptr<TKvSelectParser> CreateParser() const;

  TKvSelectParser* SelectParser() const { return m_selectParser.get(); }
  TKvWorkArea* WorkArea() const { return m_workArea; }
  TKvTableList& TableList() { return *m_tableList; }
  QTabWidget* PageControl() const { return m_pageControl; }
  QSplitter* Splitter() const { return m_splitter; }
  QWidget* Page(int index) const { return m_pages.value(index); }
  // 16 x 16 images: 0 table, 1 field.
  const QList<QPixmap>& Images() const { return m_images; }

  TKvPalette& Palette() { return m_palette; }
  const TKvPalette& Palette() const { return m_palette; }
  void SetPalette(const TKvPalette& value) { m_palette.Assign(value); }
  TKvStyle& Style() { return m_style; }
  const TKvStyle& Style() const { return m_style; }
  void SetStyle(const TKvStyle& value) { m_style.Assign(value); }
  TKvOptions Options() const { return m_options; }
  // Only stored: readers use the value the next time they paint or handle input.
  void SetOptions(TKvOptions value) { m_options = value; }

  // The statement: written from the model on reading; on writing, read into the model, which
  // the surface then shows (tables through OnGetTableFields, links from the joins). A syntax
  // error goes to OnParserError when set, else it is raised (the surface stays empty then).
  QString SQL() const;
  void SetSQL(const QString& text);
  // Empties model, surface and editors.
  void Clear();

  // Kept for hosts that set them: About reads empty, the version is fixed.
  QString About() const { return QString(); }
  void SetAbout(const QString&) {}
  QString Version() const;
  void SetVersion(const QString&) {}

  // Word lists of the parser and its tokenizer; writing copies them.
  QStringList Aggregates() const;
  void SetAggregates(const QStringList& words);
  QStringList Functions() const;
  void SetFunctions(const QStringList& words);
  QStringList Keywords() const;
  void SetKeywords(const QStringList& words);
  // Whether a list differs from the dialect's own (a form would store it then).
  bool AggregatesStored() const;
  bool FunctionsStored() const;
  bool KeywordsStored() const;
  TKvOperators& Operators() const;
  void SetOperators(const TKvOperators& operators);
  TKvScriptFormat& ScriptFormat() const;
  void SetScriptFormat(const TKvScriptFormat& format);

  // Height of the editor pages (values of 170 or less are ignored) and which tabs show.
  int TabHeight() const;
  void SetTabHeight(int value);
  TKvVisibleTabs VisibleTabs() const { return m_visibleTabs; }
  void SetVisibleTabs(TKvVisibleTabs value);

  // Bracket a change of the Operators list for the condition editors.
  virtual void DetachOperators() {}
  virtual void AttachOperators() {}

  // Whether the change may happen: the host may refuse through its events.
  bool DoAddRemoveTable(TKvTable* table, TKvAction action);
  bool DoAddRemoveLink(TKvLink* link, TKvAction action);

  // Reloads the editor of the active page after a change of the model.
  virtual void RefreshActiveEditor();

  // --- undo and redo ---
  // One stack per component, unlimited by default. Changes are put on it by TKvUndoStep; a host
  // may clear it (after loading a file) and mark it clean (after saving).
  QUndoStack* UndoStack() const { return m_undoStack; }
  // "Undo <step>" and "Redo <step>" with Ctrl+Z, and Ctrl+Shift+Z or Ctrl+Y, working while the
  // focus is inside the component; enabled while there is something to undo or redo and the
  // component shows. A host puts these same actions into its menu.
  QAction* UndoAction() const { return m_undoAction; }
  QAction* RedoAction() const { return m_redoAction; }
  void Undo();
  void Redo();
  // Model and surface as undo saves them; RestoreState shows `target` where it differs from
  // `other` (see TKvWorkArea::RestoreState).
  TKvDesignState SaveState() const;
  void RestoreState(const TKvDesignState& target, const TKvDesignState& other);

  // The model table of a window: the one whose AliasOrName is the window's AliasOrName (the
  // window's identity). Every operation finds it this way.
  TKvTableDef* ModelTable(const QString& aliasOrName) const;
  TKvTableDef* ModelTable(const TKvTable* table) const;

  // Reports the exception being handled (call inside a catch block): through OnError when
  // assigned, else in an error message box. The component's own event handlers end here, so no
  // exception leaves them.
  void HandleException() noexcept;

  // Repaints what palette and styles draw.
  void InvalidateSurface();
  void InvalidateCriteria();

  TGetTableFieldsEvent OnGetTableFields;
  TAddRemoveTableEvent OnAddRemoveTable;
  TAddRemoveLinkEvent OnAddRemoveLink;
  TEnterProcParameter OnEnterProcParameter;
  TKvStartDragEvent OnStartDrag;
  TKvDragOverEvent OnDragOver;
  TKvDragDropEvent OnDragDrop;
  TKvEndDragEvent OnEndDrag;
  // Kept by the parser: syntax errors of assigned SQL.
  TKvParserErrorEvent& OnParserError;
  // After every change that went onto the undo stack, and after undo and redo.
  TKvNotifyEvent OnChange;
  // Errors of the component's event handlers; without it they are shown in a message box.
  TKvErrorEvent OnError;

protected:
  TCustomKvarta(QWidget* parent, std::unique_ptr<TKvSelectParser> parser);

  // The surface's notifications, which keep the model in step.
  virtual void FieldCheck(TKvTable* table, TKvListItem* item);
  virtual void TableAdded(TKvTable* table);
  virtual void TableRemoved(TKvTable* table);
  virtual void AliasChanged(TKvTable* table, const QString& oldAliasOrName);

  // Makes the table windows and links of what the model holds; windows of tables `layout` had
  // keep their place.
  void BuildSurface(const TKvSurfaceState* layout = nullptr);

  // What a dialect keeps beside the common model, for undo.
  virtual void SaveDialectState(QDataStream& out) const;
  virtual void LoadDialectState(QDataStream& in);

  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  friend class TKvUndoStep;
  friend class TKvStateCommand;
  // Saves the state, sharing every piece that equals the one saved last (the whole of it when
  // nothing changed).
  std::shared_ptr<const TKvDesignState> SnapshotState();
  void ApplyState(const std::shared_ptr<const TKvDesignState>& target, const TKvDesignState& other);
  void UpdateUndoActions();

  std::unique_ptr<TKvSelectParser> m_selectParser;
  TKvPalette m_palette;
  TKvOptions m_options = kvoRowSelect;
  TKvStyle m_style;
  QList<QPixmap> m_images;
  QSplitter* m_splitter = nullptr;
  QTabWidget* m_pageControl = nullptr;
  QList<QWidget*> m_pages;
  TKvWorkArea* m_workArea = nullptr;
  std::unique_ptr<TKvTableList> m_tableList;
  TKvVisibleTabs m_visibleTabs = kvtAll;
  QUndoStack* m_undoStack = nullptr;
  QAction* m_undoAction = nullptr;
  QAction* m_redoAction = nullptr;
  int m_stepDepth = 0;
  bool m_stepFailed = false;
  bool m_restoring = false;
  bool m_destroying = false;
  QString m_stepText;
  std::shared_ptr<const TKvDesignState> m_stepBefore;
  std::shared_ptr<const TKvDesignState> m_lastState;
};
