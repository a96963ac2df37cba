#include "KvFloatPanel.h"

#include "KvBitmaps.h"
#include "KvDataSet.h"
#include "KvError.h"
#include "KvLinkProp.h"
#include "KvLinks.h"
#include "KvResource.h"
#include "KvUndo.h"
#include "KvWindow.h"

#include <QApplication>
#include <QDrag>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>

const QString TKvWorkArea::FieldMimeType = QStringLiteral("application/x-kvarta-field");

namespace {

bool IsMoveResizeCode(int code) {
  return code >= htLeft && code <= htCaption;
}

} // namespace

QString KvWrapText(const QString& text, const QFont& font, int width) {
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  QStringList lines;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    lines << text.mid(line.textStart(), line.textLength()).trimmed();
  }
  layout.endLayout();
  return lines.join(QLatin1Char('\n'));
}

// --- TKvEdit ---

TKvEdit::TKvEdit(QWidget* parent) : QLineEdit(parent) {
  setFrame(false);
}

void TKvEdit::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  QPainter p(this);
  p.setPen(palette().color(QPalette::Shadow));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TKvEdit::keyPressEvent(QKeyEvent* event) {
  QLineEdit::keyPressEvent(event);
  event->accept(); // keys typed here are not for the surface behind
}

void TKvEdit::keyReleaseEvent(QKeyEvent* event) {
  QLineEdit::keyReleaseEvent(event);
  if (OnKeyUp) OnKeyUp(event->key());
}

void TKvEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (OnExit) OnExit();
}

// --- construction ---

TKvWorkArea::TKvWorkArea(TCustomKvarta* owner) : QAbstractScrollArea(owner), m_owner(owner) {
  if (!owner) throw EKvError(KvResource::SInvalidWorkAreaParent);
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  m_fieldFont = QApplication::font();
  m_boldFieldFont = m_fieldFont;
  m_boldFieldFont.setBold(true);

  m_hintWindow = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
  QPalette hintPalette = m_hintWindow->palette();
  hintPalette.setColor(QPalette::Window, KvColor(clInfoBk));
  hintPalette.setColor(QPalette::WindowText, KvColor(clSystemColor + 23));
  m_hintWindow->setPalette(hintPalette);
  m_hintWindow->setAutoFillBackground(true);
  m_hintWindow->setFrameShape(QFrame::Box);
  m_hintWindow->setMargin(2);
  m_hintWindow->setWordWrap(false);
  m_hintWindow->hide();

  m_rowScrollBar = new QScrollBar(Qt::Vertical, viewport());
  m_rowScrollBar->setFocusPolicy(Qt::NoFocus);
  m_rowScrollBar->hide();
  connect(m_rowScrollBar, &QScrollBar::valueChanged, this,
          [this](int value) { Guard([&] { RowScrollBarChanged(value); }); });

  m_aliasEditor = new QLineEdit(viewport());
  m_aliasEditor->setFrame(false);
  m_aliasEditor->setFont(m_boldFieldFont);
  m_aliasEditor->hide();
  m_aliasEditor->installEventFilter(this);
  QPalette aliasPalette = m_aliasEditor->palette();
  aliasPalette.setColor(QPalette::Base, KvColor(m_owner->Palette().ActiveCaption()));
  m_aliasEditor->setPalette(aliasPalette);

  m_searchEditor = new TKvEdit(viewport());
  m_searchEditor->resize(40, 15);
  m_searchEditor->hide();
  QPalette searchPalette = m_searchEditor->palette();
  searchPalette.setColor(QPalette::Base, SurfaceColor());
  m_searchEditor->setPalette(searchPalette);
  m_searchEditor->OnExit = [this] { SearchEditorExit(); };
  connect(m_searchEditor, &QLineEdit::textChanged, this,
          [this](const QString& text) { Guard([&] { SearchEditorChanged(text); }); });

  m_surfaceMenu = new QMenu(this);
  m_linkMenu = new QMenu(this);
  m_linkProp = new TfmLinkProp(this);
  UpdateScrollRanges();
}

TKvWorkArea::~TKvWorkArea() {
  // The component is going away: no events, and the model is not touched.
  m_gesture.reset();
  m_activeObject = nullptr;
  m_hotObject = nullptr;
  qDeleteAll(m_links);
  qDeleteAll(m_joins);
  qDeleteAll(m_tables);
  qDeleteAll(m_graveyard);
}

QColor TKvWorkArea::SurfaceColor() const {
  return palette().color(QPalette::Mid).lighter(135);
}

qreal TKvWorkArea::PaintRatio() const {
  return viewport()->devicePixelRatioF();
}

void TKvWorkArea::LookChanged() {
  ++m_lookStamp;
  QPalette aliasPalette = m_aliasEditor->palette();
  aliasPalette.setColor(QPalette::Base, KvColor(m_owner->Palette().ActiveCaption()));
  m_aliasEditor->setPalette(aliasPalette);
  InvalidateAll();
}

// --- objects ---

TKvTable* TKvWorkArea::ActiveTable() const {
  return IsTable(m_activeObject) ? static_cast<TKvTable*>(m_activeObject) : nullptr;
}

bool TKvWorkArea::IsTable(const TKvFloatObject* object) const {
  return object && std::find(m_tables.cbegin(), m_tables.cend(), object) != m_tables.cend();
}

TKvTable* TKvWorkArea::TableById(quint64 id) const {
  for (TKvTable* table : m_tables)
    if (table->Id() == id) return table;
  return nullptr;
}

TKvLink* TKvWorkArea::LinkById(quint64 id) const {
  for (TKvLink* link : m_links)
    if (link->Id() == id) return link;
  return nullptr;
}

void TKvWorkArea::SetCurrentLink(TKvLink* link) {
  m_currentLink = link ? link->Id() : 0;
}

bool TKvWorkArea::IsLink(const TKvFloatObject* object) const {
  return object && std::find(m_links.cbegin(), m_links.cend(), object) != m_links.cend();
}

