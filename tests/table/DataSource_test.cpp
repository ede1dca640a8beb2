#include "table/DataSource.h"
#include "table/RecordTable.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Recorder : kf::IDataSourceListener {
    std::vector<kf::TRecordTable *> changes;
    int destroyed = 0;
    void DataSetChanged(kf::TDataSource &source) override { changes.push_back(source.DataSet()); }
    void DataSourceDestroyed(kf::TDataSource &) override { ++destroyed; }
};

} // namespace

TEST(DataSourceTest, TellsListenersOfRebindingAndDestruction)
{
    kf::TRecordTable a, b;
    Recorder first, second;
    auto source = std::make_unique<kf::TDataSource>(&a);
    source->AddListener(&first);
    source->AddListener(&second);
    source->AddListener(&first); // once only
    source->SetDataSet(&a);      // no change, no news
    source->SetDataSet(&b);
    source->RemoveListener(&second);
    source->SetDataSet(nullptr);
    EXPECT_EQ(first.changes, (std::vector<kf::TRecordTable *>{&b, nullptr}));
    EXPECT_EQ(second.changes, (std::vector<kf::TRecordTable *>{&b}));
    source.reset();
    EXPECT_EQ(first.destroyed, 1);
    EXPECT_EQ(second.destroyed, 0);
}

// A cursor destroyed before its data source: the source names none (no
// dangling cursor for the next control bound to it) and says so.
TEST(DataSourceTest, LetsGoOfADestroyedCursor)
{
    auto a = std::make_unique<kf::TRecordTable>();
    kf::TRecordTable b;
    Recorder listener; // outlives the source, which tells it when it goes
    kf::TDataSource source(a.get());
    source.AddListener(&listener);
    a.reset();
    EXPECT_EQ(source.DataSet(), nullptr);
    EXPECT_EQ(listener.changes, (std::vector<kf::TRecordTable *>{nullptr}));
    source.SetDataSet(&b); // bound again as usual
    EXPECT_EQ(source.DataSet(), &b);
    EXPECT_EQ(listener.changes.size(), 2u);
}
