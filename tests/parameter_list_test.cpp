// Parameter lists: building, lookup, copying values between lists, observers,
// ownership, and the dummy parameters every list carries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "support/RecordingObserver.h"
#include "ulmora/Ulmora.h"

namespace {

using Log = std::vector<std::string>;
using UlmoraTest::Count;
using UlmoraTest::RecordingObserver;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A ParameterInt that logs its destruction, to prove every parameter a list
// owns is released exactly once (the sanitizer build catches a second time).
class CountedInt : public ParameterInt {
public:
    CountedInt(int32_t* variable, Log* log, std::string name)
        : ParameterInt(variable), m_Log(log), m_Label(std::move(name))
    {
    }
    ~CountedInt() override { m_Log->push_back("deleted " + m_Label); }

private:
    Log* m_Log;
    std::string m_Label;
};

ParameterInt* IntAt(ParameterList& list, int32_t index)
{
    return dynamic_cast<ParameterInt*>(list.GetParameter(index));
}

TEST(ParameterList, DefaultListIsNamedNonameAndEmpty)
{
    ParameterList list;
    EXPECT_EQ(list.GetName(), "noname");
    EXPECT_EQ(list.GetDisplayName(), "noname");
    EXPECT_EQ(list.GetDescription(), "");
    EXPECT_EQ(list.GetNumParameters(), 0u);
    EXPECT_EQ(ParameterList::ParameterListImplementationVersion(), 3u);
}

TEST(ParameterList, ShortFormUsesTheNameTwiceAndDefaultFlags)
{
    int32_t value = 0;
    ParameterList list;
    list.AddParameterInt(4, "N", "D", &value, nullptr);
    Parameter* p = list.GetParameter(0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetParameterID(), 4u);
    EXPECT_STREQ(p->GetName(), "N");
    EXPECT_STREQ(p->GetDisplayName(), "N");
    EXPECT_STREQ(p->GetDescription(), "D");
    EXPECT_TRUE(p->IsVisible());
    EXPECT_FALSE(p->IsReadOnly());

    list.AddParameterInt(5, "R", "Read only", "", &value, nullptr, true, false);
    ParameterInt* readOnly = IntAt(list, 1);
    readOnly->SetValue(int32_t(9));
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(readOnly->IsVisible());
}

// Records what each short form hands to its full form, and how a parameter
// looks when it reaches AddParameter.
class RecordingList : public ParameterList {
public:
    using ParameterList::AddParameterInt;
    using ParameterList::AddParameterEnum;
    void AddParameterInt(uint32_t id, std::string name, std::string displayName,
                         std::string description, int32_t* variable,
                         ParameterValidator* validator, bool readOnly, bool visible) override
    {
        calls.push_back("full int " + name + "/" + displayName + "/" + description +
                        (readOnly ? " ro" : " rw") + (visible ? " visible" : " hidden"));
        ParameterList::AddParameterInt(id, name, displayName, description, variable, validator,
                                       readOnly, visible);
    }
    void AddParameter(Parameter* parameter) override
    {
        calls.push_back(std::string("append ") + parameter->GetName() + " id " +
                        std::to_string(parameter->GetParameterID()) +
                        (parameter->IsReadOnly() ? " ro" : " rw"));
        ParameterList::AddParameter(parameter);
    }
    std::vector<std::string> calls;
};

TEST(ParameterList, AddFormsSetUpTheParameterBeforeAppendingIt)
{
    Log log;
    RecordingObserver validatorLog("V", &log);
    struct Validator : ParameterValidator {
        explicit Validator(IParameterObserver* forward) : m_Forward(forward) {}
        bool AllowParameterChange(Parameter* p, const void* v, uint32_t c) override
        {
            return m_Forward->AllowParameterChange(p, v, c);
        }
        void NotifyParameterChanged(Parameter* p, uint32_t c) override
        {
            m_Forward->NotifyParameterChanged(p, c);
        }
        IParameterObserver* m_Forward;
    } validator(&validatorLog);

    int32_t value = 0;
    RecordingList list;
    list.AddParameterInt(7, "N", "D", &value, &validator);
    list.AddParameterInt(8, "M", "Shown", "E", &value, nullptr, true, false);
    EXPECT_THAT(list.calls, ElementsAre("full int N/N/D rw visible", "append N id 7 rw",
                                        "full int M/Shown/E ro hidden", "append M id 8 ro"));
    // The validator came after SetReadOnly and SetVisible: it heard nothing.
    EXPECT_THAT(log, IsEmpty());
    IntAt(list, 0)->SetValue(int32_t(3));
    EXPECT_THAT(log, ElementsAre("V:allow", "V:changed"));
}

TEST(ParameterList, EveryFamilyMakesItsClass)
{
    int32_t i = 0;
    float f = 0;
    bool b = false;
    std::string s;
    Parameter::Color c = {};
    DoubleZeroString choices;
    choices.Add("x");
    ParameterList nested;
    nested.SetName("nested");
    nested.SetDisplayName("Nested");
    nested.SetDescription("inner");

    ParameterList list;
    list.AddParameterFloat(0, "f", "", &f, nullptr);
    list.AddParameterInt(1, "i", "", &i, nullptr);
    list.AddParameterBool(2, "b", "", &b, nullptr);
    list.AddParameterString(3, "s", "", &s, nullptr);
    list.AddParameterFile(4, "file", "", "*.txt", &s, nullptr);
    list.AddParameterEnum(5, "e1", "", choices, &i, nullptr);
    list.AddParameterEnum(6, "e2", "", {"a", "b"}, {"da", "db"}, &i, nullptr);
    list.AddParameterEnum(7, "e3", "", std::string("a;b;\0c;", 7), &i, nullptr);
    list.AddParameterDynamicList(8, "d", "d", "", &choices, &i, nullptr, false, true);
    list.AddParameterColor(9, "c", "", &c, Parameter::Color::ColorFormatAlternate, nullptr);
    list.AddParameterList(10, &nested, nullptr, false, true);

    const int expected[] = {1, 0, 4, 2, 7, 3, 3, 3, 10, 6, 9};
    ASSERT_EQ(list.GetNumParameters(), 11u);
    for (int32_t n = 0; n < 11; ++n)
        EXPECT_EQ(list.GetParameter(n)->Type(), expected[n]) << "parameter " << n;

    EXPECT_EQ(static_cast<ParameterFile*>(list.GetParameter(4))->GetExtensions(), "*.txt");
    EXPECT_EQ(static_cast<ParameterEnum*>(list.GetParameter(6))->GetDescription(1), "db");
    // The choice text counts up to its first NUL.
    EXPECT_EQ(static_cast<ParameterEnum*>(list.GetParameter(7))->GetChoiceCount(), 2u);
    Parameter* holder = list.GetParameter(10);
    EXPECT_STREQ(holder->GetName(), "nested");
    EXPECT_STREQ(holder->GetDisplayName(), "Nested");
    EXPECT_STREQ(holder->GetDescription(), "inner");
    EXPECT_EQ(holder->GetVariablePointer(), &nested);
}

TEST(ParameterList, OutOfRangeIndexesAndNullNestedListsAreHarmless)
{
    int32_t value = 0;
    ParameterList list;
    EXPECT_EQ(list.GetParameter(0), nullptr);
    list.AddParameterInt(1, "a", "", &value, nullptr);
    for (int32_t index : {-1, 1, INT_MAX, INT_MIN})
        EXPECT_EQ(list.GetParameter(index), nullptr) << "index " << index;
    list.AddParameterList(2, nullptr, nullptr, false, true);
    list.AddParameter(nullptr);
    EXPECT_EQ(list.GetNumParameters(), 1u);
}

TEST(ParameterList, FindParameterReturnsTheFirstMatch)
{
    int32_t a = 0, b = 0, source = 5;
    ParameterList list;
    list.AddParameterInt(1, "first", "", &a, nullptr);
    list.AddParameterInt(1, "second", "", &b, nullptr);
    EXPECT_EQ(list.GetNumParameters(), 2u);
    EXPECT_EQ(list.FindParameter(1), list.GetParameter(0));
    EXPECT_EQ(list.FindParameter(2), nullptr);

    ParameterList other;
    other.AddParameterInt(1, "x", "", &source, nullptr);
    list = other;
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 0);