void TKvWorkArea::SelectObject(TKvFloatObject* object) {
  if (m_activeObject == object) return;
  if (m_activeObject) {
    TKvFloatObject* old = m_activeObject;
    m_activeObject = nullptr;
    old->SetActive(false);
  }
  m_activeObject = object;
  if (object) object->SetActive(true);
}

void TKvWorkArea::FitTableWidth(TKvTable* table) {
  const QFontMetrics bold(m_boldFieldFont);
  const int needed = table->Width() - table->CaptionTextRect().width() +
                     bold.horizontalAdvance(table->Caption()) + 2;
  if (needed > table->Width()) table->SetWidth(needed);
  // Field names are made to fit as well (up to a point): a name cut short helps nobody.
  int widest = 0;
  for (const TKvListItem* item : table->Items())
    widest = std::max(widest, bold.horizontalAdvance(QLatin1Char(' ') + item->Name()));
  const bool scrolls = table->Items().size() > table->VisibleCount();
  const int rowsNeed = widest + table->ItemHeight() +
                       2 * (table->BorderWidth() + table->FrameWidth()) +
                       (scrolls ? table->ScrollBarWidth() : 0) + 4;
  if (rowsNeed > table->Width()) table->SetWidth(std::min(rowsNeed, 320));
}

TKvTable* TKvWorkArea::AddTable(const QString& tableName, const TKvDataSet* dataSet) {
  // A name the surface or the model already gives a table is taken: the new window gets the
  // next numbered alias (EMPLOYEE1, EMPLOYEE2 ...).
  auto taken = [this](const QString& key) {
    return TableByKey(key) || (m_owner && m_owner->ModelTable(key));
  };
  QString alias = tableName;
  for (int counter = 1; taken(alias); ++counter)
    alias = tableName + QString::number(counter);
  TKvUndoStep step(m_owner, KvResource::SUndoAddTable.arg(alias));
  return AddTableAs(tableName, alias == tableName ? QString() : alias, dataSet);
}

TKvTable* TKvWorkArea::AddTableAs(const QString& tableName, const QString& alias,
                                  const TKvDataSet* dataSet) {
  SelectObject(nullptr);
  auto* table = new TKvTable(this, tableName, dataSet);
  table->SetAlias(alias);
  if (TableByKey(table->AliasOrName()) || (m_owner && !m_owner->DoAddRemoveTable(table, kvaAdd))) {
    delete table;
    return nullptr;
  }
  FitTableWidth(table);

  const QPoint place = FreePlace(table->BoundsRect().size(), {});
  table->MoveBy(place.x() - table->Left(), place.y() - table->Top());
  m_tables.prepend(table);
  if (OnTableAdded) OnTableAdded(this, table);
  SelectObject(table);
  return table;
}

void TKvWorkArea::Clear() {
  m_hotObject = nullptr;
  m_activeObject = nullptr;
  m_currentLink = 0;
  m_movingTable = nullptr;
  m_dropItem = nullptr;
  m_dropTable = nullptr;
  m_dropHighlight = nullptr;
  m_rowScrollBar->hide();
  m_aliasEditing = false;
  m_aliasEditor->hide();
  m_searchEditor->hide();
  qDeleteAll(m_links);
  m_links.clear();
  qDeleteAll(m_joins);
  m_joins.clear();
  qDeleteAll(m_tables);
  m_tables.clear();
  InvalidateAll();
}

TKvTable* TKvWorkArea::FindTable(const QString& name) const {
  const QString key = name.trimmed();
  if (key.isEmpty()) return m_tables.size() == 1 ? m_tables.first() : nullptr;
  for (TKvTable* table : m_tables)
    if (table->AliasOrName() == key) return table;
  return nullptr;
}

void TKvWorkArea::BringToFront(TKvTable* table) {
  const qsizetype index = m_tables.indexOf(table);
  if (index > 0) {
    m_tables.move(index, 0);
    InvalidateLogical(table->BoundsRect());
  }
}

QList<TKvLink*> TKvWorkArea::LinksOf(const TKvTable* table) const {
  QList<TKvLink*> result;
  for (TKvLink* link : m_links)
    if (link->Join()->Table1() == table || link->Join()->Table2() == table) result.append(link);
  return result;
}

// --- coordinates and invalidation ---

QPoint TKvWorkArea::ScrollPos() const {
  return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void TKvWorkArea::ScrollTo(int x, int y) {
  horizontalScrollBar()->setValue(x);
  verticalScrollBar()->setValue(y);
}

void TKvWorkArea::InvalidateLogical(const QRect& logical) {
  if (logical.isEmpty()) return;
  InvalidateClient(QRegion(ToClient(logical)));
}

void TKvWorkArea::InvalidateClient(const QRegion& client) {
  if (client.isEmpty()) return;
  if (m_trackInvalidated) m_invalidated += client;
  m_linkDirty += client;
  viewport()->update(client);
}

void TKvWorkArea::InvalidateAll() {
  m_linkDirty = QRegion(viewport()->rect());
  if (m_trackInvalidated) m_invalidated += viewport()->rect();
  viewport()->update();
}

QRegion TKvWorkArea::TakeInvalidated() {
  QRegion result = m_invalidated.intersected(viewport()->rect());
  m_invalidated = QRegion();
  return result;
}

void TKvWorkArea::UpdateScrollRanges() {
  const QSize size = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, CanvasSize - size.width()));
  horizontalScrollBar()->setPageStep(size.width());
  horizontalScrollBar()->setSingleStep(16);
  verticalScrollBar()->setRange(0, std::max(0, CanvasSize - size.height()));
  verticalScrollBar()->setPageStep(size.height());
  verticalScrollBar()->setSingleStep(16);
}

void TKvWorkArea::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRanges();
}

