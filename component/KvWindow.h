#pragma once

// The designer component: owns the query parser, the design surface and the editor pages, and
// keeps them in step.

#include "KvStyles.h"

#include <QFrame>
#include <QList>
#include <QPixmap>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QMimeData;
class QSplitter;
class QTabWidget;
class TKvDataSet;
class TKvLink;
class TKvListItem;
class TKvSelectParser;
class TKvTable;
class TKvWorkArea;
enum TDragState : int;

enum TKvAction : std::uint8_t { kvaAdd, kvaRemove };

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

  // Whether the change may happen: the host may refuse through its events.
  bool DoAddRemoveTable(TKvTable* table, TKvAction action);
  bool DoAddRemoveLink(TKvLink* link, TKvAction action);

  // Reloads the editor of the active page after a change of the model.
  virtual void RefreshActiveEditor();

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

protected:
  TCustomKvarta(QWidget* parent, std::unique_ptr<TKvSelectParser> parser);

  // The surface's notifications, which keep the model in step.
  virtual void FieldCheck(TKvTable* table, TKvListItem* item);
  virtual void TableAdded(TKvTable* table);
  virtual void TableRemoved(TKvTable* table);
  virtual void AliasChanged(TKvTable* table, const QString& oldAliasOrName);

private:
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
};
