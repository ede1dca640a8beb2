#include "table/ControlsDisabled.h"

#include "common/Errors.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace kf;

namespace {

// Hears the resets around bulk work; can be told to fail when the controls
// come back.
class ResetLink : public IDataLink {
public:
    std::vector<std::string> log;
    bool failOnCurrentRow = false;

    void DataSetAboutToReset(TRecordTable &) override { log.push_back("aboutToReset"); }
    void DataSetReset(TRecordTable &t) override { log.push_back("reset " + std::to_string(t.RecordCount())); }
    void RowsInserted(TRecordTable &, int first, int) override { log.push_back("inserted " + std::to_string(first)); }
    void CurrentRowChanged(TRecordTable &) override
    {
        if (failOnCurrentRow)
            throw EDatabaseError("link refused");
    }
};

class ControlsDisabledTest : public testing::Test {
protected:
    void SetUp() override
    {
        table.CreateDataSet({{"Name", TFieldType::String, 20}, {"Code", TFieldType::Integer}});
        table.AddDataLink(&link);
    }
    void TearDown() override { table.RemoveDataLink(&link); }

    TRecordTable table;
    ResetLink link;
};

TEST_F(ControlsDisabledTest, BulkWorkIsOneResetAtTheEnd)
{
    {
        ControlsDisabled quiet(table);
        EXPECT_TRUE(table.ControlsDisabled());
        table.AppendRecord({"a", 1});
        table.AppendRecord({"b", 2});
    }
    EXPECT_FALSE(table.ControlsDisabled());
    EXPECT_EQ(link.log, (std::vector<std::string>{"aboutToReset", "reset 2"}));
}

TEST_F(ControlsDisabledTest, ScopesNest)
{
    {
        ControlsDisabled outer(table);
        {
            ControlsDisabled inner(table);
            table.AppendRecord({"a", 1});
        }
        EXPECT_TRUE(table.ControlsDisabled());
        table.AppendRecord({"b", 2});
    }
    EXPECT_FALSE(table.ControlsDisabled());
    EXPECT_EQ(link.log, (std::vector<std::string>{"aboutToReset", "reset 2"}));
}

TEST_F(ControlsDisabledTest, ControlsComeBackWhenTheWorkFails)
{
    EXPECT_THROW(
        {
            ControlsDisabled quiet(table);
            table.AppendRecord({"a", 1});
            table.AppendRecord({"b", "not a number"});
        },
        EConvertError);
    EXPECT_FALSE(table.ControlsDisabled());
    EXPECT_EQ(link.log, (std::vector<std::string>{"aboutToReset", "reset 1"}));
    table.Cancel(); // the refused row is still being inserted
    table.AppendRecord({"c", 3});
    EXPECT_EQ(link.log.back().rfind("inserted ", 0), 0u) << "the links hear each row again";
}

// A link that fails when the controls come back: after finished work its
// error goes on; after failed work the work's own error goes on, and nothing
// ends the program.
TEST_F(ControlsDisabledTest, LinkErrorOnEnableGoesOnOnlyAfterFinishedWork)
{
    link.failOnCurrentRow = true;
    std::string error;
    try {
        ControlsDisabled quiet(table);
        table.AppendRecord({"a", 1});
    } catch (const EDatabaseError &e) {
        error = e.what();
    }
    EXPECT_EQ(error, "link refused");
    EXPECT_FALSE(table.ControlsDisabled());

    error.clear();
    try {
        ControlsDisabled quiet(table);
        throw std::runtime_error("work failed");
    } catch (const std::exception &e) {
        error = e.what();
    }
    EXPECT_EQ(error, "work failed");
    EXPECT_FALSE(table.ControlsDisabled());
    link.failOnCurrentRow = false;
}

} // namespace
