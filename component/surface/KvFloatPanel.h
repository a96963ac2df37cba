#pragma once

// The design surface: a scrolling canvas on which table windows float and links join their rows.

#include "KvFloatTable.h"
#include "KvSurfaceState.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QEvent>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QRegion>
#include <QSet>

#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QMimeData;
class QScrollBar;
class TCustomKvarta;
class TKvJoin;
class TKvLink;
class TKvUndoStep;
class TfmLinkProp;

// Private messages of the work area; objects are never freed inside their own handlers.
enum TKvMessage : int {
  KVM_TABLEMOVED = 45159,
  KVM_TABLESIZED = 45160,
  KVM_REMOVETABLE = 45161,
  KVM_UNLINKTABLE = 45162,
  KVM_REMOVELINK = 45163
};

// A private message names its object by id: when it arrives the object may have gone.
class TKvObjectEvent : public QEvent {
public:
  TKvObjectEvent(TKvMessage message, const TKvFloatObject* object, bool approved = false)
      : QEvent(QEvent::Type(message)), ObjectId(object ? object->Id() : 0), Approved(approved) {}
  quint64 ObjectId;
  bool Approved; // the component already agreed to the removal
};

enum TDragState : int { dsDragEnter, dsDragLeave, dsDragMove };

// `text` in lines no wider than `width`: broken between words, or anywhere in a word that alone
// is too wide.
QString KvWrapText(const QString& text, const QFont& font, int width);

// Single-line edit that always shows a thin one-pixel border.
class TKvEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit TKvEdit(QWidget* parent = nullptr);
  std::function<void(int key)> OnKeyUp;
  std::function<void()> OnExit;

protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

class TKvWorkArea : public QAbstractScrollArea {
  Q_OBJECT
public:
  static constexpr int CanvasSize = 5000;
  static constexpr int HintDelay = 500;
  static constexpr int HintLifetime = 2000;
  static constexpr int RowScrollPeriod = 200;
  // MIME type of a field drag; the data names the work area it comes from.
  static const QString FieldMimeType;

  explicit TKvWorkArea(TCustomKvarta* owner);
  ~TKvWorkArea() override;

  TCustomKvarta* Owner() const { return m_owner; }

  // --- objects ---
  const QList<TKvJoin*>& Joins() const { return m_joins; }
  const QList<TKvLink*>& Links() const { return m_links; }
  const QList<TKvTable*>& Tables() const { return m_tables; }
  TKvFloatObject* HotObject() const { return m_hotObject; }
  TKvFloatObject* ActiveObject() const { return m_activeObject; }
  // Deselects the active object (when another) and selects `object` (may be nullptr).
  void SelectObject(TKvFloatObject* object);
  int HitCode() const { return m_hitCode; }
  TKvTable* ActiveTable() const;
  bool IsTable(const TKvFloatObject* object) const;
  bool IsLink(const TKvFloatObject* object) const;
  // The window or link with this id, while it is on the surface.
  TKvTable* TableById(quint64 id) const;
  TKvLink* LinkById(quint64 id) const;

  // --- events ---
  std::function<void(TKvWorkArea*sender, TKvLink*link)> OnLinkAdded, OnLinkRemoved;
  std::function<void(TKvWorkArea* sender, TKvTable* table1, TKvListItem* item1, TKvTable* table2,
                     TKvListItem* item2, bool selected)>
      OnLinkSelect;
  std::function<void(TKvTable* table, TKvListItem* item)> OnFieldCheck;
  std::function<void(TKvWorkArea*sender, TKvTable*table)> OnTableAdded, OnTableRemoved;
  std::function<void(TKvTable* table, const QString& oldAliasOrName)> OnAliasChanged;
  std::function<void(TKvWorkArea* sender)> OnStartDrag;

  // --- operations ---
  TKvTable* AddTable(const QString& tableName, const TKvDataSet* dataSet);
  // A window under the given alias (empty: the table name), which no window may have yet; for
  // tables the model holds already.
  TKvTable* AddTableAs(const QString& tableName, const QString& alias, const TKvDataSet* dataSet);
  // Widens a window so that its caption and field names fit (never narrows it).
  void FitTableWidth(TKvTable* table);
  TKvLink* AddLink(TKvTable* table1, TKvTable* table2, TKvListItem* item1, TKvListItem* item2);
  void RemoveLink(TKvLink* link, int index, bool invalidateFirst);
  void Clear();
  TKvTable* FindTable(const QString& name) const;
  TKvJoin* FindJoin(TKvTable* table1, TKvTable* table2, bool& reversed) const;
  bool LinkExists(TKvTable* table1, TKvTable* table2, TKvListItem* item1, TKvListItem* item2) const;
  void BringToFront(TKvTable* table);
  // Links whose join has `table` on one side.
  QList<TKvLink*> LinksOf(const TKvTable* table) const;

