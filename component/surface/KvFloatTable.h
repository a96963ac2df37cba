#pragma once

// Objects floating on the work area: the common base, table windows and their rows.

#include <QColor>
#include <QFont>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>

class QMenu;
class QPainter;
class TKvDataSet;
class TKvTable;
class TKvWorkArea;

// What part of an object lies under a point.
enum THitCode : std::uint8_t {
  htNone,
  htLeft,
  htTop,
  htRight,
  htBottom,
  htTopLeft,
  htBottomLeft,
  htTopRight,
  htBottomRight,
  htCaption,
  htBody,
  htEndPoint,
  htBendPoint,
  htButtons,
  htCheckBox
};

// Keyboard and mouse state handed to the objects' events.
enum TShiftFlag : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};
using TShiftState = unsigned;

// A mouse message as the work area passes it on; Pos in client coordinates.
struct TKvMouseMsg {
  QPoint Pos;
  Qt::MouseButton Button = Qt::NoButton; // the button pressed or released
  Qt::MouseButtons Buttons;              // buttons held down after the event
  Qt::KeyboardModifiers Modifiers;
  bool Handled = false;
};

class TKvFloatObject {
public:
  explicit TKvFloatObject(TKvWorkArea* workArea);
  virtual ~TKvFloatObject() = default;
  TKvFloatObject(const TKvFloatObject&) = delete;
  TKvFloatObject& operator=(const TKvFloatObject&) = delete;

  TKvWorkArea* WorkArea() const { return m_workArea; }
  bool Active() const { return m_active; }
  // Never given twice in a run: what is acted on later (a posted message, a menu command) names
  // its object by this, and finds nothing once the object has gone, even when its memory holds
  // another object by then.
  quint64 Id() const { return m_id; }

  std::function<void(TKvFloatObject*sender, Qt::MouseButton button, TShiftState shift, int x,
                     int y)>
      OnMouseDown, OnMouseUp;
  std::function<void(TKvFloatObject* sender, TShiftState shift, int x, int y)> OnMouseMove;
  std::function<void(TKvFloatObject*sender, int&key, TShiftState shift)> OnKeyDown, OnKeyUp;

  virtual void SetActive(bool value);
  virtual QString GetHint() = 0;
  virtual void Paint(QPainter& painter) = 0;
  virtual void MouseDown(TKvMouseMsg& msg, int hitCode);
  virtual void MouseMove(TKvMouseMsg& msg, int hitCode);
  virtual void MouseUp(TKvMouseMsg& msg, int hitCode);
  virtual void KeyDown(int& key, TShiftState shift);
  virtual void KeyUp(int& key, TShiftState shift);
  virtual void MouseLeave(TKvMouseMsg& msg, int hitCode);
  // `p` in client coordinates.
  virtual int HitTest(QPoint p) = 0;
  virtual void FillPopupMenu(QMenu* menu, int x, int hitCode, int y) = 0;

  static TShiftState ShiftOf(const TKvMouseMsg& msg);
  static TShiftState ShiftOf(Qt::KeyboardModifiers modifiers);

protected:
  // The point the mouse events report; the client point unless a descendant says otherwise.
  virtual QPoint EventPoint(const TKvMouseMsg& msg) const { return msg.Pos; }

  TKvWorkArea* m_workArea;
  bool m_active = false;

private:
  quint64 m_id;
};

enum TKvItemKind : std::uint8_t { ikParameter = 1, ikField = 2 };

class TKvListItem {
public:
  TKvListItem(TKvTable* table, TKvItemKind kind, int dataType, const QString& name,
              const QString& text);
  TKvListItem(const TKvListItem&) = delete;
  TKvListItem& operator=(const TKvListItem&) = delete;

  TKvTable* Table() const { return m_table; }
  const QString& Name() const { return m_name; }
  int DataType() const { return m_dataType; }
  TKvItemKind Kind() const { return m_kind; }
  bool Checked() const { return m_checked; }
  bool Bold() const { return m_bold; }
  const QString& Text() const { return m_text; }
  int Index() const;