    ParameterList nested;
    list.AddParameterList(3, &nested, nullptr, false, true);
    list.AddParameterList(3, &nested, nullptr, false, true);
    EXPECT_EQ(list.GetNumParameters(), 4u);
}

TEST(ParameterList, AssignmentCopiesValuesOnlyBetweenMatchingTypes)
{
    Log log;
    RecordingObserver o("O", &log);
    int32_t targetInt = 1, targetOther = 1, targetUnmatched = 1;
    float sourceFloat = 2.5f;
    int32_t sourceInt = 7, sourceOnly = 9;
    std::string targetText = "t";

    ParameterList target;
    target.SetName("target");
    target.AddParameterInt(1, "mismatch", "", &targetOther, nullptr);
    target.AddParameterInt(2, "match", "", &targetInt, nullptr);
    target.AddParameterInt(3, "unmatched", "", &targetUnmatched, nullptr);
    target.AddParameterString(4, "text", "", &targetText, nullptr);
    target.AddObserverToParameters(&o);

    ParameterList source;
    source.SetName("source");
    source.AddParameterFloat(1, "mismatch", "", &sourceFloat, nullptr);
    source.AddParameterInt(2, "match", "", &sourceInt, nullptr);
    source.AddParameterInt(5, "only in source", "", &sourceOnly, nullptr);
    source.AddParameterInt(4, "text as int", "", &sourceInt, nullptr);

    target = source;
    EXPECT_EQ(targetOther, 1);
    EXPECT_EQ(targetInt, 7);
    EXPECT_EQ(targetUnmatched, 1);
    EXPECT_EQ(targetText, "t");
    EXPECT_EQ(target.GetName(), "target");
    EXPECT_EQ(target.GetNumParameters(), 4u);
    // Only the matching parameter was asked and told.
    EXPECT_THAT(log, ElementsAre("O:allow", "O:translate", "O:changed"));
    EXPECT_EQ(o.lastParameter, target.GetParameter(1));

    target = target; // self: every value assigned to itself
    EXPECT_EQ(targetInt, 7);
}

