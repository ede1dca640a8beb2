// The one binding of a view: it follows its data source to another cursor,
// lets go of what is destroyed, passes the cursor's calls on and nothing from
// a cursor it no longer shows.

#include "table/DataBinding.h"
#include "table/RecordTable.h"

#include <gtest/gtest.h>

#include <map>

#include <algorithm>

#include <memory>
#include <string>
#include <vector>

using namespace kf;

namespace {

std::vector<TFieldDef> fields()
{
    return {{"Name", TFieldType::String, 10}, {"Code", TFieldType::Integer}};
}

// The tables' names, for what the recorder writes down.
std::map<const TRecordTable *, std::string> &names()
{
    static std::map<const TRecordTable *, std::string> n;
    return n;
}
std::string nameOf(const TRecordTable &t) { return names()[&t]; }

// Writes down what it hears, with the cursor the binding names at that time.
class Recorder : public IBoundView {
public:
    Recorder() : binding(std::make_unique<TDataBinding>(*this)) {}
    std::unique_ptr<TDataBinding> binding;
    std::vector<std::string> heard;

    void BindingAboutToChange() override { heard.push_back("about to change"); }
    void BindingChanged() override { heard.push_back(binding->DataSet() ? "changed to " + nameOf(*binding->DataSet()) : "changed to none"); }
    void DataSetReset(TRecordTable &t) override { heard.push_back("reset " + nameOf(t)); }
    void RowsInserted(TRecordTable &t, int first, int last) override
    {
        heard.push_back("inserted " + nameOf(t) + " " + std::to_string(first) + ".." + std::to_string(last));
    }
    void RowsRemoved(TRecordTable &t, int first, int) override { heard.push_back("removed " + nameOf(t) + " " + std::to_string(first)); }
    void RowChanged(TRecordTable &t, int viewIndex) override { heard.push_back("changed row " + nameOf(t) + " " + std::to_string(viewIndex)); }
    void CurrentRowChanged(TRecordTable &) override {}
    void StateChanged(TRecordTable &t) override { heard.push_back("state " + nameOf(t)); }
    void UpdateData(TRecordTable &t) override { heard.push_back("update data " + nameOf(t)); }

    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(heard);
        return out;
    }
};

using Heard = std::vector<std::string>;

bool has(const Heard &heard, const std::string &what)
{
    return std::find(heard.begin(), heard.end(), what) != heard.end();
}

std::unique_ptr<TRecordTable> table(const char *name)
{
    auto t = std::make_unique<TRecordTable>(fields());
    names()[t.get()] = name;
    return t;
}

} // namespace

TEST(DataBinding, FollowsTheDataSourceToAnotherCursor)
{
    auto a = table("a");
    auto b = table("b");
    TDataSource source(a.get());
    Recorder view;
    view.binding->SetDataSource(&source);
    EXPECT_EQ(view.take(), (Heard{"about to change", "changed to a"}));
    EXPECT_EQ(view.binding->DataSource(), &source);
    EXPECT_EQ(view.binding->DataSet(), a.get());

    view.binding->SetDataSource(&source); // the same: no news
    EXPECT_TRUE(view.take().empty());

    a->AppendRecord({"x", 1});
    const Heard appended = view.take();
    EXPECT_TRUE(has(appended, "inserted a 0..0"));
    EXPECT_TRUE(has(appended, "update data a")); // the post gathers the view's pending value

    source.SetDataSet(b.get());
    EXPECT_EQ(view.take(), (Heard{"about to change", "changed to b"}));
    a->AppendRecord({"y", 2}); // the cursor left behind is not heard any more
    EXPECT_TRUE(view.take().empty());
    b->AppendRecord({"z", 3});
    EXPECT_TRUE(has(view.take(), "inserted b 0..0"));

    source.SetDataSet(nullptr);
    EXPECT_EQ(view.take(), (Heard{"about to change", "changed to none"}));
    b->AppendRecord({"w", 4});
    EXPECT_TRUE(view.take().empty());
}

TEST(DataBinding, RowCallsArePassedOn)
{
    auto a = table("a");
    a->AppendRecord({"x", 1});
    a->AppendRecord({"y", 2});
    TDataSource source(a.get());
    Recorder view;
    view.binding->SetDataSource(&source);
    view.take();
    a->First();
    a->Edit();
    a->FieldByName("Code").SetAsInteger(7);
    a->Post();
    const Heard edited = view.take();
    EXPECT_TRUE(has(edited, "state a"));
    EXPECT_TRUE(has(edited, "update data a"));
    EXPECT_TRUE(has(edited, "changed row a 0"));
    a->Delete();
    EXPECT_EQ(view.take(), (Heard{"removed a 0"}));
    a->EmptyDataSet();
    EXPECT_TRUE(has(view.take(), "reset a"));
}

TEST(DataBinding, LetsGoOfWhatIsDestroyed)
{
    auto a = table("a");
    auto b = table("b");
    auto source = std::make_unique<TDataSource>(a.get());
    Recorder view;
    view.binding->SetDataSource(source.get());
    view.take();

    a.reset(); // the cursor goes while the data source still names it
    EXPECT_EQ(view.take(), (Heard{"about to change", "changed to none"}));
    EXPECT_EQ(view.binding->DataSet(), nullptr);
    EXPECT_EQ(view.binding->DataSource(), source.get());

    source->SetDataSet(b.get());
    EXPECT_EQ(view.take(), (Heard{"about to change", "changed to b"}));
    source.reset(); // the data source goes
    EXPECT_EQ(view.take(), (Heard{"about to change", "changed to none"}));
    EXPECT_EQ(view.binding->DataSource(), nullptr);
    EXPECT_EQ(view.binding->DataSet(), nullptr);
    b->AppendRecord({"x", 1}); // no longer followed
    EXPECT_TRUE(view.take().empty());
}

TEST(DataBinding, ItsEndUnregistersFromBoth)
{
    auto a = table("a");
    auto b = table("b");
    TDataSource source(a.get());
    Recorder view;
    view.binding->SetDataSource(&source);
    view.take();
    view.binding.reset(); // the view lets go (as its member does when it is destroyed)
    a->AppendRecord({"x", 1});
    source.SetDataSet(b.get());
    EXPECT_TRUE(view.heard.empty());
}

TEST(DataBinding, AnotherSourceOnTheSameCursorIsStillAChange)
{
    auto a = table("a");
    TDataSource first(a.get());
    TDataSource second(a.get());
    Recorder view;
    view.binding->SetDataSource(&first);
    view.binding->SetDataSource(&second);
    EXPECT_EQ(view.take(), (Heard{"about to change", "changed to a", "about to change", "changed to a"}));
    first.SetDataSet(nullptr); // the source left behind is not followed
    EXPECT_TRUE(view.take().empty());
    a->AppendRecord({"x", 1}); // and the cursor is heard once
    const Heard heard = view.take();
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "inserted a 0..0"), 1);
}