  // --- look ---
  const QFont& FieldFont() const { return m_fieldFont; }
  const QFont& BoldFieldFont() const { return m_boldFieldFont; }
  // Bumped whenever palette, style or options may have changed what objects draw.
  quint64 LookStamp() const { return m_lookStamp; }
  void LookChanged();
  qreal PaintRatio() const;

  // --- child controls ---
  QScrollBar* RowScrollBar() const { return m_rowScrollBar; }
  QLineEdit* AliasEditor() const { return m_aliasEditor; }
  TKvEdit* SearchEditor() const { return m_searchEditor; }
  QMenu* SurfaceMenu() const { return m_surfaceMenu; }
  QLabel* HintWindow() const { return m_hintWindow; }
  TfmLinkProp* LinkPropDialog() const { return m_linkProp; }
  TKvLink* CurrentLink() const { return LinkById(m_currentLink); }
  void SetCurrentLink(TKvLink* link);
  // The menu "Link field to..." shows; FillLinkMenu lists in it, window by window, the rows a
  // link from `item` of `table` could go to (the others greyed).
  QMenu* LinkMenu() const { return m_linkMenu; }
  void FillLinkMenu(QMenu* menu, TKvTable* table, TKvListItem* item);
  // Commits the alias editor (its exit handler); raises on a duplicate alias.
  void AliasEditorExit();
  void HideHint();

  // --- coordinates ---
  QPoint ScrollPos() const;
  QPoint ToClient(QPoint logical) const { return logical - ScrollPos(); }
  QRect ToClient(const QRect& logical) const { return logical.translated(-ScrollPos()); }
  QPoint ToLogical(QPoint client) const { return client + ScrollPos(); }
  void ScrollTo(int x, int y);

  // --- invalidation ---
  void InvalidateLogical(const QRect& logical);
  void InvalidateClient(const QRegion& client);
  void InvalidateAll();
  // Everything invalidated since the last call (client coordinates), for measurements.
  QRegion TakeInvalidated();
  void SetTrackInvalidated(bool on) { m_trackInvalidated = on; }
  QColor SurfaceColor() const;

  // --- messages ---
  void SendMessage(TKvMessage message, const TKvFloatObject* object, bool approved = false);
  void PostMessage(TKvMessage message, const TKvFloatObject* object);

  // --- field drag (the steps a drag makes; QDrag drives them, tests may too) ---
  bool BeginFieldDrag();
  bool FieldDragOver(QPoint client, TDragState state);
  void FieldDragDrop(QPoint client);
  void EndFieldDrag();
  bool FieldDragging() const { return m_fieldDragging; }
  TKvTable* DropTable() const { return m_dropTable; }
  TKvListItem* DropItem() const { return m_dropItem; }
  TKvListItem* DropHighlight() const { return m_dropHighlight; }
  QPixmap DragPixmap() const { return m_dragPixmap; }
  // One tick of the row auto-scroll timer (1 up, 2 down) with the mouse at `logical`.
  void RowScrollTick(int timer, QPoint logical);
  bool RowScrollRunning(int timer) const;
  // Asks for a field drag once the mouse has moved past the drag threshold.
  void RequestFieldDrag();

  // --- link re-routing ---
  void TableMoved(TKvTable* table);
  void TableSized(TKvTable* table);
  // Table whose caption is being dragged; its links are drawn over the other windows.
  TKvTable* MovingTable() const { return m_movingTable; }

  // Draws the whole surface for `clip` (client coordinates) with `painter`.
  void PaintSurface(QPainter& painter, const QRect& clip);

