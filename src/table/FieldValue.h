#pragma once
// A single field value as it travels in and out of a record table: null, a
// 32-bit integer, a boolean, or bytes (text and pictures are both bytes).

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace kf {

// A cell without a copy: null, an integer (also a boolean's 0/1) or bytes (text
// and pictures) held elsewhere. Comparisons and bulk appends use it.
struct TCell {
    bool null = true;
    int32_t i = 0;
    std::string_view s;

    static TCell Integer(int32_t v) { return TCell{false, v, {}}; }
    static TCell Bytes(std::string_view b) { return TCell{false, 0, b}; }
};

class TValue {
public:
    enum class Kind : uint8_t { Null, Integer, Boolean, Bytes };

    TValue() = default;                    // null
    TValue(int32_t v) : m_kind(Kind::Integer), m_int(v) {}
    TValue(bool v) : m_kind(Kind::Boolean), m_int(v ? 1 : 0) {}
    TValue(const char *s) : m_kind(Kind::Bytes), m_bytes(s ? s : "") {}
    TValue(std::string s) : m_kind(Kind::Bytes), m_bytes(std::move(s)) {}
    static TValue Null() { return TValue(); }

    Kind kind() const { return m_kind; }
    bool IsNull() const { return m_kind == Kind::Null; }
    // Raw accessors; they do not convert (use the field accessors for that).
    int32_t integer() const { return m_int; }
    bool boolean() const { return m_int != 0; }
    const std::string &bytes() const { return m_bytes; }

    // In-place setters that keep the byte buffer's capacity (hot paths).
    void SetNull()
    {
        m_kind = Kind::Null;
        m_int = 0;
        m_bytes.clear();
    }
    void AssignInteger(int32_t v)
    {
        SetNull();
        m_kind = Kind::Integer;
        m_int = v;
    }
    void AssignBoolean(bool v)
    {
        SetNull();
        m_kind = Kind::Boolean;
        m_int = v ? 1 : 0;
    }
    void AssignBytes(const char *p, size_t n)
    {
        m_kind = Kind::Bytes;
        m_int = 0;
        m_bytes.assign(p, n);
    }

    bool operator==(const TValue &o) const
    {
        return m_kind == o.m_kind && m_int == o.m_int && m_bytes == o.m_bytes;
    }
    bool operator!=(const TValue &o) const { return !(*this == o); }

private:
    Kind m_kind = Kind::Null;
    int32_t m_int = 0;
    std::string m_bytes;
};

} // namespace kf
