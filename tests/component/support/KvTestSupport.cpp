#include "KvTestSupport.h"

#include "KvFloatPanel.h"
#include "KvLinks.h"
#include "KvMessages.h"
#include "KvWindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <QTest>

const TKvTestDataSet& EmployeeFields() {
  static const TKvTestDataSet fields = {
      {QStringLiteral("EMP_NO"), ftSmallint},    {QStringLiteral("FIRST_NAME"), ftString},
      {QStringLiteral("LAST_NAME"), ftString},   {QStringLiteral("PHONE_EXT"), ftString},
      {QStringLiteral("HIRE_DATE"), ftDateTime}, {QStringLiteral("DEPT_NO"), ftFixedChar},
      {QStringLiteral("JOB_CODE"), ftString},    {QStringLiteral("JOB_GRADE"), ftSmallint},
      {QStringLiteral("JOB_COUNTRY"), ftString}, {QStringLiteral("SALARY"), ftBCD}};
  return fields;
}

const TKvTestDataSet& DepartmentFields() {
  static const TKvTestDataSet fields = {{QStringLiteral("DEPT_NO"), ftFixedChar},
                                        {QStringLiteral("DEPARTMENT"), ftString},
                                        {QStringLiteral("LOCATION"), ftString}};
  return fields;
}

TKvTestDataSet NumberedFields(int count, int type) {
  TKvTestDataSet fields;
  for (int i = 0; i < count; ++i)
    fields.Add(QStringLiteral("F%1").arg(i), type);
  return fields;
}

std::unique_ptr<TCustomKvarta> MakeKvarta(int width, int height) {
  auto kvarta = std::make_unique<TCustomKvarta>();
  kvarta->resize(width, height);
  kvarta->show();
  QApplication::setActiveWindow(kvarta.get());
  if (!QTest::qWaitForWindowExposed(kvarta.get())) qWarning("component window not exposed");
  return kvarta;
}

QWidget* Surface(TCustomKvarta* kvarta) {
  return kvarta->WorkArea()->viewport();
}

QPoint CaptionPoint(const TKvTable* table) {
  const QRect r = table->WorkArea()->ToClient(table->CaptionTextRect());
  return QPoint(r.left() + 8, r.center().y());
}

QPoint RowPoint(const TKvTable* table, int row) {
  const QRect r = table->ItemClientRect(row);
  return QPoint(r.left() + table->ItemHeight() + 20, r.center().y());
}

QPoint TickPoint(const TKvTable* table, int row) {
  const QRect r = table->ItemClientRect(row);
  return QPoint(r.left() + table->ItemHeight() / 2, r.center().y());
}

QPoint ButtonPoint(const TKvTable* table, int button) {
  return table->WorkArea()->ToClient(table->ButtonRect(button)).center();
}

namespace {

Qt::MouseButtons g_buttons;

void Send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QMouseEvent event(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, buttons, modifiers);
  QApplication::sendEvent(w, &event);
}

} // namespace

void Press(QWidget* w, QPoint p, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  g_buttons |= button;
  Send(w, QEvent::MouseButtonPress, p, button, g_buttons, modifiers);
}

void Release(QWidget* w, QPoint p, Qt::MouseButton button) {
  g_buttons &= ~Qt::MouseButtons(button);
  Send(w, QEvent::MouseButtonRelease, p, button, g_buttons);
}

void Move(QWidget* w, QPoint p, Qt::MouseButtons buttons) {
  Send(w, QEvent::MouseMove, p, Qt::NoButton, buttons | g_buttons);
}

void Click(QWidget* w, QPoint p, Qt::MouseButton button) {
  Move(w, p);
  Press(w, p, button);
  Release(w, p, button);
}

void DoubleClick(QWidget* w, QPoint p) {
  Click(w, p);
  g_buttons |= Qt::LeftButton;
  Send(w, QEvent::MouseButtonDblClick, p, Qt::LeftButton, g_buttons);
  Release(w, p);
}

void Drag(QWidget* w, QPoint from, QPoint to, int steps) {
  Move(w, from);
  Press(w, from);
  for (int i = 1; i <= steps; ++i)
    Move(w, from + (to - from) * i / steps);
  Release(w, to);
}