TEST(ParameterList, AssignmentBetweenLargeListsKeepsTheFirstMatchRule)
{
    // Large enough for the index to be built in groups; identifiers repeat
    // from position 50,000 on, in a scrambled order.
    const uint32_t count = 70000, distinct = 50000;
    std::vector<int32_t> targets(count, -1), sources(distinct);
    ParameterList target, source;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t id = (i % distinct) * 2654435761u;
        target.AddParameterInt(id, "t", "", &targets[i], nullptr);
    }
    for (uint32_t i = 0; i < distinct; ++i) {
        const uint32_t k = distinct - 1 - i;
        sources[k] = static_cast<int32_t>(k);
        source.AddParameterInt(k * 2654435761u, "s", "", &sources[k], nullptr);
    }
    target = source;
    int wrong = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t expected = i < distinct ? static_cast<int32_t>(i) : -1;
        wrong += targets[i] != expected ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0);
}

// Appends a parameter to its list the first time it is told of a stored value.
class AppendingObserver : public ParameterValidator {
public:
    AppendingObserver(ParameterList* list, int32_t* variable) : m_List(list), m_Variable(variable)
    {
    }
    void NotifyParameterTranslate(Parameter*, uint32_t) override
    {
        if (m_List != nullptr) {
            ParameterList* list = m_List;
            m_List = nullptr;
            list->AddParameterInt(20, "late", "", m_Variable, nullptr);
        }
    }

private:
    ParameterList* m_List;
    int32_t* m_Variable;
};