void TKvWorkArea::scrollContentsBy(int dx, int dy) {
  HideHint();
  // The drawn links move with the surface; only the uncovered strips need drawing again.
  if (!m_linkLayer.isNull()) {
    const qreal dpr = m_linkLayer.devicePixelRatio();
    QImage moved(m_linkLayer.size(), m_linkLayer.format());
    moved.setDevicePixelRatio(dpr);
    moved.fill(Qt::transparent);
    QPainter p(&moved);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(dx, dy), m_linkLayer);
    p.end();
    m_linkLayer = moved;
    m_linkLayerScroll = ScrollPos();
    const QRect view = viewport()->rect();
    m_linkDirty = m_linkDirty.translated(dx, dy).intersected(view);
    m_linkDirty += QRegion(view).subtracted(QRegion(view.translated(dx, dy)));
  }
  viewport()->scroll(dx, dy);
}

// --- messages ---

void TKvWorkArea::SendMessage(TKvMessage message, const TKvFloatObject* object, bool approved) {
  TKvObjectEvent event(message, object, approved);
  QCoreApplication::sendEvent(this, &event);
}

void TKvWorkArea::PostMessage(TKvMessage message, const TKvFloatObject* object) {
  QCoreApplication::postEvent(this, new TKvObjectEvent(message, object));
}

// The boundary of the component's event handling: an error raised while an event is handled is
// reported through the component (and a gesture under way is undone), never passed on to Qt.
bool TKvWorkArea::event(QEvent* event) {
  try {
    const int type = int(event->type());
    if (type >= KVM_TABLEMOVED && type <= KVM_REMOVELINK) {
      HandleObjectEvent(static_cast<TKvObjectEvent*>(event));
      return true;
    }
    return QAbstractScrollArea::event(event);
  } catch (...) {
    Failed();
    return true;
  }
}

bool TKvWorkArea::viewportEvent(QEvent* event) {
  try {
    return QAbstractScrollArea::viewportEvent(event);
  } catch (...) {
    Failed();
    return true;
  }
}

void TKvWorkArea::Guard(const std::function<void()>& action) {
  try {
    action();
  } catch (...) {
    Failed();
  }
}

void TKvWorkArea::Failed() noexcept {
  try {
    m_leftDown = false;
    m_dragRequested = false;
    m_movingTable = nullptr;
    CancelGesture();
  } catch (...) {
    // Reporting the first error matters more.
  }
  m_owner->HandleException();
}

void TKvWorkArea::HandleObjectEvent(TKvObjectEvent* event) {
  // A posted message may arrive after its object went away (Clear, undo): found by id or not.
  const quint64 id = event->ObjectId;
  switch (int(event->type())) {
  case KVM_TABLEMOVED:
    if (TKvTable* table = TableById(id)) TableMoved(table);
    break;
  case KVM_TABLESIZED:
    if (TKvTable* table = TableById(id)) TableSized(table);
    break;
  case KVM_REMOVETABLE:
    if (TKvTable* table = TableById(id)) RemoveTable(table, event->Approved);
    break;
  case KVM_UNLINKTABLE:
    if (TKvTable* table = TableById(id)) UnlinkTable(table);
    break;
  case KVM_REMOVELINK:
    if (TKvLink* link = LinkById(id)) {
      TKvUndoStep step(m_owner, KvResource::SUndoDeleteLink.arg(link->GetHint()));
      if (!m_owner || m_owner->DoAddRemoveLink(link, kvaRemove))
        RemoveLink(link, int(m_links.indexOf(link)), true);
    }
    break;
  default:
    break;
  }
}

void TKvWorkArea::RemoveTable(TKvTable* table, bool approved) {
  if (!approved && m_owner && !m_owner->DoAddRemoveTable(table, kvaRemove)) return;
  UnlinkTable(table);
  DropTable(table);
}

void TKvWorkArea::DropTable(TKvTable* table) {
  for (TKvLink* link : LinksOf(table))
    DropLink(link);
  m_tables.removeOne(table);
  if (m_hotObject == table) m_hotObject = nullptr;
  if (m_activeObject == table) {
    m_activeObject = nullptr;
    table->SetActive(false);
  }
  if (m_movingTable == table) m_movingTable = nullptr;
  if (m_dropTable == table) m_dropTable = nullptr;
  if (m_dropHighlight && m_dropHighlight->Table() == table) m_dropHighlight = nullptr;
  if (m_dropItem && m_dropItem->Table() == table) m_dropItem = nullptr;
  InvalidateLogical(table->BoundsRect());
  Bury(table);
}

void TKvWorkArea::DropLink(TKvLink* link) {
  if (m_hotObject == link) m_hotObject = nullptr;
  if (m_activeObject == link) {
    m_activeObject = nullptr;
    link->SetActive(false);
  }
  link->InvalidateRegion(0);
  m_links.removeOne(link);
  TKvJoin* join = link->Join();
  Bury(link);
  DeleteJoinIfUnused(join);
}

void TKvWorkArea::FillLinkMenu(QMenu* menu, TKvTable* table, TKvListItem* item) {
  menu->clear();
  QList<TKvTable*> others = m_tables;
  others.removeOne(table);
  std::sort(others.begin(), others.end(), [](const TKvTable* a, const TKvTable* b) {
    return a->AliasOrName() < b->AliasOrName();
  });
  const quint64 from = table->Id();
  const QString fromRow = item->Name();
  for (TKvTable* other : std::as_const(others)) {
    QMenu* rows = menu->addMenu(other->AliasOrName());
    for (TKvListItem* row : other->Items()) {
      if (row->Kind() != ikField) continue;
      QAction* action = rows->addAction(row->Name());
      action->setEnabled(KvTypesCompatible(item->DataType(), row->DataType()) &&
                         !LinkExists(table, other, item, row));
      connect(action, &QAction::triggered, this,
              [this, from, fromRow, to = other->Id(), toRow = row->Name()] {
                Guard([&] {
                  TKvTable* t1 = TableById(from);
                  TKvTable* t2 = TableById(to);
                  if (t1 && t2) AddLink(t1, t2, t1->FindItem(fromRow), t2->FindItem(toRow));
                });
              });
    }
  }
}

void TKvWorkArea::CloseEditors() {
  m_aliasEditing = false;
  m_aliasEditor->hide();
  m_searchEditor->hide();
}