TKvAnswer::TKvAnswer(bool yes) : m_yes(yes) {
  KvSetQuestionHandler([this](QWidget*, const QString& caption, const QString& text) {
    Captions << caption;
    Texts << text;
    return m_yes;
  });
}

TKvAnswer::~TKvAnswer() {
  KvSetQuestionHandler({});
}

QString StaleAfter(TKvWorkArea* area, const std::function<void()>& change) {
  const QSize size = area->viewport()->size();
  auto paint = [area](QImage& image, const QRegion& region) {
    QPainter p(&image);
    p.setClipRegion(region);
    area->PaintSurface(p, region.boundingRect());
  };
  QImage screen(size, QImage::Format_RGB32);
  paint(screen, QRect(QPoint(0, 0), size));
  area->SetTrackInvalidated(true);
  area->TakeInvalidated();
  change();
  const QRegion dirty = area->TakeInvalidated();
  area->SetTrackInvalidated(false);
  if (!dirty.isEmpty()) paint(screen, dirty);
  area->LookChanged(); // every picture drawn again
  QImage fresh(size, QImage::Format_RGB32);
  paint(fresh, QRect(QPoint(0, 0), size));
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x)
      if (screen.pixel(x, y) != fresh.pixel(x, y))
        return QStringLiteral("stale pixel at %1,%2").arg(x).arg(y);
  return QString();
}

QString DescribeDesign(TCustomKvarta* kvarta) {
  QStringList lines;
  for (const TKvTable* t : kvarta->WorkArea()->Tables()) {
    QStringList ticks;
    for (const TKvListItem* item : t->Items())
      if (item->Checked()) ticks << item->Name();
    lines << QStringLiteral("%1 %2 %3,%4 %5x%6 rows %7 from %8 %9 [%10]")
                 .arg(t->AliasOrName(), t->TableName())
                 .arg(t->Left())
                 .arg(t->Top())
                 .arg(t->Width())
                 .arg(t->Height())
                 .arg(t->VisibleCount())
                 .arg(t->TopIndex())
                 .arg(t->Expanded() ? "open" : "folded", ticks.join(','));
  }
  for (TKvLink* link : kvarta->WorkArea()->Links()) {
    QStringList points;
    for (const QPoint p : link->Points())
      points << QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    lines << QStringLiteral("%1 type %2 via %3")
                 .arg(link->GetHint())
                 .arg(link->Join()->JoinType())
                 .arg(points.join(' '));
  }
  lines.sort();
  return kvarta->SQL() + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

QString Disagreement(TCustomKvarta* kvarta) {
  const TKvTableDefs* defs = kvarta->SelectParser()->TableDefs();
  const QList<TKvTable*>& tables = kvarta->WorkArea()->Tables();
  int joins = 0, named = 0;
  for (const TKvTableDef* def : *defs) {
    joins += def->Joins()->Count();
    named += !def->TableName().isEmpty(); // columns written without a table have none
  }
  if (named != tables.size()) return QStringLiteral("%1 model tables").arg(named);
  for (const TKvTable* t : tables) {
    QList<const TKvTableDef*> found;
    for (const TKvTableDef* def : *defs)
      if (def->AliasOrName() == t->AliasOrName() && def->TableName() == t->TableName())
        found << def;
    if (found.size() != 1) return t->AliasOrName() + QStringLiteral(" has no model table");
    QStringList columns, ticks;
    for (const TKvFunctionDef* f : *found.first()->Fields())
      if (f->Kind() == fkField) columns << f->Name();
    for (const TKvListItem* item : t->Items())
      if (item->Checked()) ticks << item->Name();
    columns.sort();
    ticks.sort();
    if (columns != ticks) return t->AliasOrName() + QStringLiteral(" columns ") + columns.join(',');
  }
  QSet<const TKvJoinDef*> conditions;
  for (const TKvLink* link : kvarta->WorkArea()->Links())
    conditions.insert(KvFindModelJoin(link).Def);
  conditions.remove(nullptr);
  if (conditions.size() != kvarta->WorkArea()->Links().size() || joins != conditions.size())
    return QStringLiteral("%1 links, %2 conditions")
        .arg(kvarta->WorkArea()->Links().size())
        .arg(joins);
  return QString();
}
