#pragma once
// An ordered collection that owns its items and finds them by a key compared without regard to
// letter case (Unicode-aware: "Ä" and "ä" are one key). A key can be present only once: adding
// under a key that exists drops the new item and keeps the first.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/Unicode.h"

namespace KDAutoUpdate {

template <class T> class KeyedCollection {
    struct Entry {
        T* item;
        std::uint32_t hash;   // of the key, by HashIgnoreCase
        std::uint32_t keyEnd; // in m_keys; the key starts where the one before ends
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
        T* operator->() const { return m_it->item; }
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
        const std::uint32_t hash = Hash(key);
        if (!item || !Fits(key) || Position(key, hash) != kNone)
            return false;
        m_owned.push_back(std::move(item));
        Append(key, hash, m_owned.back().get());
        return true;
    }

    // Makes an item in place under `key`, from `args`: many small items cost a few allocations
    // instead of one each. Null, and nothing made, when the key is present already.
    template <class... Args> T* Emplace(std::string_view key, Args&&... args) {
        const std::uint32_t hash = Hash(key);
        if (!Fits(key) || Position(key, hash) != kNone)
            return nullptr;
        std::vector<T>* block = m_made.empty() ? &m_firstMade : &m_made.back();
        if (block->size() == block->capacity()) {
            // A full block is never grown, so that its items never move: a new one takes over,
            // with room for the rest of what was reserved.
            const std::size_t room = m_reserved > Count() ? m_reserved - Count() : 0;
            block = block->capacity() == 0 ? block : &m_made.emplace_back();
            block->reserve(std::max<std::size_t>(room, kMinBlock));
        }
        T* item = &block->emplace_back(std::forward<Args>(args)...);
        Append(key, hash, item);
        return item;
    }

    // Room for `count` more items with `keyBytes` of keys, so that adding them moves no entry
    // and makes few blocks.
    void Reserve(std::size_t count, std::size_t keyBytes = 0) {
        count += m_entries.size();
        m_entries.reserve(count);
        m_keys.reserve(m_keys.size() + keyBytes);
        m_reserved = count;
        if (count >= kIndexFrom)
            Index().reserve(count);
    }

    T* Find(const std::string& key) const {
        const std::size_t i = Position(key, Hash(key));
        return i == kNone ? nullptr : m_entries[i].item;
    }

    std::size_t Count() const { return m_entries.size(); }
    // The item at a zero-based position in adding order, or null.
    T* Item(std::size_t index) const {
        return index < m_entries.size() ? m_entries[index].item : nullptr;
    }
    // The key an item was added under, as it was written; empty out of range.
    std::string Key(std::size_t index) const {
        return index < m_entries.size() ? std::string(KeyAt(index)) : std::string();
    }

    Iterator begin() const { return Iterator(m_entries.cbegin()); }
    Iterator end() const { return Iterator(m_entries.cend()); }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    static std::uint32_t Hash(std::string_view key) {
        const std::size_t hash = HashIgnoreCase(key);
        return static_cast<std::uint32_t>(hash ^ (hash >> 16 >> 16));
    }
    // Whether m_keys can take `key`: the entries mark their keys' ends in 32 bits.
    bool Fits(std::string_view key) const {
        return key.size() <= std::numeric_limits<std::uint32_t>::max() - m_keys.size();
    }
    std::string_view KeyAt(std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : m_entries[i - 1].keyEnd;
        return std::string_view(m_keys).substr(begin, m_entries[i].keyEnd - begin);
    }

    std::unordered_multimap<std::uint32_t, std::size_t>& Index() {
        if (!m_index)
            m_index = std::make_unique<std::unordered_multimap<std::uint32_t, std::size_t>>();
        return *m_index;
    }

    void Append(std::string_view key, std::uint32_t hash, T* item) {
        if (m_entries.size() + 1 >= kIndexFrom) {
            if (m_entries.size() + 1 == kIndexFrom)
                for (std::size_t i = 0; i < m_entries.size(); ++i)
                    Index().emplace(m_entries[i].hash, i);
            Index().emplace(hash, m_entries.size());
        }
        m_keys.append(key);
        m_entries.push_back(Entry{item, hash, static_cast<std::uint32_t>(m_keys.size())});
    }

    bool Matches(std::size_t i, std::string_view key, std::uint32_t hash) const {
        return m_entries[i].hash == hash && EqualsIgnoreCase(KeyAt(i), key);
    }

    std::size_t Position(std::string_view key, std::uint32_t hash) const {
        if (m_entries.size() >= kIndexFrom) {
            for (auto [it, end] = m_index->equal_range(hash); it != end; ++it)
                if (Matches(it->second, key, hash))
                    return it->second;
            return kNone;
        }
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            if (Matches(i, key, hash))
                return i;
        return kNone;
    }

    static constexpr std::size_t kMinBlock = 8;

    Entries m_entries;
    std::string m_keys; // the keys as they were given, one after another
    // The items: those handed in, and those made in place. The first block of those made is a
    // member, so that a small collection made in place costs one allocation for its items.
    std::vector<std::unique_ptr<T>> m_owned;
    std::vector<T> m_firstMade;
    std::vector<std::vector<T>> m_made;
    std::size_t m_reserved = 0;
    // Key's hash -> position, from kIndexFrom items on.
    std::unique_ptr<std::unordered_multimap<std::uint32_t, std::size_t>> m_index;
};

} // namespace KDAutoUpdate
