#include "model/DataSource.h"
#include "model/RecordTable.h"

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
