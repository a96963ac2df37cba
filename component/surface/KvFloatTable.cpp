#include "KvFloatTable.h"

#include "KvBitmaps.h"
#include "KvDataSet.h"
#include "KvError.h"
#include "KvFloatPanel.h"
#include "KvResource.h"
#include "KvStyles.h"
#include "KvUndo.h"
#include "KvUtils.h"
#include "KvWindow.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int ButtonBitmapSize = 12;
const QColor SelectedRowColor(192, 192, 192);
const QColor DropRowColor(0, 128, 128);

int FontPixelHeight(const QFont& font) {
  return QFontInfo(font).pixelSize();
}

} // namespace

// --- TKvFloatObject ---

TKvFloatObject::TKvFloatObject(TKvWorkArea* workArea) : m_workArea(workArea) {
  static quint64 last = 0;
  m_id = ++last;
}

TShiftState TKvFloatObject::ShiftOf(Qt::KeyboardModifiers modifiers) {
  TShiftState shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= ssShift;
  if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
  if (modifiers & Qt::AltModifier) shift |= ssAlt;
  return shift;
}

TShiftState TKvFloatObject::ShiftOf(const TKvMouseMsg& msg) {
  TShiftState shift = ShiftOf(msg.Modifiers);
  const Qt::MouseButtons buttons = msg.Buttons | msg.Button;
  if (buttons & Qt::LeftButton) shift |= ssLeft;
  if (buttons & Qt::RightButton) shift |= ssRight;
  if (buttons & Qt::MiddleButton) shift |= ssMiddle;
  return shift;
}

void TKvFloatObject::SetActive(bool value) {
  m_active = value;
  if (value) {
    for (TKvTable* table : m_workArea->Tables())
      if (table == this) {
        m_workArea->BringToFront(table);
        break;
      }
  }
}

void TKvFloatObject::MouseDown(TKvMouseMsg& msg, int) {
  const QPoint p = EventPoint(msg);
  if (OnMouseDown) OnMouseDown(this, msg.Button, ShiftOf(msg), p.x(), p.y());
  msg.Handled = true;
}

void TKvFloatObject::MouseMove(TKvMouseMsg& msg, int) {
  const QPoint p = EventPoint(msg);
  if (OnMouseMove) OnMouseMove(this, ShiftOf(msg), p.x(), p.y());
  msg.Handled = true;
}

void TKvFloatObject::MouseUp(TKvMouseMsg& msg, int) {
  const QPoint p = EventPoint(msg);
  if (OnMouseUp) OnMouseUp(this, msg.Button, ShiftOf(msg), p.x(), p.y());
  msg.Handled = true;
}