QPoint TKvWorkArea::FreePlace(QSize size, const QSet<const TKvTable*>& ignore) const {
  // Only moves to the right: the row at y 20 fills up from the left.
  QRect place(QPoint(50, 20), size);
  for (bool again = true; again;) {
    again = false;
    for (const TKvTable* other : m_tables)
      if (!ignore.contains(other) && place.intersects(other->BoundsRect())) {
        place.moveLeft(other->Left() + other->Width() + 10);
        again = true;
        break;
      }
  }
  return place.topLeft();
}

void TKvWorkArea::Bury(TKvFloatObject* object) {
  // The object's own handler may still be on the stack (the close button): free it afterwards.
  m_graveyard.append(object);
  QMetaObject::invokeMethod(
      this,
      [this] {
        qDeleteAll(m_graveyard);
        m_graveyard.clear();
      },
      Qt::QueuedConnection);
}

void TKvWorkArea::UnlinkTable(TKvTable* table) {
  for (int i = 0; i < m_links.size();) {
    TKvLink* link = m_links[i];
    if (link->Join()->Table1() == table || link->Join()->Table2() == table)
      RemoveLink(link, i, true);
    else
      ++i;
  }
}

// --- painting ---

void TKvWorkArea::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  PaintSurface(painter, event->rect());
}

