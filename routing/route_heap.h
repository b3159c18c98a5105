// The search's binary min-heap of links keyed by cost: the children of
// position i sit at 2i + 1 and 2i + 2, and every link keeps its position so
// a lower key moves it up in place.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "routing/road_graph.h"

namespace velka {

class CLinkHeap {
public:
    CLinkHeap(std::vector<RoutingLink>& links, std::size_t cCapacity) : m_links(links) {
        m_items.reserve(cCapacity);
    }

    bool Empty() const { return m_items.empty(); }
    void Push(std::int32_t nLink, float fKey) {
        m_items.push_back({fKey, nLink});
        Up(m_items.size() - 1);
    }
    // Lowers the key of a link in the heap.
    void Decrease(std::int32_t nLink, float fKey) {
        const auto i = static_cast<std::size_t>(m_links[static_cast<std::size_t>(nLink)].nHeapPos);
        m_items[i].first = fKey;
        Up(i);
    }
    std::int32_t Pop() {
        const std::int32_t n = m_items.front().second;
        m_links[static_cast<std::size_t>(n)].nHeapPos = -1;
        m_items.front() = m_items.back();
        m_items.pop_back();
        if (!m_items.empty()) Down(0);
        return n;
    }

private:
    void Place(std::size_t i) { m_links[static_cast<std::size_t>(m_items[i].second)].nHeapPos = static_cast<std::int32_t>(i); }
    void Up(std::size_t i) {
        while (i > 0) {
            const std::size_t p = (i - 1) / 2;
            if (!(m_items[i].first < m_items[p].first)) break;
            std::swap(m_items[i], m_items[p]);
            Place(i);
            i = p;
        }
        Place(i);
    }
    void Down(std::size_t i) {
        const std::size_t n = m_items.size();
        for (;;) {
            const std::size_t l = 2 * i + 1, r = l + 1;
            std::size_t m = i;
            if (l < n && m_items[l].first < m_items[m].first) m = l;
            if (r < n && m_items[r].first < m_items[m].first) m = r;
            if (m == i) break;
            std::swap(m_items[i], m_items[m]);
            Place(i);
            i = m;
        }
        Place(i);
    }

    std::vector<RoutingLink>& m_links;
    std::vector<std::pair<float, std::int32_t>> m_items;
};

} // namespace velka