  // --- saved states (undo, layout over a new statement) ---
  // `previous`, when given, lends its entries wherever they are equal.
  TKvSurfaceState SaveState(const TKvSurfaceState* previous = nullptr) const;
  // Shows `target` where it differs from `other`, the state the change being undone or redone
  // started from; windows and links equal in both stay as they are. Fires no events and leaves
  // the query model alone.
  void RestoreState(const TKvSurfaceState& target, const TKvSurfaceState& other);
  // Windows of `made` whose table had a window in `old` take its place, size, scroll and
  // folding; the others are placed where they overlap nothing. Links still there get their bend
  // points back.
  void KeepLayout(const TKvSurfaceState& old, const QList<TKvTable*>& made);
  // The window whose AliasOrName is `key` exactly.
  TKvTable* TableByKey(const QString& key) const;
  // A move or resize of a window with the mouse is one step from press to release.
  void EndGesture();
  // Runs `action`; an error it raises is reported through the component (for menu commands and
  // other handlers outside the surface's own events).
  void Guard(const std::function<void()>& action);

protected:
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  friend class TKvTable;
  friend class TKvLink;
  void HandleObjectEvent(TKvObjectEvent* event);
  void RemoveTable(TKvTable* table, bool approved);
  void BuryTable(TKvTable* table);
  void UnlinkTable(TKvTable* table);
  void DeleteJoinIfUnused(TKvJoin* join);
  // Hit test in z-order: tables, then links; the first non-zero code wins.
  TKvFloatObject* ObjectAt(QPoint client, int& code) const;
  void SetCursorFor(int code);
  void ShowHint();
  void UpdateScrollRanges();
  void MoveOrResize(QPoint client);
  void SetDropHighlight(TKvListItem* item);
  void StartFieldDrag();
  bool IsOwnDrag(const QMimeData* data) const;
  QPoint ToOwner(QPoint client) const;
  void RowScrollBarChanged(int value);
  void PaintLinkLayer(const QRect& clip, qreal dpr);
  void PreparePictures(qreal dpr);
  void SearchEditorChanged(const QString& text);
  void SearchEditorExit();
  void ShowLinkProperties(TKvLink* link, bool invalidateAll);
  bool FilterEditorEvent(QObject* watched, QEvent* event);
  // The menu of the selected object, opened from the keyboard (menu key, Shift+F10).
  void ShowObjectMenu();
  QPoint CaptionCenter(const TKvTable* table) const;
  // Reports the exception being handled and ends the gesture under way (inside a catch block).
  void Failed() noexcept;
  void BeginGesture(const QString& text);
  void CancelGesture();
  // Takes a window or link off the surface without events, asking or touching the model.
  void DropTable(TKvTable* table);
  void DropLink(TKvLink* link);
  void Bury(TKvFloatObject* object);
  void CloseEditors();
  static TKvWindowState WindowState(const TKvTable* table);
  static TKvLinkState LinkState(const TKvLink* link);
  void ApplyGeometry(TKvTable* table, const TKvWindowState& state);
  void ApplyWindow(TKvTable* table, const TKvWindowState& state);
  TKvTable* MakeTable(const TKvWindowState& state, int index);
  TKvLink* LinkByEnds(const TKvLinkState& ends) const;
  void ApplyLink(TKvLink* link, const TKvLinkState& state);
  TKvLink* MakeLink(const TKvLinkState& state);
  // Where a window of `size` overlaps no window but those in `ignore`: right of (50, 20).
  QPoint FreePlace(QSize size, const QSet<const TKvTable*>& ignore) const;

  TCustomKvarta* m_owner;
  QList<TKvJoin*> m_joins;
  QList<TKvLink*> m_links;
  QList<TKvTable*> m_tables;
  int m_hitCode = htNone;
  TKvFloatObject* m_hotObject = nullptr;
  TKvFloatObject* m_activeObject = nullptr;
  TKvListItem* m_dropItem = nullptr;
  TKvTable* m_dropTable = nullptr;
  QPoint m_grabPoint;
  QPoint m_lastMousePoint{-1, -1};
  QPoint m_hoverPoint;
  TKvListItem* m_dropHighlight = nullptr;
  QMenu* m_surfaceMenu = nullptr;
  QPixmap m_dragPixmap;
  QFont m_fieldFont;
  QFont m_boldFieldFont;
  QLabel* m_hintWindow = nullptr;
  QScrollBar* m_rowScrollBar = nullptr;
  QLineEdit* m_aliasEditor = nullptr;
  bool m_aliasEditing = false;
  TKvEdit* m_searchEditor = nullptr;
  TfmLinkProp* m_linkProp = nullptr;
  quint64 m_currentLink = 0;
  QMenu* m_linkMenu = nullptr;
  QBasicTimer m_rowScrollUp;   // timer 1
  QBasicTimer m_rowScrollDown; // timer 2
  QBasicTimer m_hintDelay;     // timer 10
  QBasicTimer m_hintLife;      // timer 11
  bool m_fieldDragging = false;
  bool m_dragRequested = false;
  QPoint m_pressPoint;
  bool m_leftDown = false;
  TKvTable* m_movingTable = nullptr;
  quint64 m_lookStamp = 1;
  QRegion m_invalidated;
  bool m_trackInvalidated = false;
  // The links as last drawn (client coordinates), and what of it is out of date.
  QImage m_linkLayer;
  QPoint m_linkLayerScroll;
  QRegion m_linkDirty;
  bool m_linksDrawnStraight = false;
  bool m_picturesPending = false;
  // Objects already taken off the surface, freed once the event that removed them has returned.
  QList<TKvFloatObject*> m_graveyard;
  std::unique_ptr<TKvUndoStep> m_gesture;
};