void TKvWorkArea::PaintSurface(QPainter& painter, const QRect& clip) {
  const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  // Topmost window first: whatever is covered already is not drawn at all. A window is cut only
  // by the windows above that touch it; one region of everything above grows far too big.
  QList<QRect> above;
  QList<QPair<TKvTable*, QRegion>> visible;
  for (TKvTable* table : m_tables) {
    const QRect bounds = table->ClientBounds().intersected(clip);
    if (bounds.isEmpty()) continue;
    QRegion part(bounds);
    for (const QRect& r : std::as_const(above))
      if (r.intersects(bounds)) {
        part -= r;
        if (part.isEmpty()) break;
      }
    if (part.isEmpty()) continue;
    visible.append({table, part});
    above.append(bounds);
  }
  // The windows are opaque: background and links may run under them (cheaper than clipping).
  painter.save();
  painter.fillRect(clip, SurfaceColor());
  // Links run under the windows; they come from a picture kept between frames. The first frame
  // draws them straight: filling and blending a screen-sized layer costs more than the links.
  if (m_linkLayer.isNull() && !m_linksDrawnStraight) {
    painter.setClipRect(clip, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRect logical = clip.translated(ScrollPos());
    for (TKvLink* link : m_links)
      if (link->Bounds().intersects(logical)) {
        link->Paint(painter);
        m_linksDrawnStraight = true;
      }
  } else {
    PaintLinkLayer(clip, dpr);
    const QRectF source(QPointF(clip.topLeft()) * dpr, QSizeF(clip.size()) * dpr);
    painter.drawImage(QRectF(clip), m_linkLayer, source);
  }
  painter.restore();
  bool straight = m_linkLayer.isNull() && m_linksDrawnStraight;
  for (const auto& [table, part] : visible)
    straight = table->PaintVisible(painter, part) || straight;
  if (straight && !m_picturesPending) {
    // What the first frame drew straight gets its pictures once the program is idle, so that
    // the next frames (a drag, a scroll) do not pay for them.
    m_picturesPending = true;
    QTimer::singleShot(0, this, [this, dpr] { PreparePictures(dpr); });
  }
  if (m_movingTable) {
    // While a window is dragged its links run over the other windows, never over itself.
    painter.save();
    painter.setClipRegion(QRegion(clip).subtracted(QRegion(m_movingTable->ClientBounds())));
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (TKvLink* link : LinksOf(m_movingTable))
      link->Paint(painter);
    painter.restore();
  }
  if (TKvLink* link = IsLink(m_activeObject) ? static_cast<TKvLink*>(m_activeObject) : nullptr) {
    const QList<QPoint> band = link->RubberBand();
    if (!band.isEmpty()) {
      painter.save();
      painter.setRenderHint(QPainter::Antialiasing, false);
      painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
      painter.drawPolyline(band.constData(), int(band.size()));
      painter.restore();
    }
  }
}

void TKvWorkArea::PreparePictures(qreal dpr) {
  // In slices of a few milliseconds, so that a mouse click or key press waits no longer.
  QElapsedTimer slice;
  slice.start();
  const auto later = [this, dpr] {
    QTimer::singleShot(0, this, [this, dpr] { PreparePictures(dpr); });
  };
  if (m_linksDrawnStraight) PaintLinkLayer(viewport()->rect(), dpr);
  for (TKvTable* table : std::as_const(m_tables)) {
    if (!table->NeedsPicture()) continue;
    if (slice.elapsed() >= 8) return later();
    table->PreparePicture(dpr);
  }
  m_picturesPending = false;
}

void TKvWorkArea::PaintLinkLayer(const QRect& clip, qreal dpr) {
  const QSize size = (QSizeF(viewport()->size()) * dpr).toSize();
  if (m_linkLayer.size() != size || m_linkLayer.devicePixelRatio() != dpr) {
    m_linkLayer = QImage(size, QImage::Format_ARGB32_Premultiplied);
    m_linkLayer.setDevicePixelRatio(dpr);
    m_linkLayerScroll = ScrollPos();
    m_linkDirty = QRegion(viewport()->rect());
  } else if (m_linkLayerScroll != ScrollPos()) {
    // Scrolled: the same picture is drawn again where it shows (a new one would cost its memory).
    m_linkLayerScroll = ScrollPos();
    m_linkDirty = QRegion(viewport()->rect());
  }
  const QRegion todo = m_linkDirty.intersected(clip);
  if (todo.isEmpty()) return;
  m_linkDirty -= todo;
  QPainter p(&m_linkLayer);
  p.setClipRegion(todo);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(todo.boundingRect(), Qt::transparent);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRect logical = todo.boundingRect().translated(ScrollPos());
  for (TKvLink* link : m_links)
    if (link->Bounds().intersects(logical)) link->Paint(p);
}

// --- hit testing and mouse ---

TKvFloatObject* TKvWorkArea::ObjectAt(QPoint client, int& code) const {
  for (TKvTable* table : m_tables) {
    code = table->HitTest(client);
    if (code != htNone) return table;
  }
  const QPoint logical = ToLogical(client);
  for (TKvLink* link : m_links) {
    if (!link->MayHit(logical)) continue;
    code = link->HitTest(client);
    if (code != htNone) return link;
  }
  code = htNone;
  return nullptr;
}

void TKvWorkArea::SetCursorFor(int code) {
  Qt::CursorShape shape = Qt::ArrowCursor;
  switch (code) {
  case htLeft:
  case htRight:
    shape = Qt::SizeHorCursor;
    break;
  case htTop:
  case htBottom:
    shape = Qt::SizeVerCursor;
    break;
  case htTopLeft:
  case htBottomRight:
    shape = Qt::SizeFDiagCursor;
    break;
  case htBottomLeft:
  case htTopRight:
    shape = Qt::SizeBDiagCursor;
    break;
  case htEndPoint:
    shape = Qt::UpArrowCursor;
    break;
  case htBendPoint:
    shape = Qt::SizeAllCursor;
    break;
  default:
    break;
  }
  viewport()->setCursor(shape);
}

void TKvWorkArea::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (pos == m_lastMousePoint) return;
  m_lastMousePoint = pos;
  HideHint();
  TKvMouseMsg msg{pos, Qt::NoButton, event->buttons(), event->modifiers(), false};
  const bool leftDown = (event->buttons() & Qt::LeftButton) && m_leftDown;
  if (leftDown && m_dragRequested && !m_fieldDragging &&
      (pos - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
    m_dragRequested = false;
    StartFieldDrag();
    return;
  }
  if (!leftDown) {
    int code = htNone;
    TKvFloatObject* object = ObjectAt(pos, code);
    SetCursorFor(code);
    if (!object) {
      TKvFloatObject* old = m_hotObject;
      const int oldCode = m_hitCode;
      m_hotObject = nullptr;
      m_hitCode = htNone;
      if (old) old->MouseLeave(msg, oldCode);
      return;
    }
    if (object != m_hotObject || code != m_hitCode) {
      if (m_hotObject) m_hotObject->MouseLeave(msg, m_hitCode);
      m_hotObject = object;
      m_hitCode = code;
    }
    m_hoverPoint = pos;
    object->MouseMove(msg, code);
    m_hintDelay.start(HintDelay, this);
    return;
  }
  if (m_aliasEditor->isVisible()) m_aliasEditor->hide();
  if (!m_hotObject) return;
  if (!IsMoveResizeCode(m_hitCode)) {
    m_hotObject->MouseMove(msg, m_hitCode);
    return;
  }
  MoveOrResize(pos);
}

void TKvWorkArea::MoveOrResize(QPoint client) {
  if (!IsTable(m_hotObject)) return;
  auto* table = static_cast<TKvTable*>(m_hotObject);
  const QPoint l = ToLogical(client);
  const int code = m_hitCode;
  if (code == htCaption) {
    const QRect bounds = table->BoundsRect();
    const int left = std::clamp(l.x() - m_grabPoint.x(), 0, CanvasSize - bounds.width());
    const int top = std::clamp(l.y() - m_grabPoint.y(), 0, CanvasSize - bounds.height());
    table->MoveBy(left - table->Left(), top - table->Top());
    // Follow the mouse beyond the visible part.
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const QSize size = viewport()->size();
    if (client.x() > size.width() && l.x() < CanvasSize)
      h->setValue(h->value() + client.x() - size.width());
    else if (client.x() < 0 && h->value() >= 1)
      h->setValue(h->value() + client.x());
    if (client.y() > size.height() && l.y() < CanvasSize)
      v->setValue(v->value() + client.y() - size.height());
    else if (client.y() < 0 && v->value() >= 1)
      v->setValue(v->value() + client.y());
    return;
  }
  if (code == htLeft || code == htTopLeft || code == htBottomLeft)
    table->ResizeLeft(std::max(0, l.x() - m_grabPoint.x()) - table->Left());
  if (code == htTop || code == htTopLeft || code == htTopRight)
    table->ResizeTop(std::max(0, l.y() - m_grabPoint.y()) - table->Top());
  if (code == htRight || code == htTopRight || code == htBottomRight)
    table->SetWidth(std::min(l.x() - table->Left(), CanvasSize - table->Left()));
  if (code == htBottom || code == htBottomLeft || code == htBottomRight)
    table->SetHeight(std::min(l.y() - table->Top(), CanvasSize - table->Top()));
}

void TKvWorkArea::mousePressEvent(QMouseEvent* event) {
  HideHint();
  m_hintDelay.stop();
  setFocus(Qt::MouseFocusReason);
  if (event->button() != Qt::LeftButton) return;
  EndGesture(); // a release that never came
  const QPoint pos = event->position().toPoint();
  TKvMouseMsg msg{pos, Qt::LeftButton, event->buttons(), event->modifiers(), false};
  // The press decides on what is under it now, even without a preceding move.
  int code = htNone;
  TKvFloatObject* object = ObjectAt(pos, code);
  if (object != m_hotObject || code != m_hitCode) {
    if (m_hotObject) m_hotObject->MouseLeave(msg, m_hitCode);
    m_hotObject = object;
    m_hitCode = code;
  }
  m_lastMousePoint = pos;
  m_leftDown = true;
  m_pressPoint = pos;
  m_dragRequested = false;
  if (m_activeObject != m_hotObject) SelectObject(m_hotObject);
  if (!m_hotObject) return;
  TKvFloatObject* hot = m_hotObject;
  hot->MouseDown(msg, m_hitCode);
  if (IsMoveResizeCode(m_hitCode) && IsTable(hot)) {
    auto* table = static_cast<TKvTable*>(hot);
    m_grabPoint = ToLogical(pos) - QPoint(table->Left(), table->Top());
    using namespace KvResource;
    BeginGesture(
        (m_hitCode == htCaption ? SUndoMoveTable : SUndoResizeTable).arg(table->AliasOrName()));
    if (m_hitCode == htCaption) {
      m_movingTable = table;
      for (TKvLink* link : LinksOf(table))
        link->InvalidateRegion(0);
    }
  }
}

void TKvWorkArea::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  TKvMouseMsg msg{pos, event->button(), event->buttons(), event->modifiers(), false};
  if (event->button() == Qt::LeftButton) {
    m_leftDown = false;
    m_dragRequested = false;
    if (m_movingTable) {
      // Back under the other windows.
      for (TKvLink* link : LinksOf(m_movingTable))
        link->InvalidateRegion(0);
      m_movingTable = nullptr;
    }
    if (m_hotObject) m_hotObject->MouseUp(msg, m_hitCode);
    EndGesture();
    return;
  }
  if (event->button() != Qt::RightButton) return;
  int code = htNone;
  TKvFloatObject* object = ObjectAt(pos, code);
  if (!object) return;
  m_surfaceMenu->clear();
  SelectObject(nullptr);
  for (TKvTable* table : m_tables)
    if (table->Active()) table->SetActive(false);
  for (TKvLink* link : m_links)
    if (link->Active()) link->SetActive(false);
  SelectObject(object);
  object->FillPopupMenu(m_surfaceMenu, pos.x(), code, pos.y());
  if (!m_surfaceMenu->isEmpty()) m_surfaceMenu->popup(viewport()->mapToGlobal(pos));
}