  // The user's tick: notifies the surface (and the component for parameter rows).
  void Click(bool value);
  // Silent tick that keeps the window's select-all state right.
  void SetChecked(bool value);
  void SetBold(bool value);
  QRect GetLinkRect() const;

private:
  friend class TKvTable;
  TKvTable* m_table;
  QString m_name;
  int m_dataType;
  TKvItemKind m_kind;
  bool m_checked = false;
  bool m_bold = false;
  bool m_busy = false;
  QString m_text;
};

class TKvTable : public TKvFloatObject {
public:
  // Rows of a window before its first resize.
  static constexpr int MaxInitialRows = 6;

  TKvTable(TKvWorkArea* workArea, const QString& tableName, const TKvDataSet* dataSet);
  ~TKvTable() override;

  // --- text ---
  const QString& TableName() const { return m_tableName; }
  const QString& Alias() const { return m_alias; }
  void SetAlias(const QString& alias);
  QString AliasOrName() const;
  QString Caption() const;
  QString Hint() const { return m_hint; }

  // --- state ---
  int CheckState() const { return m_checkState; }
  void SetCheckState(int state);
  int PressedButton() const { return m_pressedButton; }
  int HotButton() const { return m_hotButton; }
  bool Expanded() const { return m_expanded; }
  void SetExpanded(bool value);
  bool Closing() const { return m_closing; }
  TKvListItem* SelectedItem() const { return m_selectedItem; }

  // --- metrics ---
  int CaptionHeight() const { return m_captionHeight; }
  void SetCaptionHeight(int value);
  int ItemHeight() const { return m_itemHeight; }
  void SetItemHeight(int value);
  int ButtonsWidth() const { return m_buttonsWidth; }
  int BorderWidth() const { return m_borderWidth; }
  int FrameWidth() const { return m_frameWidth; }
  int ScrollBarWidth() const { return m_scrollBarWidth; }
  int MinWidth() const { return m_captionHeight + m_buttonsWidth + 20; }
  int MinHeight() const { return 2 * m_itemHeight + m_captionHeight + 4; }

  // --- geometry (logical coordinates) ---
  int Left() const { return m_left; }
  int Top() const { return m_top; }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  void SetLeft(int x) { MoveBy(x - m_left, 0); }
  void SetTop(int y) { MoveBy(0, y - m_top); }
  void MoveBy(int dx, int dy);
  void SetWidth(int w);
  void SetHeight(int h);
  void ResizeLeft(int dx);
  void ResizeTop(int dy);
  int TopIndex() const { return m_topIndex; }
  void SetTopIndex(int index);
  int VisibleCount() const { return m_visibleCount; }
  // The rows shown follow from the height, but a new window shows one more than a resized one
  // of the same height: a saved window gets back exactly what it showed.
  void SetVisibleCount(int count);

  // --- rows ---
  const QList<TKvListItem*>& Items() const { return m_items; }
  int ItemCount() const { return int(m_items.size()); }
  void LoadFields(const TKvDataSet* dataSet);
  TKvListItem* FindItem(const QString& fieldName) const;
  void SetAllChecked(int state);

  // --- rectangles: logical coordinates unless named Client ---
  QRect BoundsRect() const;
  QRect ClientBounds() const;
  QRect CaptionStripRect() const;
  QRect CaptionTextRect() const;
  QRect ButtonsRect() const;
  QRect ButtonRect(int index) const;
  QRect RowsRect() const;
  QRect ItemRect(int index) const; // logical; empty when the row does not exist
  QRect ItemClientRect(int index) const;
  QRect TickRect(int index) const;
  QRect CheckBoxHitRect() const;
  QRect CheckBoxDrawRect() const;
  QRect GetItemLinkRect(const TKvListItem* item) const;
  // Button under logical x (0, 1, 2), -1 outside the buttons area.
  int ButtonAt(QPoint logical) const;
  // First visible row whose bottom lies below logical y, or nullptr.
  TKvListItem* ItemAtY(int logicalY) const;
  bool ScrollBarShowing() const;
  bool NeedsScrollBar() const { return ItemCount() > m_visibleCount; }