void TKvFloatObject::KeyDown(int& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TKvFloatObject::KeyUp(int& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TKvFloatObject::MouseLeave(TKvMouseMsg&, int) {}

// --- TKvListItem ---

TKvListItem::TKvListItem(TKvTable* table, TKvItemKind kind, int dataType, const QString& name,
                         const QString& text)
    : m_table(table), m_name(name), m_dataType(dataType), m_kind(kind), m_text(text) {}

int TKvListItem::Index() const {
  return int(m_table->Items().indexOf(this));
}

void TKvListItem::Click(bool value) {
  TKvWorkArea* area = m_table->WorkArea();
  using namespace KvResource;
  TKvUndoStep step(area->Owner(), (value ? SUndoCheckField : SUndoUncheckField)
                                      .arg(m_table->AliasOrName() + QLatin1Char('.') + m_name));
  if (m_kind == ikParameter) {
    if (!m_busy) {
      m_busy = true;
      TCustomKvarta* owner = area->Owner();
      if (owner && owner->OnEnterProcParameter) owner->OnEnterProcParameter(owner, m_table, this);
      m_busy = false;
    }
  } else {
    m_checked = value;
  }
  m_table->InvalidateTick(this);
  if (m_kind == ikField && area->OnFieldCheck) area->OnFieldCheck(m_table, this);
  SetChecked(value);
}

void TKvListItem::SetChecked(bool value) {
  m_checked = value;
  m_table->InvalidateTick(this);
  if (m_kind != ikField) return;
  int state = value ? 2 : 0;
  for (const TKvListItem* item : m_table->Items())
    if (item->Kind() == ikField && item->Checked() != value) {
      state = 1;
      break;
    }
  if (state != m_table->CheckState()) m_table->SetCheckState(state);
}

void TKvListItem::SetBold(bool value) {
  if (m_bold == value) return;
  m_bold = value;
  m_table->InvalidateItem(this);
}

QRect TKvListItem::GetLinkRect() const {
  return m_table->GetItemLinkRect(this);
}

// --- TKvTable: construction and rows ---

TKvTable::TKvTable(TKvWorkArea* workArea, const QString& tableName, const TKvDataSet* dataSet)
    : TKvFloatObject(workArea), m_tableName(tableName) {
  if (!workArea) throw EKvError(KvResource::SInvalidTableParent);
  const int pixels = FontPixelHeight(workArea->FieldFont());
  m_captionHeight = std::max(pixels + 4, 20);
  m_itemHeight = std::max(pixels, 16);
  LoadFields(dataSet);
  m_height =
      (m_itemHeight + 1) * m_visibleCount + m_captionHeight + m_borderWidth + 2 * m_frameWidth;
}

TKvTable::~TKvTable() {
  qDeleteAll(m_items);
}

void TKvTable::LoadFields(const TKvDataSet* dataSet) {
  m_selectedItem = nullptr;
  qDeleteAll(m_items);
  m_items.clear();
  if (!dataSet) return;
  const int count = dataSet->FieldCount();
  m_visibleCount = std::min(count, MaxInitialRows);
  for (int i = 0; i < count; ++i) {
    const QString name = dataSet->FieldName(i);
    m_items.append(new TKvListItem(this, ikField, dataSet->FieldType(i), name, name));
  }
  m_cacheValid = false;
}

TKvListItem* TKvTable::FindItem(const QString& fieldName) const {
  for (TKvListItem* item : m_items)
    if (item->Name() == fieldName) return item;
  return nullptr;
}

void TKvTable::SetAllChecked(int state) {
  using namespace KvResource;
  TKvUndoStep step(m_workArea->Owner(),
                   (state == 2 ? SUndoCheckAll : SUndoUncheckAll).arg(AliasOrName()));
  SetCheckState(state);
  const QList<TKvListItem*> items = m_items;
  for (TKvListItem* item : items)
    if (item->Kind() == ikField) item->Click(state == 2);
}

// --- text ---

void TKvTable::SetAlias(const QString& alias) {
  if (m_alias == alias) return;
  m_alias = alias;
  Invalidate(CaptionStripRect());
}

QString TKvTable::AliasOrName() const {
  return m_alias.trimmed().isEmpty() ? m_tableName : m_alias;
}

QString TKvTable::Caption() const {
  if (m_alias.trimmed().isEmpty()) return m_tableName;
  return m_tableName + QStringLiteral(" (") + m_alias + QLatin1Char(')');
}

// --- metrics ---

void TKvTable::SetCaptionHeight(int value) {
  if (value == 0) return;
  m_captionHeight = std::max(std::abs(value), 20);
  m_cacheValid = false;
}

void TKvTable::SetItemHeight(int value) {
  if (value == 0) return;
  m_itemHeight = std::max(std::abs(value), 16);
  m_cacheValid = false;
}

// --- rectangles ---

QRect TKvTable::BoundsRect() const {
  return QRect(m_left, m_top, m_width, m_expanded ? m_height : m_captionHeight);
}

QRect TKvTable::ClientBounds() const {
  return m_workArea->ToClient(BoundsRect());
}

QRect TKvTable::CaptionStripRect() const {
  return QRect(m_left, m_top, m_width, m_captionHeight);
}

QRect TKvTable::CaptionTextRect() const {
  const int left = m_left + m_captionHeight + m_borderWidth;
  const int right = m_left + m_width - m_buttonsWidth - m_borderWidth;
  return QRect(left, m_top + m_borderWidth, right - left, m_captionHeight - 2 * m_borderWidth);
}

QRect TKvTable::ButtonsRect() const {
  const int right = m_left + m_width - m_borderWidth;
  return QRect(right - m_buttonsWidth, m_top + m_borderWidth, m_buttonsWidth,
               m_captionHeight - m_borderWidth);
}

QRect TKvTable::ButtonRect(int index) const {
  const QRect area = ButtonsRect();
  const int b = ButtonBitmapSize;
  return QRect(area.left() + (b + 1) * index, area.top() + (area.height() - b - 2) / 2, b, b);
}

QRect TKvTable::RowsRect() const {
  const int left = m_left + m_borderWidth + m_frameWidth;
  const int top = m_top + m_captionHeight + m_frameWidth;
  const int right = m_left + m_width - m_borderWidth - m_frameWidth;
  const int bottom = m_top + m_height - m_borderWidth - m_frameWidth;
  return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

QRect TKvTable::ItemRect(int index) const {
  if (index < 0 || index >= ItemCount()) return QRect();
  const QRect rows = RowsRect();
  const int top = m_top + m_captionHeight + 1 + (index - m_topIndex) * (m_itemHeight + 1);
  return QRect(rows.left(), top, rows.width(), m_itemHeight);
}

QRect TKvTable::ItemClientRect(int index) const {
  return m_workArea->ToClient(ItemRect(index));
}

QRect TKvTable::TickRect(int index) const {
  const QRect row = ItemRect(index);
  if (row.isNull()) return row;
  return QRect(row.left(), row.top(), m_itemHeight, m_itemHeight);
}

QRect TKvTable::CheckBoxHitRect() const {
  return QRect(m_left + m_borderWidth + 2, m_top + 2, 12, 12);
}

QRect TKvTable::CheckBoxDrawRect() const {
  return QRect(m_left + m_borderWidth + 4, m_top + m_borderWidth + 2, 12, 12);
}

QRect TKvTable::GetItemLinkRect(const TKvListItem* item) const {
  const int index = item ? int(m_items.indexOf(item)) : -1;
  TKvTableGeometry g;
  g.Left = m_left;
  g.Top = m_top;
  g.Width = m_width;
  g.Height = m_height;
  g.CaptionHeight = m_captionHeight;
  g.ItemHeight = m_itemHeight;
  g.BorderWidth = m_borderWidth;
  g.FrameWidth = m_frameWidth;
  g.TopIndex = m_topIndex;
  g.VisibleCount = m_visibleCount;
  g.Expanded = m_expanded;
  return KvItemLinkRect(g, index, ItemCount());
}

int TKvTable::ButtonAt(QPoint logical) const {
  const QRect area = ButtonsRect();
  if (!area.contains(logical)) return -1;
  const int b = ButtonBitmapSize;
  if (logical.x() < area.left() + b + 1) return 0;
  if (logical.x() > area.left() + area.width() - b - 2) return 2;
  return 1;
}

TKvListItem* TKvTable::ItemAtY(int logicalY) const {
  if (!m_expanded) return nullptr;
  const int last = std::min(m_topIndex + m_visibleCount, ItemCount() - 1);
  for (int i = m_topIndex; i <= last; ++i) {
    const QRect row = ItemRect(i);
    if (row.top() + row.height() > logicalY) return m_items[i];
  }
  return nullptr;
}

bool TKvTable::ScrollBarShowing() const {
  return m_active && m_expanded && NeedsScrollBar() && m_workArea->RowScrollBar()->isVisible();
}

QPoint TKvTable::ToLogical(QPoint client) const {
  return m_workArea->ToLogical(client);
}

QPoint TKvTable::EventPoint(const TKvMouseMsg& msg) const {
  return ToLogical(msg.Pos) - QPoint(m_left, m_top);
}

// --- invalidation ---

void TKvTable::Invalidate(const QRect& logical) {
  m_cacheValid = false;
  m_workArea->InvalidateLogical(logical);
}

void TKvTable::InvalidateItem(const TKvListItem* item) {
  if (!item) return;
  const int index = int(m_items.indexOf(item));
  if (index < 0) return;
  Invalidate(ItemRect(index).intersected(RowsRect()));
}

void TKvTable::InvalidateTick(const TKvListItem* item) {
  if (!item) return;
  const int index = int(m_items.indexOf(item));
  if (index < 0) return;
  // The tick picture reaches one pixel below its row.
  Invalidate(TickRect(index).adjusted(0, 0, 0, 1).intersected(RowsRect()));
}

// --- geometry changes ---

void TKvTable::RecalcVisibleCount() {
  m_visibleCount = std::max(0, (m_height - m_captionHeight - m_borderWidth - 2 * m_frameWidth - 1) /
                                   (m_itemHeight + 1));
}

void TKvTable::TableSized() {
  m_workArea->SendMessage(KVM_TABLESIZED, this);
}

void TKvTable::PlaceScrollBar() {
  QScrollBar* bar = m_workArea->RowScrollBar();
  if (!m_active) return;
  if (!m_expanded || !NeedsScrollBar()) {
    bar->hide();
    return;
  }
  const QRect rows = m_workArea->ToClient(RowsRect());
  const QSignalBlocker blocker(bar);
  bar->setGeometry(rows.left() + rows.width() - m_scrollBarWidth, rows.top(), m_scrollBarWidth,
                   rows.height());
  bar->setRange(0, ItemCount() - m_visibleCount);
  bar->setPageStep(std::max(1, m_visibleCount - 1));
  bar->setSingleStep(1);
  bar->setValue(m_topIndex);
  bar->show();
}

void TKvTable::MoveBy(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  m_workArea->InvalidateLogical(BoundsRect());
  m_left += dx;
  m_top += dy;
  m_workArea->InvalidateLogical(BoundsRect());
  if (ScrollBarShowing())
    m_workArea->RowScrollBar()->move(m_workArea->RowScrollBar()->pos() + QPoint(dx, dy));
  m_workArea->SendMessage(KVM_TABLEMOVED, this);
}

void TKvTable::SetWidth(int w) {
  w = std::max(w, MinWidth());
  if (w == m_width) return;
  const int narrow = std::min(w, m_width);
  const int wide = std::max(w, m_width);
  const int inner = m_borderWidth + m_frameWidth + (ScrollBarShowing() ? m_scrollBarWidth : 0);
  Invalidate(CaptionStripRect());
  Invalidate(QRect(m_left + narrow - inner, m_top, wide - narrow + inner, BoundsRect().height()));
  m_width = w;
  Invalidate(CaptionStripRect());
  PlaceScrollBar();
  TableSized();
}

void TKvTable::SetHeight(int h) {
  h = std::max(h, MinHeight());
  if (h == m_height) return;
  const int low = std::min(h, m_height);
  const int high = std::max(h, m_height);
  m_height = h;
  RecalcVisibleCount();
  if (m_topIndex + m_visibleCount > ItemCount()) SetTopIndex(ItemCount() - m_visibleCount);
  const int inner = m_borderWidth + m_frameWidth;
  Invalidate(QRect(m_left, m_top + low - inner, m_width, high - low + inner));
  PlaceScrollBar();
  TableSized();
}

void TKvTable::ResizeLeft(int dx) {
  dx = std::min(dx, m_width - MinWidth());
  if (dx == 0) return;
  const QRect old = BoundsRect();
  m_left += dx;
  m_width -= dx;
  Invalidate(old.united(BoundsRect()));
  PlaceScrollBar();
  TableSized();
}

void TKvTable::ResizeTop(int dy) {
  dy = std::min(dy, m_height - MinHeight());
  if (dy == 0) return;
  const QRect old = BoundsRect();
  m_top += dy;
  m_height -= dy;
  RecalcVisibleCount();
  if (m_topIndex + m_visibleCount > ItemCount())
    m_topIndex = std::max(0, ItemCount() - m_visibleCount);
  Invalidate(old.united(BoundsRect()));
  PlaceScrollBar();
  TableSized();
}

void TKvTable::SetVisibleCount(int count) {
  count = std::max(0, count);
  if (count == m_visibleCount) return;
  m_visibleCount = count;
  Invalidate(BoundsRect());
  PlaceScrollBar();
  TableSized();
}

void TKvTable::SetTopIndex(int index) {
  index = std::min(index, ItemCount() - m_visibleCount);
  index = std::max(index, 0);
  if (index == m_topIndex) return;
  m_topIndex = index;
  Invalidate(RowsRect());
  if (ScrollBarShowing()) {
    QScrollBar* bar = m_workArea->RowScrollBar();
    const QSignalBlocker blocker(bar);
    bar->setValue(m_topIndex);
  }
  // Links of scrolled rows move with them.
  TableSized();
}

void TKvTable::SetExpanded(bool value) {
  if (value == m_expanded) return;
  Invalidate(QRect(m_left, m_top, m_width, std::max(m_height, m_captionHeight)));
  m_expanded = value;
  if (m_active) {
    if (!value)
      m_workArea->RowScrollBar()->hide();
    else
      PlaceScrollBar();
  }
  TableSized();
}

void TKvTable::SetCheckState(int state) {
  state = std::clamp(state, 0, 2);
  if (state == m_checkState) return;
  Invalidate(QRect(m_left, m_top, m_captionHeight, m_captionHeight));
  m_checkState = state;
}

// --- activation ---

void TKvTable::SetActive(bool value) {
  TKvFloatObject::SetActive(value);
  Invalidate(BoundsRect());
  if (value && m_expanded && NeedsScrollBar())
    PlaceScrollBar();
  else
    m_workArea->RowScrollBar()->hide();
}

// --- hit test and mouse ---

int TKvTable::HitTest(QPoint p) {
  const QPoint l = ToLogical(p);
  if (!BoundsRect().contains(l)) return htNone;
  if (m_expanded) {
    const bool left = l.x() < m_left + 4;
    const bool right = l.x() > m_left + m_width - 4;
    const bool top = l.y() < m_top + 4;
    const bool bottom = l.y() > m_top + m_height - 4;
    if (left && top) return htTopLeft;
    if (left && bottom) return htBottomLeft;
    if (left) return htLeft;
    if (right && top) return htTopRight;
    if (right && bottom) return htBottomRight;
    if (right) return htRight;
    if (top) return htTop;
    if (bottom) return htBottom;
  }
  if (l.y() >= m_top + m_captionHeight) return htBody;
  if (ButtonsRect().contains(l)) return htButtons;
  if (CheckBoxHitRect().contains(l)) return htCheckBox;
  return htCaption;
}

void TKvTable::MouseDown(TKvMouseMsg& msg, int hitCode) {
  const QPoint l = ToLogical(msg.Pos);
  if (msg.Button == Qt::LeftButton) {
    switch (hitCode) {
    case htCheckBox:
      SetAllChecked(m_checkState == 2 ? 0 : 2);
      break;
    case htButtons:
      m_pressedButton = ButtonAt(l);
      m_pressedOver = true;
      Invalidate(ButtonsRect());
      break;
    case htBody:
      InvalidateItem(m_selectedItem);
      m_selectedItem = ItemAtY(l.y());
      InvalidateItem(m_selectedItem);
      break;
    default:
      break;
    }
  }
  TKvFloatObject::MouseDown(msg, hitCode);
}

void TKvTable::MouseMove(TKvMouseMsg& msg, int hitCode) {
  using namespace KvResource;
  const QPoint l = ToLogical(msg.Pos);
  const bool leftDown = msg.Buttons & Qt::LeftButton;
  m_hint.clear();
  switch (hitCode) {
  case htButtons:
    if (m_active) {
      const int button = ButtonAt(l);
      if (button == 0)
        m_hint = SHintCollapseExpand;
      else if (button == 1)
        m_hint = SHintUnlinkTable;
      else if (button == 2)
        m_hint = SHintCloseTable;
      const bool over = m_pressedButton != -1 && button == m_pressedButton;
      if (button != m_hotButton || over != m_pressedOver) Invalidate(ButtonsRect());
      m_hotButton = button;
      m_pressedOver = over;
    }
    break;
  case htCheckBox:
    if (!leftDown) m_hint = m_checkState == 2 ? SHintUnselectAll : SHintSelectAll;
    break;
  case htCaption:
    if (!leftDown) m_hint = SHintEditAlias;
    break;
  case htBody: {
    if (m_selectedItem && m_selectedItem->Kind() == ikField && leftDown) {
      const int index = int(m_items.indexOf(m_selectedItem));
      if (l.x() > ItemRect(index).left() + m_itemHeight) m_workArea->RequestFieldDrag();
    } else if (TKvListItem* item = ItemAtY(l.y())) {
      m_hint = item->Name() + QStringLiteral(" (") + KvFieldTypeName(item->DataType()) +
               QLatin1Char(')');
    }
    break;
  }
  default:
    break;
  }
  TKvFloatObject::MouseMove(msg, hitCode);
}

void TKvTable::MouseUp(TKvMouseMsg& msg, int hitCode) {
  const QPoint l = ToLogical(msg.Pos);
  if (msg.Button == Qt::LeftButton) {
    if (hitCode == htButtons) {
      const int pressed = m_pressedButton;
      m_pressedButton = -1;
      Invalidate(ButtonsRect());
      if (pressed != -1 && ButtonAt(l) == pressed) {
        if (pressed == 2) {
          Close(); // the window is gone: touch nothing more
          return;
        }
        if (pressed == 1) {
          Unlink();
        } else {
          using namespace KvResource;
          TKvUndoStep step(m_workArea->Owner(),
                           (m_expanded ? SUndoCollapseTable : SUndoExpandTable).arg(AliasOrName()));
          SetExpanded(!m_expanded);
        }
      }
    } else if (hitCode == htBody) {
      TKvListItem* item = ItemAtY(l.y());
      if (item && item == m_selectedItem && item->Kind() == ikField) {
        const QRect row = ItemRect(int(m_items.indexOf(item)));
        if (l.x() >= row.left() && l.x() <= row.left() + m_itemHeight - 1) {
          item->Click(!item->Checked());
          item->SetChecked(item->Checked());
        }
      }
    }
  }
  TKvFloatObject::MouseUp(msg, hitCode);
}

void TKvTable::MouseLeave(TKvMouseMsg&, int hitCode) {
  if (hitCode == htButtons && m_active && m_hotButton != -1) {
    m_hotButton = -1;
    Invalidate(ButtonsRect());
  }
}

void TKvTable::DblClick(TKvMouseMsg&, int hitCode) {
  if (hitCode == htCaption)
    BeginAliasEdit();
  else if (hitCode == htBody)
    ToggleSelected();
}

void TKvTable::ToggleSelected() {
  if (!m_selectedItem) return;
  TKvListItem* item = m_selectedItem;
  item->Click(!item->Checked());
  item->SetChecked(item->Checked());
}

// --- keyboard ---

void TKvTable::ScrollIntoView(int index) {
  if (index >= m_topIndex + m_visibleCount)
    SetTopIndex(m_topIndex + index - m_topIndex - m_visibleCount + 1);
  else if (index < m_topIndex)
    SetTopIndex(index);
}

void TKvTable::SelectItem(TKvListItem* item) {
  if (!item || item == m_selectedItem) return;
  ScrollIntoView(int(m_items.indexOf(item)));
  InvalidateItem(m_selectedItem);
  m_selectedItem = item;
  InvalidateItem(item);
}

void TKvTable::KeyDown(int& key, TShiftState shift) {
  TKvFloatObject::KeyDown(key, shift);
  switch (key) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Space:
    ToggleSelected();
    return;
  case Qt::Key_PageUp:
  case Qt::Key_PageDown:
  case Qt::Key_End:
  case Qt::Key_Home:
  case Qt::Key_Left:
  case Qt::Key_Up:
  case Qt::Key_Right:
  case Qt::Key_Down: {
    if (m_items.isEmpty()) return;
    int index = m_selectedItem ? int(m_items.indexOf(m_selectedItem)) : m_topIndex;
    switch (key) {
    case Qt::Key_Right:
    case Qt::Key_Down:
      ++index;
      break;
    case Qt::Key_Left:
    case Qt::Key_Up:
      --index;
      break;
    case Qt::Key_PageUp:
      index += 1 - m_visibleCount;
      break;
    case Qt::Key_PageDown:
      index += m_visibleCount - 1;
      break;
    case Qt::Key_Home:
      index = 0;
      break;
    default:
      index = ItemCount() - 1;
      break;
    }
    SelectItem(m_items[std::clamp(index, 0, ItemCount() - 1)]);
    return;
  }
  default:
    break;
  }
  if (key == Qt::Key_L && (shift & ssCtrl)) {
    ChooseLinkTarget();
    return;
  }
  // Letters with Ctrl or Alt are commands, not a search.
  if (key >= Qt::Key_0 && key <= Qt::Key_Z && !(shift & (ssCtrl | ssAlt))) {
    if (m_workArea->ActiveObject() != this) m_workArea->SelectObject(this);
    TKvEdit* editor = m_workArea->SearchEditor();
    const QPoint at = m_workArea->ToClient(QPoint(m_left, m_top + 1));
    editor->move(at);
    editor->OnKeyUp = [area = m_workArea, id = Id()](int k) {
      area->Guard([&] {
        if (TKvTable* table = area->TableById(id)) table->SearchKeyUp(k); // may have gone
      });
    };
    {
      const QSignalBlocker blocker(editor);
      editor->setText(QString(QChar(key)));
    }
    editor->resize(editor->fontMetrics().horizontalAdvance(editor->text()) + 20, 15);
    editor->setCursorPosition(int(editor->text().size()));
    editor->show();
    editor->raise();
    editor->setFocus();
    SearchKeyUp(0);
  }
}

void TKvTable::SearchKeyUp(int key) {
  TKvEdit* editor = m_workArea->SearchEditor();
  switch (key) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Escape:
  case Qt::Key_Down:
  case Qt::Key_Up:
  case Qt::Key_PageUp:
  case Qt::Key_PageDown:
    editor->hide();
    if (editor->OnExit) editor->OnExit();
    return;
  default:
    break;
  }
  const QString text = editor->text().toUpper();
  if (text.isEmpty()) return;
  for (TKvListItem* item : m_items)
    if (item->Name().toUpper().startsWith(text)) {
      SelectItem(item);
      return;
    }
}

// --- commands ---

void TKvTable::Close() {
  TCustomKvarta* owner = m_workArea->Owner();
  TKvUndoStep step(owner, KvResource::SUndoDeleteTable.arg(AliasOrName()));
  // Ask first, so a refused close leaves ticks and model as they were.
  if (owner && !owner->DoAddRemoveTable(this, kvaRemove)) return;
  m_closing = true;
  for (TKvListItem* item : m_items)
    if (item->Checked()) {
      item->m_checked = false;
      if (item->Kind() == ikField && m_workArea->OnFieldCheck) m_workArea->OnFieldCheck(this, item);
    }
  if (m_workArea->OnTableRemoved) m_workArea->OnTableRemoved(m_workArea, this);
  Invalidate(BoundsRect());
  m_workArea->SendMessage(KVM_REMOVETABLE, this, true); // asked above already
}

void TKvTable::Unlink() {
  TKvUndoStep step(m_workArea->Owner(), KvResource::SUndoUnlinkTable.arg(AliasOrName()));
  m_workArea->SendMessage(KVM_UNLINKTABLE, this);
}

void TKvTable::BeginAliasEdit() {
  if (!m_workArea->ActiveObject()) return;
  if (m_workArea->ActiveObject() != this) m_workArea->SelectObject(this);
  QLineEdit* editor = m_workArea->AliasEditor();
  editor->setGeometry(m_workArea->ToClient(CaptionTextRect()).translated(0, 1));
  editor->setText(AliasOrName());
  editor->selectAll();
  m_workArea->m_aliasEditing = true;
  editor->show();
  editor->raise();
  editor->setFocus();
}

void TKvTable::FillPopupMenu(QMenu* menu, int, int hitCode, int) {
  TKvWorkArea* area = m_workArea;
  auto command = [area, id = Id()](void (TKvTable::*action)()) {
    return [area, id, action] {
      area->Guard([&] {
        if (TKvTable* table = area->TableById(id)) (table->*action)();
      });
    };
  };
  if (hitCode == htCaption) {
    menu->addAction(KvResource::SMenuDeleteTable, command(&TKvTable::Close));
    menu->addSeparator();
    menu->addAction(KvResource::SMenuRenameTable, command(&TKvTable::BeginAliasEdit));
  } else if (hitCode == htBody && m_selectedItem && m_selectedItem->Kind() == ikField) {
    QAction* link = menu->addAction(KvResource::SMenuLinkFieldTo + QStringLiteral("\tCtrl+L"),
                                    command(&TKvTable::ChooseLinkTarget));
    link->setEnabled(area->Tables().size() > 1);
  }
}

void TKvTable::ChooseLinkTarget() {
  if (!m_selectedItem || m_selectedItem->Kind() != ikField) return;
  QMenu* menu = m_workArea->LinkMenu();
  m_workArea->FillLinkMenu(menu, this, m_selectedItem);
  if (menu->isEmpty()) return;
  const QRect row = ItemClientRect(int(m_items.indexOf(m_selectedItem)));
  menu->popup(m_workArea->viewport()->mapToGlobal(row.bottomLeft() + QPoint(m_itemHeight, 0)));
}

QColor TKvTable::GetClientColor() const {
  TCustomKvarta* owner = m_workArea->Owner();
  return KvColor(owner ? owner->Palette().TableClient() : clWhite);
}

// --- painting ---

void TKvTable::EnsureCache(qreal dpr) {
  const QRect client = ClientBounds();
  const quint64 stamp = m_workArea->LookStamp();
  // Options are only stored when written; they count as soon as the window is painted again.
  const int options = int(m_workArea->Owner()->Options());
  const QSize device = (QSizeF(client.size()) * dpr).toSize();
  const bool focused = m_active && m_workArea->hasFocus();
  if (m_cacheValid && m_cacheStamp == stamp && m_cacheOptions == options &&
      m_cacheFocused == focused && m_cache.size() == device && m_cache.devicePixelRatio() == dpr)
    return;
  if (m_cache.size() != device) m_cache = QPixmap(device);
  m_cache.setDevicePixelRatio(dpr);
  m_cache.fill(Qt::transparent);
  QPainter p(&m_cache);
  p.translate(-m_left, -m_top);
  Render(p);
  m_cacheValid = true;
  m_cacheStamp = stamp;
  m_cacheOptions = options;
  m_cacheFocused = focused;
}

void TKvTable::Paint(QPainter& painter) {
  EnsureCache(painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
  painter.drawPixmap(ClientBounds().topLeft(), m_cache);
}

void TKvTable::PreparePicture(qreal dpr) {
  if (NeedsPicture()) EnsureCache(dpr);
}

bool TKvTable::PaintVisible(QPainter& painter, const QRegion& client) {
  const QRect bounds = ClientBounds();
  if (m_cache.isNull() && !m_drawnStraight) {
    // First time shown: drawn straight. The picture costs more than the drawing and pays off
    // only once the window is drawn again.
    m_drawnStraight = true;
    painter.save();
    if (client != QRegion(bounds)) painter.setClipRegion(client, Qt::IntersectClip);
    painter.translate(bounds.topLeft() - QPoint(m_left, m_top));
    Render(painter);
    painter.restore();
    return true;
  }
  const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  EnsureCache(dpr);
  const QPoint origin = bounds.topLeft();
  for (const QRect& r : client)
    painter.drawPixmap(QRectF(r), m_cache,
                       QRectF(QPointF(r.topLeft() - origin) * dpr, QSizeF(r.size()) * dpr));
  return false;
}

void TKvTable::DrawEdge(QPainter& p, QRect r, int kind, bool flat) {
  const QPalette pal = m_workArea->palette();
  const QColor light = pal.color(QPalette::Light);
  const QColor midlight = pal.color(QPalette::Midlight);
  const QColor shadow = pal.color(QPalette::Mid);
  const QColor dark = pal.color(QPalette::Shadow);
  const QColor face = pal.color(QPalette::Button);
  auto frame = [&p](const QRect& rc, const QColor& topLeft, const QColor& bottomRight) {
    if (rc.width() <= 0 || rc.height() <= 0) return;
    p.fillRect(QRect(rc.left(), rc.top(), rc.width(), 1), topLeft);
    p.fillRect(QRect(rc.left(), rc.top(), 1, rc.height()), topLeft);
    p.fillRect(QRect(rc.left(), rc.bottom(), rc.width(), 1), bottomRight);
    p.fillRect(QRect(rc.right(), rc.top(), 1, rc.height()), bottomRight);
  };
  const QRect inner = r.adjusted(1, 1, -1, -1);
  if (flat) {
    frame(r, shadow, shadow);
    frame(inner, face, face);
    return;
  }
  switch (kind) {
  case kvkBump:
    frame(r, midlight, dark);
    frame(inner, shadow, light);
    break;
  case kvkEtched:
    frame(r, shadow, light);
    frame(inner, light, shadow);
    break;
  case kvkSunken:
    frame(r, shadow, light);
    frame(inner, dark, midlight);
    break;
  default: // raised
    frame(r, midlight, dark);
    frame(inner, light, shadow);
    break;
  }
}

void TKvTable::DrawButton(QPainter& p, int index, int state) {
  const QRect r = ButtonRect(index);
  const bool flatButtons = m_workArea->Owner()->Style().ObjectStyle().FlatButtons();
  const QColor grey(128, 128, 128);
  QColor topLeft = Qt::white;
  QColor bottomRight = grey;
  if (state == 0) {
    topLeft = Qt::black;
    bottomRight = Qt::white;
  } else if (state == 1 && flatButtons) {
    topLeft = grey;
  }
  p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
  p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
  p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
  p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
  static const char* const names[] = {"BTN1", "BTN2", "BTN3"};
  const QPixmap glyph =
      KvTransparentBitmap(QLatin1String(names[index]), p.device()->devicePixelRatio());
  p.save();
  p.setClipRect(r.adjusted(1, 1, -1, -1), Qt::IntersectClip);
  p.drawPixmap(r.left() + 1, r.top() + 1, glyph);
  p.restore();
}

void TKvTable::Render(QPainter& p) {
  TCustomKvarta* owner = m_workArea->Owner();
  const TKvPalette& pal = owner->Palette();
  const TKvObjectStyle& style = owner->Style().ObjectStyle();
  const QRect bounds = BoundsRect();

  p.fillRect(CaptionStripRect(), KvColor(m_active ? pal.ActiveCaption() : pal.InactiveCaption()));
  if (m_expanded) {
    // Rows frame first so the outer edge stays on top where they meet.
    const QRect rowsFrame(m_left + m_borderWidth, m_top + m_captionHeight,
                          m_width - 2 * m_borderWidth, m_height - m_captionHeight - m_borderWidth);
    p.fillRect(QRect(m_left, m_top + m_captionHeight, m_width, m_height - m_captionHeight),
               KvColor(pal.InactiveCaption()));
    RenderRows(p);
    DrawEdge(p, rowsFrame, kvkSunken, style.Flat());
  }
  DrawEdge(p, bounds, style.BorderKind(), style.Flat());
  if (m_active && m_workArea->hasFocus()) {
    // The window the keyboard works on.
    p.setPen(QPen(m_workArea->palette().color(QPalette::Highlight), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(bounds).adjusted(1, 1, -1, -1));
  }

  p.setFont(m_workArea->BoldFieldFont());
  p.setPen(Qt::black);
  const QRect text = CaptionTextRect();
  const QString caption = Caption().isEmpty() ? QStringLiteral(" ") : Caption();
  p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             p.fontMetrics().elidedText(caption, Qt::ElideRight, text.width()));

  for (int i = 0; i < 3; ++i) {
    int state = 1;
    if (i == m_pressedButton)
      state = m_pressedOver ? 0 : 1;
    else if (i == m_hotButton && m_pressedButton == -1 && m_active)
      state = 2;
    DrawButton(p, i, state);
  }

  static const char* const boxes[] = {"BOX1", "BOX2", "BOX3"};
  p.drawPixmap(CheckBoxDrawRect().topLeft(),
               KvBitmap(QLatin1String(boxes[m_checkState]), p.device()->devicePixelRatio()));
}

void TKvTable::RenderRows(QPainter& p) {
  const QRect rows = RowsRect();
  if (rows.isEmpty()) return;
  p.save();
  p.setClipRect(rows, Qt::IntersectClip); // within what the caller shows
  p.fillRect(rows, GetClientColor());
  const TKvOptions options = m_workArea->Owner()->Options();
  const bool showSelection = m_active || !(options & kvoHideSelection);
  const TKvListItem* drop = m_workArea->DropHighlight();
  const int last = std::min(m_topIndex + m_visibleCount, ItemCount() - 1);
  for (int i = m_topIndex; i <= last; ++i) {
    const TKvListItem* item = m_items[i];
    RenderItem(p, item, ItemRect(i), showSelection && item == m_selectedItem, m_active,
               item == drop);
  }
  p.restore();
}

void TKvTable::RenderItem(QPainter& p, const TKvListItem* item, QRect rect, bool selected,
                          bool windowActive, bool dropTarget) {
  TCustomKvarta* owner = m_workArea->Owner();
  const TKvPalette& pal = owner->Palette();
  p.setFont(item->Bold() ? m_workArea->BoldFieldFont() : m_workArea->FieldFont());
  QColor brush = GetClientColor();
  QColor textColor = KvColor(pal.ItemText());
  if (selected) {
    brush = SelectedRowColor;
    textColor = KvColor(pal.SelectedItemText());
  }
  if (dropTarget) {
    brush = DropRowColor;
    textColor = KvColor(pal.SelectedItemText());
  }
  const char* tick = item->Kind() == ikField ? (item->Checked() ? "CHECKBMP" : "UNCHECKBMP")
                                             : (item->Checked() ? "INPUTPARAM" : "INPUTNULL");
  p.drawPixmap(rect.left(), rect.top() + 1,
               KvTransparentBitmap(QLatin1String(tick), p.device()->devicePixelRatio()));
  rect.setLeft(rect.left() + m_itemHeight);
  p.fillRect(rect, brush);
  QString text = QLatin1Char(' ') + item->Name();
  if (owner->Options() & kvoShowFieldTypes)
    text += QStringLiteral(" (") + KvFieldTypeName(item->DataType()) + QLatin1Char(')');
  p.setPen(textColor);
  p.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  if (selected && windowActive) {
    QPen pen(textColor == Qt::white ? QColor(64, 64, 64) : textColor, 1, Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect.adjusted(0, 0, -1, -1));
  }
}
