#include "table/FilterExpression.h"

#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/IntegerText.h"
#include "common/Translation.h"

#include <cctype>

namespace kf {

struct TFilterExpression::Node {
    enum Kind : uint8_t { All, And, Or, Not, Compare, IsTrue } kind = All;
    enum Op : uint8_t { Eq, Ne, Lt, Gt, Le, Ge } op = Eq;
    int a = -1, b = -1; // child nodes (And, Or, Not)
    struct Operand {
        int col = -1;   // a field, or -1 for a constant
        TCell value;    // the constant (s points into m_texts)
        int text = -1;  // index into m_texts for a text constant
    } lhs, rhs;
    TFieldType type = TFieldType::Integer; // how the two sides compare
};

namespace {

struct Token {
    enum Kind { End, Ident, Number, Text, Op, LParen, RParen } kind = End;
    std::string text;
};

std::string Describe(const Token &t)
{
    if (t.kind == Token::End)
        return "nothing";
    if (t.kind == Token::Text)
        return "'" + t.text + "'";
    return "'" + t.text + "'";
}

bool Keyword(const Token &t, const char *kw)
{
    if (t.kind != Token::Ident)
        return false;
    size_t i = 0;
    for (; kw[i]; ++i)
        if (i >= t.text.size() || std::tolower(static_cast<unsigned char>(t.text[i])) != kw[i])
            return false;
    return i == t.text.size();
}

} // namespace

class TFilterParser {
public:
    TFilterParser(const std::string &text, const std::vector<TFieldDef> &defs, TFilterExpression &out)
        : m_src(text), m_defs(defs), m_out(out)
    {
        Advance();
    }

    void Run()
    {
        // Slot 0 is the root; fill it in at the end.
        m_out.m_nodes.emplace_back();
        const int root = Expr(0);
        if (m_tok.kind != Token::End)
            throw EDatabaseError(LibraryText("End of expression expected but %s found", Describe(m_tok)));
        m_out.m_nodes[0] = m_out.m_nodes[root];
        // Text constants point into m_texts, which no longer grows.
        for (TFilterExpression::Node &n : m_out.m_nodes) {
            if (n.lhs.text >= 0)
                n.lhs.value.s = m_out.m_texts[n.lhs.text];
            if (n.rhs.text >= 0)
                n.rhs.value.s = m_out.m_texts[n.rhs.text];
        }
    }

private:
    using Node = TFilterExpression::Node;

