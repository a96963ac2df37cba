#pragma once

// What the design surface shows, as plain values keyed by the windows' identities (their
// AliasOrName) and the links' ends. Saved before and after each change of the user, so that undo
// and redo put back exactly the windows and links that changed and leave the others alone.

#include <QList>
#include <QPoint>
#include <QString>

#include <memory>

struct TKvRowState {
  QString Name;
  int DataType = 0;
  bool Checked = false;
  bool operator==(const TKvRowState& other) const = default;
};

struct TKvWindowState {
  QString TableName;
  QString Alias;
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int TopIndex = 0;
  int VisibleCount = 0;
  bool Expanded = true;
  QList<TKvRowState> Rows;
  QString Key() const { return Alias.trimmed().isEmpty() ? TableName : Alias; }
  // Same table and columns: a window can take the other's state without being made again.
  bool SameColumns(const TKvWindowState& other) const;
  bool operator==(const TKvWindowState& other) const = default;
};

// A link between rows of two windows, named in the order of the pair's join.
struct TKvLinkState {
  QString Table1, Item1, Table2, Item2;
  int OperatorIndex = 0;
  int JoinType = 0;
  QList<QPoint> BendPoints; // logical coordinates
  QString Ends() const;
  bool operator==(const TKvLinkState& other) const = default;
};

class TKvSurfaceState {
public:
  // Windows topmost first; links in the order they were made. Entries equal to those of the
  // state saved before are shared with it.
  QList<std::shared_ptr<const TKvWindowState>> Windows;
  QList<std::shared_ptr<const TKvLinkState>> Links;

  const TKvWindowState* Window(const QString& key) const;
  // Equal windows and links, whatever their stacking and order.
  bool SameAs(const TKvSurfaceState& other) const;
};
