#pragma once

#include "FbValue.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

class TFbQuery;

// Fetched rows kept as display text, compactly: per block of rows one UTF-16 text buffer and
// one cell table (offset, length, NULL flag), so a row costs its characters plus 8 bytes a
// column, with no allocation per value. A store filled on one thread can be handed whole to
// another (Append moves its blocks), so the rows are converted where they are fetched.
class TFbRowStore {
public:
  static constexpr int RowsPerChunk = 1024;

  void Reset(int columns);
  int Columns() const { return m_columns; }
  int Rows() const { return m_rows; }

  // Converts every value of the query's current row. When a value cannot be read (a BLOB
  // error) the row is not added and the error is raised.
  void AppendRow(TFbQuery& query);
  // Gives back the spare room of the last block, before the store is handed on.
  void Seal();
  // Takes over the rows of `other` (same columns), which is left empty.
  void Append(TFbRowStore&& other);

  bool IsNull(int row, int column) const { return Cell(row, column).Length & NullFlag; }
  QString Text(int row, int column) const; // FbNullText() for NULL
  // The characters of a value that is not NULL, without a copy.
  QStringView View(int row, int column) const;
  std::size_t MemoryUsed() const;

private:
  static constexpr std::uint32_t NullFlag = 0x80000000u;
  struct TCell {
    std::uint32_t Offset;
    std::uint32_t Length; // characters, NullFlag for NULL
  };
  struct TChunk {
    int FirstRow = 0;
    int Rows = 0;
    TFbTextBuffer Text;
    std::vector<TCell> Cells;
  };
  const TChunk& ChunkOf(int row) const;
  const TCell& CellIn(const TChunk& chunk, int row, int column) const {
    return chunk
        .Cells[std::size_t(row - chunk.FirstRow) * std::size_t(m_columns) + std::size_t(column)];
  }
  const TCell& Cell(int row, int column) const { return CellIn(ChunkOf(row), row, column); }

  int m_columns = 0;
  int m_rows = 0;
  std::vector<TChunk> m_chunks;
};
