#include "KvCollection.h"

#include <algorithm>

TKvCollectionItem::TKvCollectionItem(TKvCollection* collection) {
  if (collection) collection->Attach(this);
}

TKvCollectionItem::~TKvCollectionItem() {
  DetachFromCollection();
}

void TKvCollectionItem::DetachFromCollection() {
  if (m_collection) m_collection->Remove(this);
}

void TKvCollectionItem::SetIndex(int index) {
  if (!m_collection) return;
  auto& items = m_collection->m_items;
  index = std::clamp(index, 0, int(items.size()) - 1);
  if (index == m_index) return;
  const int old = m_index;
  items.erase(items.begin() + old);
  items.insert(items.begin() + index, this);
  m_collection->Renumber(std::min(old, index));
  m_collection->Changed(this);
}

void TKvCollectionItem::SetParser(TKvSelectParser* parser) {
  m_parser = parser;
}

void TKvCollectionItem::Assign(const TKvCollectionItem& source) {
  m_parser = source.m_parser;
}

TKvCollection::~TKvCollection() {
  DestroyItems();
}

void TKvCollection::DestroyItems() {
  m_clearing = true;
  while (!m_items.empty())
    delete m_items.back();
}

TKvCollectionItem* TKvCollection::ItemAt(int index) const {
  if (index < 0 || index >= int(m_items.size())) return nullptr;
  return m_items[std::size_t(index)];
}

int TKvCollection::IndexOf(const TKvCollectionItem* item) const {
  if (item && item->m_collection == this) return item->m_index;
  return -1;
}

TKvCollectionItem* TKvCollection::AddItem() {
  TKvCollectionItem* item = CreateItem();
  item->SetParser(m_parser);
  Changed(item);
  return item;
}

TKvCollectionItem* TKvCollection::InsertItem(int index) {
  BeginUpdate();
  TKvCollectionItem* item = AddItem();
  item->SetIndex(index);
  EndUpdate();
  return item;
}

void TKvCollection::Delete(int index) {
  delete ItemAt(index);
}

void TKvCollection::Clear() {
  if (m_items.empty()) return;
  BeginUpdate();
  m_clearing = true;
  while (!m_items.empty())
    delete m_items.back();
  m_clearing = false;
  m_pendingUpdate = true;
  EndUpdate();
}

void TKvCollection::EndUpdate() {
  if (m_updateCount > 0 && --m_updateCount == 0 && m_pendingUpdate) {
    m_pendingUpdate = false;
    Update(nullptr);
  }
}

void TKvCollection::SetParser(TKvSelectParser* parser) {
  m_parser = parser;
  for (TKvCollectionItem* item : m_items)
    item->SetParser(parser);
}

void TKvCollection::Update(TKvCollectionItem*) {}

void TKvCollection::Changed(TKvCollectionItem* item) {
  if (m_updateCount > 0) {
    m_pendingUpdate = true;
    return;
  }
  Update(item);
}

void TKvCollection::Attach(TKvCollectionItem* item) {
  item->m_collection = this;
  item->m_index = int(m_items.size());
  m_items.push_back(item);
}

void TKvCollection::Remove(TKvCollectionItem* item) {
  const int index = item->m_index;
  if (index >= 0 && index < int(m_items.size()) && m_items[std::size_t(index)] == item) {
    m_items.erase(m_items.begin() + index);
    if (index != int(m_items.size())) Renumber(index);
  }
  item->m_collection = nullptr;
  item->m_index = -1;
  if (!m_clearing) Changed(nullptr);
}

void TKvCollection::Renumber(int from) {
  for (std::size_t i = std::size_t(from); i < m_items.size(); ++i)
    m_items[i]->m_index = int(i);
}