TEST(ParameterList, AssignmentFindsParametersAddedWhileItCopies)
{
    int32_t early = 0, late = 0, fromEarly = 1, fromLate = 2;
    ParameterList target;
    AppendingObserver appender(&target, &late);
    target.AddParameterInt(10, "early", "", &early, &appender);

    ParameterList source;
    source.AddParameterInt(10, "early", "", &fromEarly, nullptr);
    source.AddParameterInt(20, "late", "", &fromLate, nullptr);
    target = source;
    EXPECT_EQ(early, 1);
    EXPECT_EQ(late, 2);
}

// A list that finds parameters its own way: assignment must still ask it.
class RedirectingList : public ParameterList {
public:
    Parameter* FindParameter(uint32_t id) const override
    {
        return ParameterList::FindParameter(id == 1 ? 2 : id);
    }
};

TEST(ParameterList, AssignmentLooksUpThroughTheVirtualFindParameter)
{
    int32_t one = 0, two = 0, source = 4;
    RedirectingList target;
    target.AddParameterInt(1, "one", "", &one, nullptr);
    target.AddParameterInt(2, "two", "", &two, nullptr);
    ParameterList from;
    from.AddParameterInt(1, "x", "", &source, nullptr);
    static_cast<ParameterList&>(target) = from;
    EXPECT_EQ(one, 0);
    EXPECT_EQ(two, 4);
}

TEST(ParameterList, ObserversReachNestedListsButNotLaterParameters)
{
    Log log;
    RecordingObserver o("O", &log);
    int32_t a = 0, b = 0, c = 0;
    ParameterList inner;
    inner.AddParameterInt(1, "inner", "", &a, nullptr);
    ParameterList outer;
    outer.AddParameterList(1, &inner, nullptr, false, true);
    outer.AddParameterInt(2, "outer", "", &b, nullptr);

    outer.AddObserverToParameters(&o);
    outer.AddParameterInt(3, "later", "", &c, nullptr);
    IntAt(inner, 0)->SetValue(int32_t(1));
    IntAt(outer, 1)->SetValue(int32_t(1));
    IntAt(outer, 2)->SetValue(int32_t(1));
    EXPECT_EQ(Count(log, "O:translate"), 2);

    log.clear();
    outer.RemoveObserverToParameters(&o);
    IntAt(inner, 0)->SetValue(int32_t(2));
    IntAt(outer, 1)->SetValue(int32_t(2));
    EXPECT_THAT(log, IsEmpty());
}

TEST(ParameterList, DestructionTellsObserversFirstThenDeletesEachParameterOnce)
{
    Log log;
    struct ListObserver : IParameterListObserver {
        explicit ListObserver(Log* log, const char* name) : m_Log(log), m_Name(name) {}
        void NotifyParameterListDestroyed(ParameterList* list) override
        {
            m_Log->push_back(std::string(m_Name) + " told, " +
                             std::to_string(list->GetNumParameters()) + " parameters");
        }
        Log* m_Log;
        const char* m_Name;
    } first(&log, "first"), second(&log, "second"), removed(&log, "removed");

    int32_t value = 0;
    {
        ParameterList list;
        list.AddObserver(&first);
        list.AddObserver(&first);
        list.AddObserver(nullptr);
        list.AddObserver(&removed);
        list.AddObserver(&second);
        list.RemoveObserver(&removed);
        list.AddParameter(new CountedInt(&value, &log, "a"));
        list.AddParameter(new CountedInt(&value, &log, "b"));
    }
    EXPECT_THAT(log, ElementsAre("first told, 2 parameters", "second told, 2 parameters",
                                 "deleted a", "deleted b"));
}