  // --- TKvFloatObject ---
  void SetActive(bool value) override;
  QString GetHint() override { return m_hint; }
  void Paint(QPainter& painter) override;
  // Draws only `client`, a part of the window's client bounds; true when drawn straight, without
  // a picture.
  bool PaintVisible(QPainter& painter, const QRegion& client);
  // Whether the window was drawn straight and still has no picture; PreparePicture makes it.
  bool NeedsPicture() const { return m_drawnStraight && m_cache.isNull(); }
  void PreparePicture(qreal dpr);
  void MouseDown(TKvMouseMsg& msg, int hitCode) override;
  void MouseMove(TKvMouseMsg& msg, int hitCode) override;
  void MouseUp(TKvMouseMsg& msg, int hitCode) override;
  void KeyDown(int& key, TShiftState shift) override;
  void MouseLeave(TKvMouseMsg& msg, int hitCode) override;
  int HitTest(QPoint p) override;
  void FillPopupMenu(QMenu* menu, int x, int hitCode, int y) override;

  virtual QColor GetClientColor() const;
  virtual void DblClick(TKvMouseMsg& msg, int hitCode);

  // --- commands ---
  void Close();
  void Unlink();
  void BeginAliasEdit();
  // Offers the rows of the other windows for a link from the selected row, in a menu under it.
  void ChooseLinkTarget();
  // Selects a row as the keyboard does: scrolls it into view and repaints.
  void SelectItem(TKvListItem* item);

  // --- painting support ---
  void Invalidate(const QRect& logical);
  void InvalidateItem(const TKvListItem* item);
  void InvalidateTick(const TKvListItem* item);
  void PlaceScrollBar();
  // Drops the cached picture (style, palette or options changed).
  void DropCache() { m_cacheValid = false; }

protected:
  QPoint EventPoint(const TKvMouseMsg& msg) const override;

private:
  friend class TKvListItem;
  QPoint ToLogical(QPoint client) const;
  void RecalcVisibleCount();
  void Render(QPainter& p);
  void EnsureCache(qreal dpr);
  void RenderRows(QPainter& p);
  void RenderItem(QPainter& p, const TKvListItem* item, QRect rect, bool selected,
                  bool windowActive, bool dropTarget);
  void DrawButton(QPainter& p, int index, int state);
  void DrawEdge(QPainter& p, QRect r, int kind, bool flat);
  void ToggleSelected();
  void ScrollIntoView(int index);
  void SearchKeyUp(int key);
  void TableSized();

  QString m_tableName;
  QString m_alias;
  QString m_hint;
  int m_checkState = 0;
  int m_pressedButton = -1;
  int m_hotButton = -1;
  bool m_pressedOver = true; // mouse still over the pressed button
  bool m_expanded = true;
  bool m_closing = false;
  int m_captionHeight = 20;
  int m_buttonsWidth = 40;
  int m_borderWidth = 2;
  int m_frameWidth = 2;
  int m_scrollBarWidth = 16;
  TKvListItem* m_selectedItem = nullptr;
  int m_left = 0;
  int m_top = 0;
  int m_width = 100;
  int m_height = 0;
  int m_itemHeight = 16;
  int m_topIndex = 0;
  int m_visibleCount = 0;
  QList<TKvListItem*> m_items;

  // Rendered picture of the whole window, reused until something in it changes.
  QPixmap m_cache;
  bool m_cacheValid = false;
  quint64 m_cacheStamp = 0;
  int m_cacheOptions = -1;
  bool m_cacheFocused = false;
  // Drawn once without the picture; the picture is made when the window is drawn again.
  bool m_drawnStraight = false;
};
