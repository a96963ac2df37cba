#pragma once

#include <QtGlobal>

#include <vector>

class TKvSelectParser;
class TKvCollection;

// An item owned by one TKvCollection that knows its index there. Deleting an item removes it
// from its collection.
class TKvCollectionItem {
public:
  explicit TKvCollectionItem(TKvCollection* collection = nullptr);
  virtual ~TKvCollectionItem();
  TKvCollectionItem(const TKvCollectionItem&) = delete;
  TKvCollectionItem& operator=(const TKvCollectionItem&) = delete;

  TKvCollection* Collection() const { return m_collection; }
  int Index() const { return m_index; }
  // Moves the item to another place in its collection.
  void SetIndex(int index);

  TKvSelectParser* Parser() const { return m_parser; }
  virtual void SetParser(TKvSelectParser* parser);
  // Copies the parser only; descendants copy their own fields.
  virtual void Assign(const TKvCollectionItem& source);

protected:
  // Takes the item out of its collection before the destructor has finished, for owners that
  // must act once the item is no longer listed.
  void DetachFromCollection();

private:
  friend class TKvCollection;
  TKvCollection* m_collection = nullptr;
  int m_index = -1;
  TKvSelectParser* m_parser = nullptr;
};

// An owned, indexed list of TKvCollectionItem. Items are made by the virtual factory
// CreateItem; every addition, removal, move or clearing is reported through Update (once per
// outermost BeginUpdate/EndUpdate bracket).
class TKvCollection {
public:
  TKvCollection() = default;
  virtual ~TKvCollection();
  TKvCollection(const TKvCollection&) = delete;
  TKvCollection& operator=(const TKvCollection&) = delete;

  int Count() const { return int(m_items.size()); }
  TKvCollectionItem* ItemAt(int index) const;
  int IndexOf(const TKvCollectionItem* item) const;
  TKvCollectionItem* AddItem();
  TKvCollectionItem* InsertItem(int index);
  void Delete(int index);
  virtual void Clear();

  void BeginUpdate() { ++m_updateCount; }
  void EndUpdate();

  TKvSelectParser* Parser() const { return m_parser; }
  virtual void SetParser(TKvSelectParser* parser);

protected:
  virtual TKvCollectionItem* CreateItem() = 0;
  // A change of the list (nullptr: several items, or the whole list).
  virtual void Update(TKvCollectionItem* item);
  void Changed(TKvCollectionItem* item);
  bool Clearing() const { return m_clearing; }
  // Frees every item without notifications. A derived collection calls it from its own
  // destructor, so that items leaving see the whole collection object.
  void DestroyItems();

private:
  friend class TKvCollectionItem;
  void Attach(TKvCollectionItem* item);
  void Remove(TKvCollectionItem* item);
  void Renumber(int from);

  std::vector<TKvCollectionItem*> m_items;
  TKvSelectParser* m_parser = nullptr;
  int m_updateCount = 0;
  bool m_pendingUpdate = false;
  bool m_clearing = false;
};

// Typed access to a collection whose items are all of class T (or derived from it).
template <class T, class Base = TKvCollection>
class TKvCollectionOf : public Base {
public:
  using Base::Base;
  T* Items(int index) const { return static_cast<T*>(this->ItemAt(index)); }
  T* operator[](int index) const { return Items(index); }
  T* Add() { return static_cast<T*>(this->AddItem()); }
  T* Insert(int index) { return static_cast<T*>(this->InsertItem(index)); }

  class Iterator {
  public:
    Iterator(const TKvCollectionOf* c, int i) : m_c(c), m_i(i) {}
    T* operator*() const { return m_c->Items(m_i); }
    Iterator& operator++() {
      ++m_i;
      return *this;
    }
    bool operator!=(const Iterator& o) const { return m_i != o.m_i; }

  private:
    const TKvCollectionOf* m_c;
    int m_i;
  };
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, this->Count()); }
};
