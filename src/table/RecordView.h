#pragma once
// The rows one cursor sees, in its order (engine-internal).
//
// A view is the list of the live rows that pass the cursor's filter, sorted
// by its order (ties by slot, so stored order when there is no order). With
// an order it also holds a 64-bit prefix of each row's first key, so that
// searches mostly compare these instead of reaching into the rows. It is
// built when first needed and then kept up to date row by row by its cursor,
// which tells its links of every position that changes.

#include "common/HugePageAllocator.h"
#include "table/RowStore.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kf {

class TFilterExpression;

// One part of an order: a column, ascending or descending.
struct KeyPart {
    int col;
    bool desc;
};

// A row to be placed or found in a view: its stored values, or (values set)
// the values it is compared by instead, e.g. those it had before a change.
struct Probe {
    uint32_t row;
    const std::vector<TValue> *values;
};

class TRowView {
public:
    std::vector<KeyPart> order;
    BigVector<uint32_t> rows; // slots, in order
    BigVector<uint64_t> keys; // with an order: KeyPrefix of each row's first key
    bool built = false;
    uint64_t seq = 0;     // the store's changeSeq the view reflects
    uint64_t version = 1; // moves whenever positions may have changed

    size_t size() const { return rows.size(); }
    bool empty() const { return rows.empty(); }
    uint32_t operator[](size_t i) const { return rows[i]; }

    // Builds the view of the live rows that pass the filter (null: all).
    void Build(const TRowData &d, const TFilterExpression *filter, uint64_t changeSeq);
    // Forgets the rows; the next use builds them anew.
    void Drop();

    // The position where a row (with the probe's values) is or would be.
    size_t LowerBound(const TRowData &d, const Probe &p) const;
    // The first position whose row is not below the key on the first n parts
    // of the order.
    size_t LowerBoundKey(const TRowData &d, const std::vector<TCell> &key, size_t n) const;
    // The position of a row in the view, -1 when it is not there.
    long IndexOf(const TRowData &d, uint32_t row) const
    {
        const size_t pos = LowerBound(d, Probe{row, nullptr});
        return pos < rows.size() && rows[pos] == row ? long(pos) : -1;
    }
    // Where a row that passes the filter joins the view.
    size_t InsertPosition(const TRowData &d, uint32_t row) const
    {
        if (order.empty() && (rows.empty() || rows.back() < row))
            return rows.size(); // a new row in stored order: the end
        return LowerBound(d, Probe{row, nullptr});
    }
    void InsertAt(const TRowData &d, size_t pos, uint32_t row);
    void EraseAt(size_t pos);
    // Drops the rows no longer alive in one pass; yields the new position of
    // the row that was at `at` (the row after it when it went), or size().
    size_t Compact(const TRowData &d, long at);

    // ---- comparisons in this view's order ----------------------------------
    static TCell ProbeCell(const TRowData &d, const Probe &p, int col)
    {
        return p.values ? CellOf((*p.values)[col]) : d.Cell(p.row, col);
    }
    // Sign of (row r - probe) in this order (ties by slot).
    int CompareToProbe(const TRowData &d, uint32_t r, const Probe &p) const
    {
        if (r == p.row) // a row equals itself, whichever of its values the probe holds
            return 0;
        for (const KeyPart &k : order) {
            const int c = CompareCells(d.Cell(r, k.col), ProbeCell(d, p, k.col), d.defs[k.col].DataType);
            if (c)
                return k.desc ? -c : c;
        }
        return r < p.row ? -1 : (r > p.row ? 1 : 0);
    }
    bool RowLess(const TRowData &d, uint32_t a, uint32_t b) const
    {
        return CompareToProbe(d, a, Probe{b, nullptr}) < 0;
    }
    // Sign of (row r - key) on the first n parts of the order.
    int CompareKey(const TRowData &d, uint32_t r, const std::vector<TCell> &key, size_t n) const
    {
        for (size_t i = 0; i < n; ++i) {
            const KeyPart &k = order[i];
            const int c = CompareCells(d.Cell(r, k.col), key[i], d.defs[k.col].DataType);
            if (c)
                return k.desc ? -c : c;
        }
        return 0;
    }

    // A 64-bit sort key of a cell, the same as its search prefix: integers
    // exactly (null below every value), texts by their first 7 bytes
    // big-endian, zero-padded, with null below the empty text. Equal prefixes
    // of texts still need the full comparison.
    static uint64_t Prefix(const TCell &c, TFieldType type)
    {
        if (c.null)
            return 0;
        if (type == TFieldType::Integer || type == TFieldType::Boolean)
            return uint64_t(uint32_t(c.i) ^ 0x80000000u) + 1;
        uint64_t v = 0;
        for (size_t i = 0; i < 7; ++i)
            v = (v << 8) | (i < c.s.size() ? uint8_t(c.s[i]) : 0);
        return (v << 8) | 1;
    }
    // The prefix of a first-key cell, inverted for a descending key.
    uint64_t KeyPrefix(const TRowData &d, const TCell &c) const
    {
        const uint64_t p = Prefix(c, d.defs[order[0].col].DataType);
        return order[0].desc ? ~p : p;
    }
    uint64_t RowKeyPrefix(const TRowData &d, uint32_t row) const
    {
        return KeyPrefix(d, d.Cell(row, order[0].col));
    }

private:
    void Sort(const TRowData &d);
    template <size_t P> void SortKeyed(const TRowData &d);
};

} // namespace kf
