#pragma once
// An ordered collection that owns its items and finds them by a key compared without regard to
// letter case (Unicode-aware: "Ä" and "ä" are one key). A key can be present only once: adding
// under a key that exists drops the new item and keeps the first.

#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "agent/Unicode.h"

namespace KDAutoUpdate {

template <class T> class KeyedCollection {
    struct Entry {
        std::string key; // as it was given
        std::unique_ptr<T> item;
    };
    using Entries = std::vector<Entry>;

public:
    // Iterates the items in the order they were added.
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = T*;
        using reference = T&;

        Iterator() = default;
        explicit Iterator(typename Entries::const_iterator it) : m_it(it) {}
        T& operator*() const { return *m_it->item; }
        T* operator->() const { return m_it->item.get(); }
        Iterator& operator++() {
            ++m_it;
            return *this;
        }
        Iterator operator++(int) {
            Iterator copy = *this;
            ++m_it;
            return copy;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.m_it == b.m_it; }

    private:
        typename Entries::const_iterator m_it;
    };

    KeyedCollection() = default;
    KeyedCollection(const KeyedCollection&) = delete;
    KeyedCollection& operator=(const KeyedCollection&) = delete;
    KeyedCollection(KeyedCollection&&) noexcept = default;
    KeyedCollection& operator=(KeyedCollection&&) noexcept = default;

    // Takes `item` under `key`. False, and the item is dropped, when the key is present already
    // or there is no item.
    bool Add(const std::string& key, std::unique_ptr<T> item) {
        if (!item)
            return false;
        std::string folded = LowerCase(key);
        if (m_index.count(folded) != 0)
            return false;
        m_index.emplace(std::move(folded), m_entries.size());
        m_entries.push_back(Entry{key, std::move(item)});
        return true;
    }

    T* Find(const std::string& key) const {
        const auto it = m_index.find(LowerCase(key));
        return it == m_index.end() ? nullptr : m_entries[it->second].item.get();
    }

    std::size_t Count() const { return m_entries.size(); }
    // The item at a zero-based position in adding order, or null.
    T* Item(std::size_t index) const {
        return index < m_entries.size() ? m_entries[index].item.get() : nullptr;
    }
    // The key an item was added under, as it was written; empty out of range.
    std::string Key(std::size_t index) const {
        return index < m_entries.size() ? m_entries[index].key : std::string();
    }

    Iterator begin() const { return Iterator(m_entries.cbegin()); }
    Iterator end() const { return Iterator(m_entries.cend()); }

private:
    Entries m_entries;
    std::unordered_map<std::string, std::size_t> m_index; // folded key -> position
};

} // namespace KDAutoUpdate