TEST(ParameterList, NestedListsAreNotOwnedByTheListHoldingThem)
{
    Log log;
    int32_t value = 0;
    auto inner = std::make_unique<ParameterList>();
    inner->AddParameter(new CountedInt(&value, &log, "inner"));
    {
        ParameterList outer;
        outer.AddParameterList(1, inner.get(), nullptr, false, true);
        outer.AddParameterList(2, inner.get(), nullptr, false, true);
    }
    EXPECT_THAT(log, IsEmpty());
    inner.reset();
    EXPECT_THAT(log, ElementsAre("deleted inner"));
}

// --- Dummy parameters -----------------------------------------------------------

class DummyView : public ParameterList {
public:
    using ParameterList::GetDummyParameter;
    // Reads the table of any list, not only of a DummyView.
    static Parameter* DummyOf(ParameterList& list, uint32_t type)
    {
        Parameter* (ParameterList::*get)(uint32_t) = &DummyView::GetDummyParameter;
        return (list.*get)(type);
    }
};

TEST(DummyParameters, EveryListCarriesTheSameDefaults)
{
    DummyView first, second;
    for (uint32_t type : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u, 10u}) {
        Parameter* dummy = first.GetDummyParameter(type);
        ASSERT_NE(dummy, nullptr) << "type " << type;
        EXPECT_EQ(dummy, second.GetDummyParameter(type)) << "type " << type;
        EXPECT_EQ(dummy->Type(), type == 6 ? 5 : static_cast<int>(type)) << "type " << type;
        EXPECT_EQ(dummy->GetParameterID(), 0xFFFFFFFFu);
    }
    EXPECT_EQ(first.GetDummyParameter(5), first.GetDummyParameter(6));
    EXPECT_EQ(first.GetDummyParameter(8), nullptr);
    EXPECT_EQ(first.GetDummyParameter(11), nullptr);

    auto* dummyEnum = static_cast<ParameterEnum*>(first.GetDummyParameter(3));
    EXPECT_EQ(dummyEnum->GetChoiceCount(), 0u);
    EXPECT_FALSE(dummyEnum->DescriptionsAvailable());
    std::string text = "x";
    dummyEnum->GetDisplayValue(text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(static_cast<ParameterDynamicList*>(first.GetDummyParameter(10))->GetChoiceCount(),
              0u);
}

TEST(DummyParameters, TheDefaultListHoldsItsOwnHolder)
{
    DummyView list;
    Parameter* holder = list.GetDummyParameter(9);
    auto* defaultList = static_cast<ParameterList*>(holder->GetVariablePointer());
    ASSERT_NE(defaultList, nullptr);
    EXPECT_EQ(defaultList->GetName(), "noname");
    EXPECT_EQ(DummyView::DummyOf(*defaultList, 9), holder);
    EXPECT_EQ(DummyView::DummyOf(*defaultList, 0), list.GetDummyParameter(0));
}

TEST(DummyParameters, ReplacingAnEntryConcernsOneListAndNothingIsDeleted)
{
    Log log;
    int32_t value = 0;
    CountedInt replacement(&value, &log, "replacement");
    DummyView other;
    Parameter* original = other.GetDummyParameter(3);
    {
        DummyView list;
        list.AddDummyParameter(3, &replacement);
        list.AddDummyParameter(12, nullptr);
        EXPECT_EQ(list.GetDummyParameter(3), &replacement);
        EXPECT_EQ(other.GetDummyParameter(3), original);
    }
    EXPECT_THAT(log, IsEmpty());
    // Lists come and go; the defaults stay.
    DummyView later;
    EXPECT_EQ(later.GetDummyParameter(3), original);
    EXPECT_EQ(original->Type(), TypeEnum);
}

TEST(InterpreterManager, OwnsADefaultParameterList)
{
    Ulmora::IApplication* application = nullptr;
    CreateApplication(&application);
    ParameterList* list = application->GetParameterList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetName(), "noname");
    EXPECT_EQ(application->GetParameterList(), list);
    ReleaseApplication(&application);
}

} // namespace
