#pragma once
// Bulk work on a cursor without announcing every row: the cursor's controls are
// disabled (TRecordTable::DisableControls) for the length of a scope and
// enabled again however the scope ends, so the bound views re-read the table
// once at the end. Scopes nest.
//
// An error raised while the controls are enabled again (a link's handler)
// goes on to the caller when the scope ended normally; when the scope is left
// by an error, that first error is the one that goes on.

#include "table/RecordTable.h"

#include <exception>

namespace kf {

class ControlsDisabled {
public:
    explicit ControlsDisabled(TRecordTable &table) : m_table(table), m_errors(std::uncaught_exceptions())
    {
        m_table.DisableControls();
    }
    ~ControlsDisabled() noexcept(false)
    {
        if (std::uncaught_exceptions() == m_errors) {
            m_table.EnableControls();
            return;
        }
        try {
            m_table.EnableControls();
        } catch (...) {
            // the error that left the scope is the one reported
        }
    }
    ControlsDisabled(const ControlsDisabled &) = delete;
    ControlsDisabled &operator=(const ControlsDisabled &) = delete;

private:
    TRecordTable &m_table;
    const int m_errors; // errors in flight when the scope began
};

} // namespace kf