    void Advance()
    {
        size_t &p = m_pos;
        while (p < m_src.size() && std::isspace(static_cast<unsigned char>(m_src[p])))
            ++p;
        m_tok = Token();
        if (p >= m_src.size())
            return;
        const char c = m_src[p];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const size_t s = p;
            while (p < m_src.size() &&
                   (std::isalnum(static_cast<unsigned char>(m_src[p])) || m_src[p] == '_'))
                ++p;
            m_tok = {Token::Ident, m_src.substr(s, p - s)};
        } else if (c == '[') {
            const size_t e = m_src.find(']', p);
            if (e == std::string::npos)
                throw EDatabaseError(LibraryText("Unterminated field name in filter expression"));
            m_tok = {Token::Ident, m_src.substr(p + 1, e - p - 1)};
            p = e + 1;
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '-' && p + 1 < m_src.size() &&
                    std::isdigit(static_cast<unsigned char>(m_src[p + 1])))) {
            const size_t s = p++;
            while (p < m_src.size() && std::isdigit(static_cast<unsigned char>(m_src[p])))
                ++p;
            m_tok = {Token::Number, m_src.substr(s, p - s)};
        } else if (c == '\'' || c == '"') {
            std::string text;
            ++p;
            for (;;) {
                if (p >= m_src.size())
                    throw EDatabaseError(LibraryText("Unterminated string in filter expression"));
                if (m_src[p] == c) {
                    if (p + 1 < m_src.size() && m_src[p + 1] == c) {
                        text += c;
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                text += m_src[p++];
            }
            m_tok = {Token::Text, text};
        } else if (c == '(') {
            m_tok = {Token::LParen, "("};
            ++p;
        } else if (c == ')') {
            m_tok = {Token::RParen, ")"};
            ++p;
        } else if (c == '<' || c == '>' || c == '=') {
            std::string op(1, c);
            ++p;
            if (p < m_src.size() && (m_src[p] == '=' || (c == '<' && m_src[p] == '>'))) {
                op += m_src[p];
                ++p;
            }
            m_tok = {Token::Op, op};
        } else {
            m_tok = {Token::Op, std::string(1, c)};
            ++p;
            throw EDatabaseError(LibraryText("Invalid character %s in filter expression", Describe(m_tok)));
        }
    }

    int Add(const Node &n)
    {
        m_out.m_nodes.push_back(n);
        return static_cast<int>(m_out.m_nodes.size() - 1);
    }

    void Enter(int depth)
    {
        if (depth > 200)
            throw EDatabaseError(LibraryText("Filter expression too complex"));
    }

    int Expr(int depth)
    {
        Enter(depth);
        int left = Term(depth + 1);
        while (Keyword(m_tok, "or")) {
            Advance();
            Node n;
            n.kind = Node::Or;
            n.a = left;
            n.b = Term(depth + 1);
            left = Add(n);
        }
        return left;
    }

    int Term(int depth)
    {
        Enter(depth);
        int left = Factor(depth + 1);
        while (Keyword(m_tok, "and")) {
            Advance();
            Node n;
            n.kind = Node::And;
            n.a = left;
            n.b = Factor(depth + 1);
            left = Add(n);
        }
        return left;
    }

    int Factor(int depth)
    {
        Enter(depth);
        if (Keyword(m_tok, "not")) {
            Advance();
            Node n;
            n.kind = Node::Not;
            n.a = Factor(depth + 1);
            return Add(n);
        }
        if (m_tok.kind == Token::LParen) {
            Advance();
            const int inner = Expr(depth + 1);
            if (m_tok.kind != Token::RParen)
                throw EDatabaseError(LibraryText("')' expected but %s found", Describe(m_tok)));
            Advance();
            return inner;
        }
        Node n;
        n.kind = Node::Compare;
        TFieldType leftType;
        n.lhs = Operand(leftType);
        if (m_tok.kind != Token::Op) {
            if (n.lhs.col >= 0 && m_defs[n.lhs.col].DataType == TFieldType::Boolean) {
                n.kind = Node::IsTrue;
                return Add(n);
            }
            throw EDatabaseError(LibraryText("Operator expected but %s found", Describe(m_tok)));
        }
        const std::string op = m_tok.text;
        if (op == "=")
            n.op = Node::Eq;
        else if (op == "<>")
            n.op = Node::Ne;
        else if (op == "<")
            n.op = Node::Lt;
        else if (op == ">")
            n.op = Node::Gt;
        else if (op == "<=")
            n.op = Node::Le;
        else if (op == ">=")
            n.op = Node::Ge;
        else
            throw EDatabaseError(LibraryText("Operator expected but %s found", Describe(m_tok)));
        Advance();
        TFieldType rightType;
        n.rhs = Operand(rightType);
        n.type = Unify(n.lhs, leftType, n.rhs, rightType);
        return Add(n);
    }

    // A field name, a number, a quoted text, TRUE or FALSE.
    Node::Operand Operand(TFieldType &type)
    {
        Node::Operand o;
        switch (m_tok.kind) {
        case Token::End:
        case Token::Op:
        case Token::RParen:
        case Token::LParen:
            throw EDatabaseError(LibraryText("Expression expected but %s found", Describe(m_tok)));
        case Token::Number: {
            int32_t v;
            if (!ParseIntegerText(m_tok.text, v))
                throw EDatabaseError(LibraryText("Invalid number '%s' in filter expression", m_tok.text));
            o.value.null = false;
            o.value.i = v;
            type = TFieldType::Integer;
            break;
        }
        case Token::Text:
            o.value.null = false;
            o.text = static_cast<int>(m_out.m_texts.size());
            m_out.m_texts.push_back(m_tok.text);
            type = TFieldType::String;
            break;
        case Token::Ident:
            if (Keyword(m_tok, "true") || Keyword(m_tok, "false")) {
                o.value.null = false;
                o.value.i = Keyword(m_tok, "true") ? 1 : 0;
                type = TFieldType::Boolean;
                break;
            }
            if (Keyword(m_tok, "and") || Keyword(m_tok, "or") || Keyword(m_tok, "not"))
                throw EDatabaseError(LibraryText("Expression expected but %s found", Describe(m_tok)));
            o.col = FieldIndex(m_tok.text);
            type = m_defs[o.col].DataType;
            break;
        }
        Advance();
        return o;
    }

    int FieldIndex(const std::string &name)
    {
        const std::string l = LowerAscii(name);
        for (size_t i = 0; i < m_defs.size(); ++i)
            if (LowerAscii(m_defs[i].Name) == l)
                return static_cast<int>(i);
        throw EDatabaseError(LibraryText("Field '%s' not found", name));
    }

    static bool IsNumeric(TFieldType t) { return t == TFieldType::Integer || t == TFieldType::Boolean; }

    // Brings a constant to the other side's kind; both sides must then agree.
    TFieldType Unify(Node::Operand &l, TFieldType lt, Node::Operand &r, TFieldType rt)
    {
        if (IsNumeric(lt) && IsNumeric(rt))
            return TFieldType::Integer;
        if (!IsNumeric(lt) && !IsNumeric(rt))
            return TFieldType::String;
        // One numeric, one bytes: only a text constant against a numeric field
        // (or the reverse) can be made to fit.
        Node::Operand &txt = IsNumeric(lt) ? r : l;
        if (txt.col < 0 && txt.text >= 0) {
            int32_t v;
            if (ParseIntegerText(m_out.m_texts[txt.text], v)) {
                txt.text = -1;
                txt.value.i = v;
                return TFieldType::Integer;
            }
        }
        Node::Operand &num = IsNumeric(lt) ? l : r;
        if (num.col < 0) {
            num.text = static_cast<int>(m_out.m_texts.size());
            m_out.m_texts.push_back(std::to_string(num.value.i));
            return TFieldType::String;
        }
        throw EDatabaseError(LibraryText("Type mismatch in filter expression"));
    }

    const std::string &m_src;
    const std::vector<TFieldDef> &m_defs;
    TFilterExpression &m_out;
    size_t m_pos = 0;
    Token m_tok;
};

TFilterExpression::TFilterExpression() = default;
TFilterExpression::~TFilterExpression() = default;

std::unique_ptr<TFilterExpression> TFilterExpression::Compile(const std::string &text,
                                                              const std::vector<TFieldDef> &defs)
{
    std::unique_ptr<TFilterExpression> e(new TFilterExpression);
    bool blank = true;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            blank = false;
    if (blank) {
        e->m_nodes.emplace_back(); // All
        return e;
    }
    TFilterParser parser(text, defs, *e);
    parser.Run();
    return e;
}

bool TFilterExpression::IsAll() const { return m_nodes[0].kind == Node::All; }

bool TFilterExpression::Matches(const TRowData &data, uint32_t row) const
{
    return EvalNode(0, data, row) == 1;
}

// Three-valued: 1 true, 0 false, -1 unknown (a comparison with a null).
int TFilterExpression::EvalNode(int index, const TRowData &data, uint32_t row) const
{
    const Node &n = m_nodes[index];
    switch (n.kind) {
    case Node::All:
        return 1;
    case Node::And: {
        const int a = EvalNode(n.a, data, row);
        if (a == 0)
            return 0;
        const int b = EvalNode(n.b, data, row);
        if (b == 0)
            return 0;
        return (a == 1 && b == 1) ? 1 : -1;
    }
    case Node::Or: {
        const int a = EvalNode(n.a, data, row);
        if (a == 1)
            return 1;
        const int b = EvalNode(n.b, data, row);
        if (b == 1)
            return 1;
        return (a == 0 && b == 0) ? 0 : -1;
    }
    case Node::Not: {
        const int a = EvalNode(n.a, data, row);
        return a < 0 ? -1 : 1 - a;
    }
    case Node::IsTrue:
        if (data.IsNull(row, n.lhs.col))
            return -1;
        return data.Int(row, n.lhs.col) != 0 ? 1 : 0;
    case Node::Compare: {
        const TCell l = n.lhs.col >= 0 ? data.Cell(row, n.lhs.col) : n.lhs.value;
        const TCell r = n.rhs.col >= 0 ? data.Cell(row, n.rhs.col) : n.rhs.value;
        if (l.null || r.null)
            return -1;
        const int c = CompareCells(l, r, n.type);
        bool res = false;
        switch (n.op) {
        case Node::Eq: res = c == 0; break;
        case Node::Ne: res = c != 0; break;
        case Node::Lt: res = c < 0; break;
        case Node::Gt: res = c > 0; break;
        case Node::Le: res = c <= 0; break;
        case Node::Ge: res = c >= 0; break;
        }
        return res ? 1 : 0;
    }
    }
    return 0;
}

} // namespace kf