void TKvWorkArea::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  m_leftDown = true;
  TKvMouseMsg msg{event->position().toPoint(), Qt::LeftButton, event->buttons(), event->modifiers(),
                  false};
  if (IsLink(m_activeObject)) {
    ShowLinkProperties(static_cast<TKvLink*>(m_activeObject), true);
  } else if (TKvTable* table = ActiveTable()) {
    table->DblClick(msg, m_hitCode);
  }
}

void TKvWorkArea::ShowLinkProperties(TKvLink* link, bool invalidateAll) {
  SetCurrentLink(link);
  const bool ok = m_linkProp->exec() == QDialog::Accepted;
  if (ok && IsLink(link)) {
    if (invalidateAll)
      InvalidateAll();
    else
      link->InvalidateRegion(0);
  }
}

void TKvWorkArea::BeginGesture(const QString& text) {
  m_gesture.reset();
  m_gesture = std::make_unique<TKvUndoStep>(m_owner, text);
}

void TKvWorkArea::EndGesture() {
  m_gesture.reset();
}

void TKvWorkArea::CancelGesture() {
  if (m_gesture) m_gesture->Cancel();
  m_gesture.reset();
}

void TKvWorkArea::leaveEvent(QEvent* event) {
  QAbstractScrollArea::leaveEvent(event);
  m_hintDelay.stop();
}

// --- keyboard ---

void TKvWorkArea::keyPressEvent(QKeyEvent* event) {
  HideHint();
  int key = event->key();
  const TShiftState shift = TKvFloatObject::ShiftOf(event->modifiers());
  // F6 goes from window to window; Tab and Shift+Tab leave the surface for the next control.
  if (key == Qt::Key_F6) {
    if (m_tables.isEmpty()) return;
    const bool backward = shift & ssShift;
    qsizetype index = m_tables.size() - 1;
    if (backward) index = m_tables.indexOf(ActiveTable()) + 1;
    index = std::clamp<qsizetype>(index, 0, m_tables.size() - 1);
    TKvTable* next = m_tables[index];
    if (next != m_activeObject) SelectObject(next);
    return;
  }
  if (key == Qt::Key_Menu || (key == Qt::Key_F10 && (shift & ssShift))) {
    ShowObjectMenu();
    return;
  }
  if (key == Qt::Key_Delete) {
    TKvFloatObject* old = m_activeObject;
    if (!old) return;
    if (IsTable(old)) {
      static_cast<TKvTable*>(old)->Close();
    } else if (IsLink(old)) {
      static_cast<TKvLink*>(old)->Delete();
    }
    return;
  }
  if (m_activeObject) m_activeObject->KeyDown(key, shift);
}

void TKvWorkArea::ShowObjectMenu() {
  // What a right click on the selected object offers, where the keyboard works on it.
  m_surfaceMenu->clear();
  QPoint at;
  if (TKvTable* table = ActiveTable()) {
    const int row = int(table->Items().indexOf(table->SelectedItem()));
    at = row >= 0 ? table->ItemClientRect(row).center() : CaptionCenter(table);
    table->FillPopupMenu(m_surfaceMenu, at.x(), htCaption, at.y());
    if (row >= 0) {
      m_surfaceMenu->addSeparator();
      table->FillPopupMenu(m_surfaceMenu, at.x(), htBody, at.y());
    }
  } else if (IsLink(m_activeObject)) {
    auto* link = static_cast<TKvLink*>(m_activeObject);
    const int middle = link->PointCount() / 2;
    at = (link->Point(middle - 1) + link->Point(middle)) / 2;
    link->FillPopupMenu(m_surfaceMenu, at.x(), htBody, at.y());
  }
  if (!m_surfaceMenu->isEmpty()) m_surfaceMenu->popup(viewport()->mapToGlobal(at));
}

QPoint TKvWorkArea::CaptionCenter(const TKvTable* table) const {
  return ToClient(table->CaptionTextRect()).center();
}

void TKvWorkArea::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  // Coming in from the keyboard, there is always a window to work on.
  const bool keyboard =
      event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
  if (keyboard && !m_activeObject && !m_tables.isEmpty()) SelectObject(m_tables.first());
  if (TKvTable* table = ActiveTable()) table->Invalidate(table->BoundsRect());
}

void TKvWorkArea::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  if (TKvTable* table = ActiveTable()) table->Invalidate(table->BoundsRect());
}

void TKvWorkArea::keyReleaseEvent(QKeyEvent* event) {
  int key = event->key();
  if (m_activeObject) m_activeObject->KeyUp(key, TKvFloatObject::ShiftOf(event->modifiers()));
}

// --- hints and timers ---

