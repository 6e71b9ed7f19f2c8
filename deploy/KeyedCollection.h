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
        std::string key;    // as it was given
        std::string folded; // lower-cased, as compared
        std::unique_ptr<T> item;
    };
    // A handful of items (a message's features) is searched in order; the index is built only
    // for larger collections (a page's messages).
    static constexpr std::size_t kIndexFrom = 16;
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
        if (m_entries.size() + 1 >= kIndexFrom) {
            if (m_entries.size() + 1 == kIndexFrom) {
                for (std::size_t i = 0; i < m_entries.size(); ++i)
                    m_index.emplace(m_entries[i].folded, i);
            }
            // One lookup both finds a present key and takes the new one.
            if (!m_index.try_emplace(folded, m_entries.size()).second)
                return false;
        } else if (Position(folded) != kNone) {
            return false;
        }
        m_entries.push_back(Entry{key, std::move(folded), std::move(item)});
        return true;
    }

    // Room for `count` items in all, so that adding them moves nothing.
    void Reserve(std::size_t count) {
        m_entries.reserve(count);
        if (count >= kIndexFrom)
            m_index.reserve(count);
    }

    T* Find(const std::string& key) const {
        const std::size_t i = Position(LowerCase(key));
        return i == kNone ? nullptr : m_entries[i].item.get();
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
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::size_t Position(const std::string& folded) const {
        if (m_entries.size() >= kIndexFrom) {
            const auto it = m_index.find(folded);
            return it == m_index.end() ? kNone : it->second;
        }
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            if (m_entries[i].folded == folded)
                return i;
        return kNone;
    }

    Entries m_entries;
    std::unordered_map<std::string, std::size_t> m_index; // folded key -> position
};

} // namespace KDAutoUpdate
