#pragma once

// Shared pieces of the component tests: in-memory data sets and mouse helpers for the surface.

#include "KvDataSet.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QWidget;
class TCustomKvarta;
class TKvTable;
class TKvWorkArea;

// A table's columns held in memory.
class TKvTestDataSet : public TKvDataSet {
public:
  TKvTestDataSet() = default;
  TKvTestDataSet(std::initializer_list<std::pair<QString, int>> fields) : m_fields(fields) {}
  void Add(const QString& name, int type) { m_fields.emplace_back(name, type); }
  int FieldCount() const override { return int(m_fields.size()); }
  QString FieldName(int index) const override { return m_fields.at(index).first; }
  int FieldType(int index) const override { return m_fields.at(index).second; }

private:
  std::vector<std::pair<QString, int>> m_fields;
};

// Columns in the shape of the EMPLOYEE sample database.
const TKvTestDataSet& EmployeeFields();   // 10 columns
const TKvTestDataSet& DepartmentFields(); // 3 columns
// `count` string columns F0, F1 ...
TKvTestDataSet NumberedFields(int count, int type = ftString);

// A shown component of the given size on the offscreen screen.
std::unique_ptr<TCustomKvarta> MakeKvarta(int width = 1000, int height = 760);
QWidget* Surface(TCustomKvarta* kvarta); // the work area's viewport

// Client points on a table window.
QPoint CaptionPoint(const TKvTable* table);            // caption text, left part
QPoint RowPoint(const TKvTable* table, int row);       // row text of a visible row
QPoint TickPoint(const TKvTable* table, int row);      // tick box of a visible row
QPoint ButtonPoint(const TKvTable* table, int button); // caption button 0..2

// Mouse events sent straight to the surface.
void Press(QWidget* w, QPoint p, Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Release(QWidget* w, QPoint p, Qt::MouseButton button = Qt::LeftButton);
void Move(QWidget* w, QPoint p, Qt::MouseButtons buttons = Qt::NoButton);
void Click(QWidget* w, QPoint p, Qt::MouseButton button = Qt::LeftButton);
void DoubleClick(QWidget* w, QPoint p);
void Drag(QWidget* w, QPoint from, QPoint to, int steps = 4);

// Paints the surface, runs `change`, repaints only what the surface invalidated, and compares
// the result with a drawing from scratch. Empty when they agree, else where they differ.
QString StaleAfter(TKvWorkArea* area, const std::function<void()>& change);

// All the user sees of a component: the statement, and every window and link with its place and
// settings, sorted (stacking and the order of making do not count).
QString DescribeDesign(TCustomKvarta* kvarta);
// Where surface and model disagree; empty when every window has a model table of its own (same
// AliasOrName) whose columns are the window's ticks, and every link a join condition of its own.
QString Disagreement(TCustomKvarta* kvarta);

// Answers every Yes/No question while alive and records the texts asked.
class TKvAnswer {
public:
  explicit TKvAnswer(bool yes);
  ~TKvAnswer();
  TKvAnswer(const TKvAnswer&) = delete;
  TKvAnswer& operator=(const TKvAnswer&) = delete;
  QStringList Captions;
  QStringList Texts;

private:
  bool m_yes;
};