void TKvWorkArea::HideHint() {
  m_hintLife.stop();
  if (m_hintWindow->isVisible()) m_hintWindow->hide();
}

void TKvWorkArea::ShowHint() {
  if (!m_hotObject) return;
  const QString text = m_hotObject->GetHint();
  if (text.isEmpty()) return;
  // At most 200 wide: a longer text (a link between long names) goes on in lines below.
  const int frame = 2 * (m_hintWindow->margin() + m_hintWindow->frameWidth());
  m_hintWindow->setText(KvWrapText(text, m_hintWindow->font(), 200 - frame));
  m_hintWindow->setMaximumWidth(200);
  m_hintWindow->adjustSize();
  m_hintWindow->move(viewport()->mapToGlobal(m_hoverPoint) + QPoint(10, 20));
  m_hintWindow->show();
  m_hintWindow->raise();
  m_hintLife.start(HintLifetime, this);
}

void TKvWorkArea::timerEvent(QTimerEvent* event) {
  const int id = event->timerId();
  if (id == m_hintDelay.timerId()) {
    if (m_hitCode != htNone && m_hotObject) {
      m_hintDelay.stop();
      if (m_lastMousePoint == m_hoverPoint) ShowHint();
    }
  } else if (id == m_hintLife.timerId()) {
    HideHint();
  } else if (id == m_rowScrollUp.timerId() || id == m_rowScrollDown.timerId()) {
    const QPoint logical = ToLogical(viewport()->mapFromGlobal(QCursor::pos()));
    RowScrollTick(id == m_rowScrollUp.timerId() ? 1 : 2, logical);
  } else {
    QAbstractScrollArea::timerEvent(event);
  }
}

void TKvWorkArea::RowScrollTick(int timer, QPoint logical) {
  QBasicTimer& t = timer == 1 ? m_rowScrollUp : m_rowScrollDown;
  if (logical != m_hoverPoint || !m_dropTable) {
    t.stop();
    return;
  }
  m_dropTable->SetTopIndex(m_dropTable->TopIndex() + (timer == 1 ? -1 : 1));
}

bool TKvWorkArea::RowScrollRunning(int timer) const {
  return (timer == 1 ? m_rowScrollUp : m_rowScrollDown).isActive();
}

// --- editors ---

bool TKvWorkArea::eventFilter(QObject* watched, QEvent* event) {
  try {
    return FilterEditorEvent(watched, event);
  } catch (...) {
    Failed();
    return true;
  }
}

bool TKvWorkArea::FilterEditorEvent(QObject* watched, QEvent* event) {
  if (watched == m_aliasEditor) {
    if (event->type() == QEvent::KeyPress) {
      // A line edit passes Enter and Escape on; here they belong to the editor alone.
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    } else if (event->type() == QEvent::KeyRelease) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Escape) {
        m_aliasEditing = false; // leave without committing
        m_aliasEditor->hide();
        setFocus();
        return true;
      }
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        AliasEditorExit();
        setFocus();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      AliasEditorExit();
    }
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

void TKvWorkArea::AliasEditorExit() {
  if (!m_aliasEditing) return;
  m_aliasEditing = false;
  m_aliasEditor->hide();
  TKvTable* table = ActiveTable();
  if (!table) return;
  const QString old = table->AliasOrName();
  QString text = m_aliasEditor->text();
  auto taken = [this, table](const QString& name) {
    for (const TKvTable* other : m_tables)
      if (other != table && other->AliasOrName() == name) return true;
    return false;
  };
  auto refuse = [](const QString& name) {
    throw EKvError(KvResource::STableWithAlias + QLatin1Char(' ') + name + QLatin1Char(' ') +
                   KvResource::SAlreadyExist);
  };
  if (taken(text)) refuse(text);
  if (text == table->TableName()) text.clear();
  text.remove(QLatin1Char('.'));
  // The name the window ends up with must be free as well (dots gone, or back to the table name).
  const QString result = text.trimmed().isEmpty() ? table->TableName() : text;
  if (taken(result)) refuse(result);
  if (text == table->Alias()) return;
  TKvUndoStep step(m_owner, KvResource::SUndoRenameTable.arg(old, result));
  table->SetAlias(text);
  FitTableWidth(table);
  if (OnAliasChanged) OnAliasChanged(table, old);
}

void TKvWorkArea::SearchEditorChanged(const QString& text) {
  if (text.isEmpty()) {
    m_searchEditor->hide();
    return;
  }
  m_searchEditor->resize(m_searchEditor->fontMetrics().horizontalAdvance(text) + 20,
                         m_searchEditor->height());
}

void TKvWorkArea::SearchEditorExit() {
  m_searchEditor->hide();
  setFocus();
}

void TKvWorkArea::RowScrollBarChanged(int value) {
  if (TKvTable* table = ActiveTable()) table->SetTopIndex(value);
}

// --- field drag ---

void TKvWorkArea::RequestFieldDrag() {
  m_dragRequested = true;
}

bool TKvWorkArea::IsOwnDrag(const QMimeData* data) const {
  return data && data->hasFormat(FieldMimeType) &&
         data->data(FieldMimeType) == QByteArray::number(quintptr(this));
}

bool TKvWorkArea::BeginFieldDrag() {
  if (OnStartDrag) OnStartDrag(this);
  TKvTable* table = ActiveTable();
  if (!table || !table->SelectedItem()) return false;
  m_fieldDragging = true;
  m_dragPixmap = QPixmap();
  if (m_owner->Options() & kvoDragFieldName) {
    const QString text = table->AliasOrName() + QLatin1Char('.') + table->SelectedItem()->Name();
    const QFontMetrics metrics(m_boldFieldFont);
    const int width = (metrics.horizontalAdvance(text) + 4 + 15) / 16 * 16;
    const int height = metrics.height() + 4;
    const qreal dpr = PaintRatio();
    m_dragPixmap = QPixmap((QSizeF(width, height) * dpr).toSize());
    m_dragPixmap.setDevicePixelRatio(dpr);
    m_dragPixmap.fill(Qt::black);
    QPainter p(&m_dragPixmap);
    p.setFont(m_boldFieldFont);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, width, height), Qt::AlignCenter | Qt::TextSingleLine, text);
  }
  return true;
}

