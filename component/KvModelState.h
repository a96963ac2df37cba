#pragma once

// The query model as plain bytes: one piece per table of the FROM clause and one for the rest
// (conditions, sorting, grouping, DISTINCT and what a dialect adds). Pieces that did not change
// between two saves share their bytes, so a long undo history stays small.

#include <QByteArray>
#include <QList>

#include <functional>

class QDataStream;
class TKvSelectParser;

struct TKvModelState {
  QList<QByteArray> Tables;
  QByteArray Rest;
  bool operator==(const TKvModelState& other) const = default;
};

// What a dialect keeps beside the common model (row limits and the like) goes through these.
using TKvModelExtra = std::function<void(QDataStream& stream)>;

// `previous`, when given, lends its pieces wherever they are equal.
TKvModelState KvSaveModel(const TKvSelectParser& parser, const TKvModelState* previous = nullptr,
                          const TKvModelExtra& extra = {});
// Replaces the whole model of `parser` with `state`.
void KvLoadModel(TKvSelectParser& parser, const TKvModelState& state,
                 const TKvModelExtra& extra = {});
