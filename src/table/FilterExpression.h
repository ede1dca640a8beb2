#pragma once
// A compiled filter expression of a record table (engine-internal).
//
// Grammar: expr := term {OR term}; term := factor {AND factor};
// factor := NOT factor | '(' expr ')' | operand op operand;
// operand := field name | integer | 'quoted text' | TRUE | FALSE;
// op := = <> < > <= >=. A comparison with a null is unknown (as in SQL):
// neither it nor its negation lets the row through.

#include "table/FieldDef.h"
#include "table/RowStore.h"

#include <memory>
#include <string>
#include <vector>

namespace kf {

class TFilterExpression {
public:
    // Throws EDatabaseError ("Expression expected but nothing found", "Field
    // 'X' not found", ...). An empty or blank text compiles to "all rows".
    static std::unique_ptr<TFilterExpression> Compile(const std::string &text,
                                                      const std::vector<TFieldDef> &defs);
    ~TFilterExpression();

    bool Matches(const TRowData &data, uint32_t row) const;
    // Whether the expression lets every row through (a blank text).
    bool IsAll() const;

    struct Node;

private:
    TFilterExpression();
    std::vector<Node> m_nodes; // m_nodes[0] is the root
    std::vector<std::string> m_texts;
    int EvalNode(int index, const TRowData &data, uint32_t row) const;
    friend class TFilterParser;
};

} // namespace kf
