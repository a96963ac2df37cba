#include "FbRowStore.h"

#include "FbQuery.h"

void TFbRowStore::Reset(int columns) {
  m_columns = columns;
  m_rows = 0;
  m_chunks.clear();
  m_chunks.shrink_to_fit();
}

void TFbRowStore::AppendRow(TFbQuery& query) {
  if (m_rows % RowsPerChunk == 0) {
    // The block before is complete: give back its spare room, and start the next one about its
    // size so that filling it needs no regrowth.
    std::size_t expected = 0;
    if (!m_chunks.empty()) {
      m_chunks.back().Text.Shrink();
      expected = m_chunks.back().Text.Size();
    }
    m_chunks.emplace_back();
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
  ++m_rows;
}

QString TFbRowStore::Text(int row, int column) const {
  const TCell& cell = Cell(row, column);
  if (cell.Length & NullFlag) return FbNullText();
  return m_chunks[std::size_t(row / RowsPerChunk)].Text.ToString(cell.Offset, cell.Length);
}

std::size_t TFbRowStore::MemoryUsed() const {
  std::size_t bytes = m_chunks.capacity() * sizeof(TChunk);
  for (const TChunk& chunk : m_chunks)
    bytes += chunk.Text.Capacity() * sizeof(char16_t) + chunk.Cells.capacity() * sizeof(TCell);
  return bytes;
}