void TKvWorkArea::StartFieldDrag() {
  if (!BeginFieldDrag()) return;
  auto* drag = new QDrag(this);
  auto* data = new QMimeData;
  data->setData(FieldMimeType, QByteArray::number(quintptr(this)));
  drag->setMimeData(data);
  if (!m_dragPixmap.isNull()) {
    drag->setPixmap(m_dragPixmap);
    const QSizeF size = m_dragPixmap.deviceIndependentSize();
    drag->setHotSpot(QPoint(int(size.width() / 2), int(size.height() / 2)));
  } else {
    const QPixmap cursor = KvTransparentBitmap(QStringLiteral("DragCursor"), PaintRatio());
    drag->setDragCursor(cursor, Qt::LinkAction);
    drag->setDragCursor(cursor, Qt::CopyAction);
    drag->setDragCursor(cursor, Qt::MoveAction);
  }
  drag->exec(Qt::LinkAction | Qt::CopyAction);
  EndFieldDrag();
}

void TKvWorkArea::SetDropHighlight(TKvListItem* item) {
  if (item == m_dropHighlight) return;
  TKvListItem* old = m_dropHighlight;
  m_dropHighlight = item;
  if (old && IsTable(old->Table())) old->Table()->InvalidateItem(old);
  if (item) item->Table()->InvalidateItem(item);
}

bool TKvWorkArea::FieldDragOver(QPoint client, TDragState state) {
  m_dropItem = nullptr;
  if (state == dsDragLeave) {
    m_hoverPoint = QPoint();
    m_dropTable = nullptr;
    SetDropHighlight(nullptr);
    return false;
  }
  TKvTable* active = ActiveTable();
  TKvListItem* dragged = active ? active->SelectedItem() : nullptr;
  TKvTable* drop = nullptr;
  if (dragged) {
    for (TKvTable* table : m_tables)
      if (table->HitTest(client) == htBody) {
        drop = table;
        break;
      }
  }
  if (!drop || drop == active) {
    m_dropTable = nullptr;
    SetDropHighlight(nullptr);
    return false;
  }
  m_dropTable = drop;
  const QPoint l = ToLogical(client);
  const QRect bounds = drop->BoundsRect();
  const bool upper = l.y() < drop->Top() + 25;
  const bool lower = l.y() > bounds.top() + bounds.height() - 5;
  if (upper || lower) {
    if (state == dsDragMove) {
      m_hoverPoint = l;
      (upper ? m_rowScrollUp : m_rowScrollDown).start(RowScrollPeriod, this);
    } else {
      m_hoverPoint = QPoint();
    }
  }
  TKvListItem* candidate = drop->ItemAtY(l.y());
  SetDropHighlight(candidate);
  if (candidate && candidate->Kind() == ikField &&
      KvTypesCompatible(dragged->DataType(), candidate->DataType()) &&
      !LinkExists(active, drop, dragged, candidate)) {
    m_dropItem = candidate;
    return true;
  }
  return false;
}

void TKvWorkArea::FieldDragDrop(QPoint client) {
  if (!FieldDragOver(client, dsDragEnter)) return;
  TKvTable* active = ActiveTable();
  AddLink(active, m_dropItem->Table(), active->SelectedItem(), m_dropItem);
  InvalidateAll();
}

void TKvWorkArea::EndFieldDrag() {
  m_fieldDragging = false;
  m_leftDown = false;
  m_rowScrollUp.stop();
  m_rowScrollDown.stop();
  SetDropHighlight(nullptr);
  m_dropItem = nullptr;
  m_dropTable = nullptr;
  m_dragPixmap = QPixmap();
}

QPoint TKvWorkArea::ToOwner(QPoint client) const {
  return viewport()->mapTo(m_owner, client);
}

void TKvWorkArea::dragEnterEvent(QDragEnterEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (IsOwnDrag(event->mimeData())) {
    FieldDragOver(pos, dsDragEnter);
    event->acceptProposedAction(); // keep the moves coming; each move decides
    return;
  }
  bool accept = false;
  if (m_owner->OnDragOver) {
    const QPoint p = ToOwner(pos);
    m_owner->OnDragOver(this, event->source(), event->mimeData(), p.x(), p.y(), dsDragEnter,
                        accept);
    accept = true;
  }
  event->setAccepted(accept);
}

void TKvWorkArea::dragMoveEvent(QDragMoveEvent* event) {
  const QPoint pos = event->position().toPoint();
  bool accept = false;
  if (IsOwnDrag(event->mimeData())) {
    accept = FieldDragOver(pos, dsDragMove);
    if (accept) event->setDropAction(Qt::LinkAction);
  } else if (m_owner->OnDragOver) {
    const QPoint p = ToOwner(pos);
    m_owner->OnDragOver(this, event->source(), event->mimeData(), p.x(), p.y(), dsDragMove, accept);
  }
  if (accept)
    event->accept();
  else
    event->ignore();
}

void TKvWorkArea::dragLeaveEvent(QDragLeaveEvent*) {
  if (m_fieldDragging) {
    FieldDragOver(QPoint(), dsDragLeave);
    return;
  }
  if (m_owner->OnDragOver) {
    bool accept = false;
    m_owner->OnDragOver(this, nullptr, nullptr, 0, 0, dsDragLeave, accept);
  }
}

void TKvWorkArea::dropEvent(QDropEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (IsOwnDrag(event->mimeData())) {
    FieldDragDrop(pos);
    event->setDropAction(Qt::LinkAction);
    event->accept();
    return;
  }
  const QPoint p = ToOwner(pos);
  if (event->source() != this && m_owner->OnDragDrop)
    m_owner->OnDragDrop(this, event->source(), event->mimeData(), p.x(), p.y());
  event->acceptProposedAction();
  if (m_owner->OnEndDrag) m_owner->OnEndDrag(this, this, p.x(), p.y());
}
