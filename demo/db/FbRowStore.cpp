#include "FbRowStore.h"

#include "FbQuery.h"

#include <algorithm>

void TFbRowStore::Reset(int columns) {
  m_columns = columns;
  m_rows = 0;
  m_chunks.clear();
  m_chunks.shrink_to_fit();
}

void TFbRowStore::AppendRow(TFbQuery& query) {
  if (m_chunks.empty() || m_chunks.back().Rows == RowsPerChunk) {
    // The block before is complete: give back its spare room, and start the next one about its
    // size so that filling it needs no regrowth.
    std::size_t expected = 0;
    if (!m_chunks.empty()) {
      m_chunks.back().Text.Shrink();
      expected = m_chunks.back().Text.Size();
    }
    m_chunks.emplace_back();
    m_chunks.back().FirstRow = m_rows;
    m_chunks.back().Cells.reserve(std::size_t(RowsPerChunk) * std::size_t(m_columns));
    if (expected) m_chunks.back().Text.Reserve(expected + expected / 8);
  }
  TChunk& chunk = m_chunks.back();
  const std::size_t cells = chunk.Cells.size();
  const std::size_t text = chunk.Text.Size();
  try {
    for (int c = 0; c < m_columns; ++c) {
      const std::size_t start = chunk.Text.Size();
      if (query.IsNull(c)) {
        chunk.Cells.push_back({std::uint32_t(start), NullFlag});
        continue;
      }
      query.AppendText(c, chunk.Text);
      chunk.Cells.push_back({std::uint32_t(start), std::uint32_t(chunk.Text.Size() - start)});
    }
  } catch (...) {
    chunk.Cells.resize(cells);
    chunk.Text.Truncate(text);
    if (chunk.Cells.empty()) m_chunks.pop_back();
    throw;
  }
  ++chunk.Rows;
  ++m_rows;
}

void TFbRowStore::Seal() {
  if (!m_chunks.empty()) m_chunks.back().Text.Shrink();
}

void TFbRowStore::Append(TFbRowStore&& other) {
  if (other.m_rows == 0) return;
  if (m_rows == 0) m_columns = other.m_columns;
  for (TChunk& chunk : other.m_chunks) {
    chunk.FirstRow += m_rows;
    m_chunks.push_back(std::move(chunk));
  }
  m_rows += other.m_rows;
  other.Reset(other.m_columns);
}

const TFbRowStore::TChunk& TFbRowStore::ChunkOf(int row) const {
  // Mostly every block is full and the guess is right; blocks handed over may be short, and
  // then the block is found by its first row.
  const std::size_t guess = std::min(std::size_t(row / RowsPerChunk), m_chunks.size() - 1);
  const TChunk& likely = m_chunks[guess];
  if (row >= likely.FirstRow && row < likely.FirstRow + likely.Rows) return likely;
  const auto after = std::upper_bound(m_chunks.begin(), m_chunks.end(), row,
                                      [](int r, const TChunk& c) { return r < c.FirstRow; });
  return *(after - 1);
}

QString TFbRowStore::Text(int row, int column) const {
  const TChunk& chunk = ChunkOf(row);
  const TCell& cell = CellIn(chunk, row, column);
  if (cell.Length & NullFlag) return FbNullText();
  return chunk.Text.ToString(cell.Offset, cell.Length);
}

QStringView TFbRowStore::View(int row, int column) const {
  const TChunk& chunk = ChunkOf(row);
  const TCell& cell = CellIn(chunk, row, column);
  if (cell.Length & NullFlag) return {};
  return QStringView(chunk.Text.Data() + cell.Offset, qsizetype(cell.Length));
}

std::size_t TFbRowStore::MemoryUsed() const {
  std::size_t bytes = m_chunks.capacity() * sizeof(TChunk);
  for (const TChunk& chunk : m_chunks)
    bytes += chunk.Text.Capacity() * sizeof(char16_t) + chunk.Cells.capacity() * sizeof(TCell);
  return bytes;
}
