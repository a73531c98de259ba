// Parameters on their own: the observer protocol, the scalar classes and the
// choice classes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "support/RecordingObserver.h"
#include "ulmora/Ulmora.h"

namespace {

using Log = std::vector<std::string>;
using UlmoraTest::Count;
using UlmoraTest::RecordingObserver;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> Choices(const DoubleZeroString& list)
{
    std::vector<std::string> result;
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        result.push_back(list.Get(i));
    return result;
}

std::string Display(const Parameter& parameter)
{
    std::string text = "untouched";
    parameter.GetDisplayValue(text);
    return text;
}

// --- Parameter base -----------------------------------------------------------

TEST(Parameter, FreshParameterHasTheDocumentedDefaults)
{
    int32_t value = 0;
    ParameterInt p(&value);
    EXPECT_EQ(p.GetParameterID(), 0xFFFFFFFFu);
    EXPECT_EQ(p.GetImageIndex(), -1);
    EXPECT_TRUE(p.IsVisible());
    EXPECT_FALSE(p.IsReadOnly());
    EXPECT_STREQ(p.GetName(), "");
    EXPECT_STREQ(p.GetDisplayName(), "");
    EXPECT_STREQ(p.GetDescription(), "");
}

TEST(Parameter, ObserversAreRegisteredOnceAndRemovedBySwappingWithTheLast)
{
    Log log;
    RecordingObserver x("X", &log), y("Y", &log), z("Z", &log);
    int32_t value = 0;
    ParameterInt p(&value);
    p.AddObserver(&x);
    p.AddObserver(&x);
    p.AddObserver(nullptr);
    p.AddObserver(&y);
    p.AddObserver(&z);
    p.SetVisible(true);
    EXPECT_THAT(log, ElementsAre("X:changed", "Y:changed", "Z:changed"));

    log.clear();
    p.RemoveObserver(&x);
    p.RemoveObserver(&x); // no longer registered: nothing happens
    p.SetVisible(true);
    EXPECT_THAT(log, ElementsAre("Z:changed", "Y:changed"));
}

// A ParameterInt that logs when the protocol asks whether it is read-only.
class LoggedInt : public ParameterInt {
public:
    LoggedInt(int32_t* variable, Log* log) : ParameterInt(variable), m_Log(log) {}
    bool IsReadOnly() const override
    {
        m_Log->push_back("readonly?");
        return ParameterInt::IsReadOnly();
    }

private:
    Log* m_Log;
};

struct ProtocolCase {
    const char* name;
    bool firstAllows;
    bool readOnly;
    int32_t expectedValue;
    std::vector<std::string> expectedLog;
};

TEST(Parameter, ChangeProtocolAsksStoresTranslatesAndAlwaysNotifiesChanged)
{
    const ProtocolCase cases[] = {
        {"accepted", true, false, 5,
         {"A:allow", "B:allow", "readonly?", "A:translate", "B:translate", "A:changed", "B:changed"}},
        // B is not asked and read-only is not checked once A refuses.
        {"refused by the first observer", false, false, 1, {"A:allow", "A:changed", "B:changed"}},
        {"read-only", true, true, 1,
         {"A:allow", "B:allow", "readonly?", "A:changed", "B:changed"}},
    };
    for (const ProtocolCase& c : cases) {
        Log log;
        int32_t value = 1;
        LoggedInt p(&value, &log);
        p.SetReadOnly(c.readOnly);
        RecordingObserver a("A", &log, c.firstAllows), b("B", &log);
        p.AddObserver(&a);
        p.AddObserver(&b);
        log.clear();

        p.SetValue(int32_t(5));

        EXPECT_EQ(value, c.expectedValue) << c.name;
        EXPECT_EQ(log, c.expectedLog) << c.name;
        EXPECT_EQ(a.lastParameter, &p) << c.name;
        EXPECT_EQ(a.lastCode, 0u) << c.name;
    }
}

TEST(Parameter, FlagSettersAlwaysNotifyAndTextSettersNever)
{
    Log log;
    RecordingObserver o("O", &log);
    int32_t value = 0;
    ParameterInt p(&value);
    p.AddObserver(&o);
    p.SetVisible(true);
    p.SetReadOnly(false);
    EXPECT_EQ(Count(log, "O:changed"), 2);

    log.clear();
    p.SetName("n");
    p.SetDisplayName("d");
    p.SetDescription("x");
    p.SetImageIndex(3);
    p.SetParameterID(9);
    p.SetVariablePointer(&value);
    EXPECT_THAT(log, IsEmpty());
    EXPECT_STREQ(p.GetName(), "n");
    EXPECT_EQ(p.GetImageIndex(), 3);
    EXPECT_EQ(p.GetParameterID(), 9u);
}

TEST(Parameter, ObserverMayRemoveItselfWhileBeingNotified)
{
    struct Leaving : IParameterObserver {
        bool AllowParameterChange(Parameter*, const void*, uint32_t) override { return true; }
        void NotifyParameterChanged(Parameter* p, uint32_t) override
        {
            ++changed;
            p->RemoveObserver(this);
        }
        void NotifyParameterTranslate(Parameter*, uint32_t) override {}
        int changed = 0;
    } leaving;
    Log log;
    RecordingObserver other("O", &log);
    int32_t value = 0;
    ParameterInt p(&value);
    p.AddObserver(&leaving);
    p.AddObserver(&other);
    p.SetValue(int32_t(2));
    p.SetValue(int32_t(3));
    EXPECT_EQ(leaving.changed, 1);
    EXPECT_EQ(value, 3);
}

// --- Scalar classes -----------------------------------------------------------

TEST(ScalarParameter, DisplayTexts)
{
    int32_t negative = -7, lowest = INT32_MIN;
    float half = 0.5f, one = 1.0f, third = 1.0f / 3.0f;
    bool yes = true, no = false;
    std::string text = "hello";
    Parameter::Color color = {1, {2, 3, 4, 5}};
    struct Row {
        const char* name;
        Parameter* parameter;
        const char* expected;
    };
    ParameterInt p1(&negative), p2(&lowest);
    ParameterFloat p3(&half), p4(&one), p5(&third);
    ParameterBool p6(&yes), p7(&no);
    ParameterString p8(&text);
    ParameterFile p9("*.txt", &text);
    ParameterRGBColor p10(&color, Parameter::Color::ColorFormatStandard);
    ParameterParameterList p11(nullptr);
    const Row rows[] = {
        {"int -7", &p1, "-7"},
        {"int minimum (32-bit)", &p2, "-2147483648"},
        {"float 0.5", &p3, "0.5"},
        {"float 1", &p4, "1"},
        {"float third, ten digits", &p5, "0.3333333433"},
        {"bool true", &p6, "1"},
        {"bool false", &p7, "0"},
        {"string", &p8, "hello"},
        {"file", &p9, "hello"},
        {"colour leaves the text alone", &p10, "untouched"},
        {"nested list without list", &p11, "ParameterList"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Display(*row.parameter), row.expected) << row.name;
}

TEST(ScalarParameter, TypeNumbers)
{
    int32_t i = 0;
    float f = 0;
    bool b = false;
    std::string s;
    Parameter::Color c = {};
    EXPECT_EQ(ParameterInt(&i).Type(), TypeInt);
    EXPECT_EQ(ParameterFloat(&f).Type(), TypeFloat);
    EXPECT_EQ(ParameterBool(&b).Type(), TypeBool);
    EXPECT_EQ(ParameterString(&s).Type(), TypeString);
    EXPECT_EQ(ParameterFile("", &s).Type(), TypeFile);
    EXPECT_EQ(ParameterParameterList(nullptr).Type(), TypeParameterList);
    EXPECT_EQ(ParameterRGBColor(&c, Parameter::Color::ColorFormatStandard).Type(), 5);
    EXPECT_EQ(ParameterRGBColor(&c, Parameter::Color::ColorFormatAlternate).Type(), 6);
    EXPECT_EQ(ParameterRGBColor(&c, static_cast<Parameter::Color::ColorFormat>(7)).Type(), 5);
}

TEST(ScalarParameter, RawValuesTakeTheDocumentedForms)
{
    Log log;
    RecordingObserver o("O", &log);

    std::string text;
    ParameterString s(&text);
    s.AddObserver(&o);
    s.SetValue("abc", 0);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(Count(log, "O:translate"), 1);
    std::string out;
    s.GetValue(&out, 0);
    EXPECT_EQ(out, "abc");

    bool flag = false;
    ParameterBool b(&flag);
    const unsigned char two = 2;
    b.SetValue(&two, 0);
    EXPECT_TRUE(flag);
    unsigned char byte = 7;
    b.GetValue(&byte, 0);
    EXPECT_EQ(byte, 1);

    Parameter::Color color = {0xDEADBEEF, {9, 9, 9, 9}};
    ParameterRGBColor c(&color, Parameter::Color::ColorFormatStandard);
    const unsigned char channels[4] = {1, 2, 3, 4};
    c.SetValue(channels, 0);
    EXPECT_EQ(color.m_Word, 0u);
    EXPECT_EQ(0, std::memcmp(color.m_Channels, channels, 4));
    Parameter::Color copy = {};
    c.GetValue(&copy, 0);
    EXPECT_EQ(0, std::memcmp(&copy, &color, sizeof copy));

    int32_t number = 0;
    ParameterInt i(&number);
    const int32_t proposed = -12345;
    i.SetValue(&proposed, 0);
    EXPECT_EQ(number, -12345);

    ParameterList nested;
    ParameterParameterList l(nullptr);
    ParameterList* pointer = &nested;
    l.SetValue(&pointer, 0);
    ParameterList* read = nullptr;
    l.GetValue(&read, 0);
    EXPECT_EQ(read, &nested);
}

TEST(ScalarParameter, ObserversSeeTheProposedValueInItsClassForm)
{
    Log log;
    RecordingObserver o("O", &log, false);
    std::string text = "old";
    ParameterString s(&text);
    s.AddObserver(&o);
    const char* proposal = "new";
    s.SetValue(proposal);
    EXPECT_EQ(o.lastProposed, proposal); // the text itself, not a std::string
    EXPECT_EQ(text, "old");

    ParameterList nested;
    ParameterParameterList l(nullptr);
    l.AddObserver(&o);
    l.SetValue(&nested);
    EXPECT_EQ(o.lastProposed, &nested); // the list pointer itself
}

TEST(ScalarParameter, AssignmentFromAParameterComparesTypeNumbersFirst)
{
    Log log;
    RecordingObserver o("O", &log);
    int32_t target = 1, source = 2;
    float other = 3.0f;
    ParameterInt t(&target);
    t.AddObserver(&o);

    ParameterFloat f(&other);
    static_cast<Parameter&>(t) = f;
    EXPECT_EQ(target, 1);
    EXPECT_THAT(log, IsEmpty()); // not even asked

    ParameterInt s(&source);
    static_cast<Parameter&>(t) = s;
    EXPECT_EQ(target, 2);
    EXPECT_THAT(log, ElementsAre("O:allow", "O:translate", "O:changed"));

    std::string a = "a", b = "b";
    ParameterString str(&a);
    ParameterFile file("", &b);
    static_cast<Parameter&>(str) = file;
    static_cast<Parameter&>(file) = str;
    EXPECT_EQ(a, "a");
    EXPECT_EQ(b, "b");

    Parameter::Color c5 = {0, {1, 1, 1, 1}}, c6 = {0, {2, 2, 2, 2}};
    ParameterRGBColor p5(&c5, Parameter::Color::ColorFormatStandard);
    ParameterRGBColor p6(&c6, Parameter::Color::ColorFormatAlternate);
    static_cast<Parameter&>(p5) = p6;
    EXPECT_EQ(c5.m_Channels[0], 1);
}

TEST(ScalarParameter, AssignmentToAReadOnlyParameterKeepsItsValue)
{
    int32_t target = 1, source = 2;
    ParameterInt t(&target), s(&source);
    t.SetReadOnly(true);
    static_cast<Parameter&>(t) = s;
    EXPECT_EQ(target, 1);
}

// A plug-in's own class reporting type 0 without being a ParameterInt: its
// value is read through the raw slot every parameter has.
class ForeignInt : public Parameter {
public:
    ParameterType Type() const override { return TypeInt; }
    void SetVariablePointer(void*) override {}
    void* GetVariablePointer() override { return nullptr; }
    void GetValue(void* value, uint32_t) const override
    {
        const int32_t v = 77;
        std::memcpy(value, &v, sizeof v);
    }
    void SetValue(const void*, uint32_t) override {}
    void GetDisplayValue(std::string& text) const override { text = "77"; }
};

TEST(ScalarParameter, AssignmentFromAForeignClassOfTheSameTypeReadsTheRawValue)
{
    int32_t target = 1;
    ParameterInt t(&target);
    ForeignInt foreign;
    static_cast<Parameter&>(t) = foreign;
    EXPECT_EQ(target, 77);
}

TEST(ScalarParameter, CopiesShareVariablesAndObserversAssignmentsKeepTheirOwn)
{
    Log log;
    RecordingObserver o("O", &log);
    int32_t first = 1, second = 2;
    ParameterInt source(&first);
    source.SetParameterID(4);
    source.SetName("source");
    source.AddObserver(&o);

    ParameterInt copy(source);
    EXPECT_EQ(copy.GetParameterID(), 4u);
    copy.SetValue(int32_t(10));
    EXPECT_EQ(first, 10);
    EXPECT_EQ(Count(log, "O:changed"), 1); // the copy tells its source's observers

    log.clear();
    ParameterInt target(&second);
    target.SetParameterID(8);
    target.SetName("target");
    target = source;
    EXPECT_THAT(log, IsEmpty()); // rebinding tells nobody
    EXPECT_EQ(target.GetParameterID(), 8u);
    EXPECT_STREQ(target.GetName(), "target");
    target.SetValue(int32_t(20));
    EXPECT_EQ(first, 20);        // bound to the source's variable now
    EXPECT_THAT(log, IsEmpty()); // but not with its observers

    std::string a, b;
    ParameterFile fa("*.a", &a), fb("*.b", &b);
    fa = fb;
    EXPECT_EQ(fa.GetExtensions(), "*.b");
    EXPECT_EQ(fa.GetVariablePointer(), &b);

    Parameter::Color c = {};
    ParameterRGBColor standard(&c, Parameter::Color::ColorFormatStandard);
    ParameterRGBColor alternate(&c, Parameter::Color::ColorFormatAlternate);
    standard = alternate;
    EXPECT_EQ(standard.Type(), 6);
}

TEST(NestedListParameter, ObserversReachTheParametersOfTheNestedLists)
{
    Log log;
    RecordingObserver o("O", &log);
    int32_t inner = 0, innermost = 0;
    ParameterList deepest;
    deepest.AddParameterInt(1, "deep", "", &innermost, nullptr);
    ParameterList middle;
    middle.AddParameterInt(1, "mid", "", &inner, nullptr);
    middle.AddParameterList(2, &deepest, nullptr, false, true);

    ParameterParameterList holder(&middle);
    holder.AddObserver(&o);
    static_cast<ParameterInt*>(middle.GetParameter(0))->SetValue(int32_t(1));
    static_cast<ParameterInt*>(deepest.GetParameter(0))->SetValue(int32_t(2));
    EXPECT_EQ(Count(log, "O:translate"), 2);

    log.clear();
    holder.RemoveObserver(&o);
    static_cast<ParameterInt*>(middle.GetParameter(0))->SetValue(int32_t(3));
    static_cast<ParameterInt*>(deepest.GetParameter(0))->SetValue(int32_t(4));
    EXPECT_THAT(log, IsEmpty());

    ParameterParameterList empty(nullptr);
    empty.AddObserver(&o); // only the parameter itself
    empty.SetVisible(false);
    EXPECT_THAT(log, ElementsAre("O:changed"));
}

// --- Choice classes -----------------------------------------------------------

struct ParseCase {
    std::string text;
    std::vector<std::string> choices;
    uint32_t handedOut; // strings GetChoices gives, cut at the first empty one
};

TEST(EnumParameter, ParsesSemicolonTerminatedChoices)
{
    const ParseCase cases[] = {
        {"a;b;c;", {"a", "b", "c"}, 3},
        {"a;b;c", {"a", "b"}, 2},
        {";", {""}, 0},
        {"", {}, 0},
        {"abc", {}, 0},
        {"a;;b;", {"a", "", "b"}, 1},
        {"Low;High;", {"Low", "High"}, 2},
    };
    for (const ParseCase& c : cases) {
        int32_t index = 0;
        ParameterEnum e(c.text, &index);
        EXPECT_EQ(e.GetChoiceCount(), c.choices.size()) << '"' << c.text << '"';
        for (uint32_t i = 0; i < c.choices.size(); ++i) {
            std::string choice = "x";
            e.GetChoiceAt(choice, i);
            EXPECT_EQ(choice, c.choices[i]) << '"' << c.text << "\" choice " << i;
        }
        DoubleZeroString handed;
        handed.Add("stale");
        e.GetChoices(handed);
        EXPECT_EQ(handed.GetCount(), c.handedOut) << '"' << c.text << '"';
        EXPECT_FALSE(e.DescriptionsAvailable());
    }
}

TEST(EnumParameter, BuiltFromArraysKeepsOneDescriptionPerChoice)
{
    int32_t index = 0;
    ParameterEnum e({"a", "b", "c"}, {"da", "db", "dc", "dd", "de"}, &index);
    EXPECT_EQ(e.GetChoiceCount(), 3u);
    EXPECT_TRUE(e.DescriptionsAvailable());
    EXPECT_EQ(e.GetDescription(2), "dc");
    EXPECT_EQ(e.GetDescription(4), "");
    EXPECT_EQ(0, std::memcmp(e.GetAllDescriptions(), "da\0db\0dc\0\0", 10));

    // Too few descriptions: the missing ones are empty, never read beyond.
    ParameterEnum shortDescriptions({"a", "b", "c"}, {"da"}, &index);
    EXPECT_EQ(shortDescriptions.GetDescription(0), "da");
    EXPECT_EQ(shortDescriptions.GetDescription(2), "");
    EXPECT_EQ(shortDescriptions.GetChoiceCount(), 3u);

    ParameterEnum noDescriptions({"a", "b"}, {}, &index);
    EXPECT_FALSE(noDescriptions.DescriptionsAvailable());
    EXPECT_EQ(noDescriptions.GetAllDescriptions()[0], '\0');
}

TEST(EnumParameter, BuiltFromAListTakesItsChoicesUpToTheFirstEmptyOne)
{
    DoubleZeroString list;
    list.Add("a");
    list.Add("");
    list.Add("b");
    int32_t index = 0;
    ParameterEnum e(list, &index);
    EXPECT_EQ(e.GetChoiceCount(), 1u);
    EXPECT_FALSE(e.DescriptionsAvailable());
    EXPECT_EQ(e.GetDescription(0), "");
    EXPECT_EQ(e.GetAllDescriptions()[0], '\0');
}

TEST(EnumParameter, IndexIsNotCheckedAgainstTheChoices)
{
    Log log;
    RecordingObserver o("O", &log);
    int32_t index = 0;
    ParameterEnum e("a;b;c;", &index);
    e.AddObserver(&o);
    e.SetValue(int32_t(7));
    EXPECT_EQ(index, 7);
    EXPECT_EQ(Count(log, "O:translate"), 1);
    EXPECT_EQ(Display(e), "");
    index = -1; // compared as unsigned: beyond the choices
    EXPECT_EQ(Display(e), "");
    index = 1;
    EXPECT_EQ(Display(e), "b");
}

TEST(EnumParameter, CopyAssignmentCopiesListsAndSelfAssignmentKeepsThem)
{
    int32_t i = 0, j = 0;
    ParameterEnum target("x;", &i);
    ParameterEnum source({"a", "b"}, {"da", "db"}, &j);
    target = source;
    EXPECT_EQ(target.GetChoiceCount(), 2u);
    EXPECT_EQ(target.GetDescription(1), "db");
    EXPECT_EQ(target.GetVariablePointer(), &j);

    ParameterEnum self("a;;b;", &i);
    ParameterEnum& alias = self;
    self = alias;
    EXPECT_EQ(self.GetChoiceCount(), 3u);
    std::string last;
    self.GetChoiceAt(last, 2);
    EXPECT_EQ(last, "b");
}

TEST(EnumParameter, AssignmentFromAnotherEnumProposesItsIndex)
{
    Log log;
    RecordingObserver o("O", &log);
    int32_t i = 0, j = 2;
    ParameterEnum target("a;b;c;", &i), source("x;", &j);
    target.AddObserver(&o);
    static_cast<Parameter&>(target) = source;
    EXPECT_EQ(i, 2);
    EXPECT_EQ(Count(log, "O:translate"), 1);
}

TEST(DynamicListParameter, SetChoicesReplacesTheListAndOnlyNotifiesChanged)
{
    Log log;
    RecordingObserver o("O", &log, false);
    DoubleZeroString choices;
    choices.Add("old");
    int32_t index = 5;
    ParameterDynamicList d(&choices, &index);
    d.SetReadOnly(true);
    d.AddObserver(&o);

    DoubleZeroString replacement;
    replacement.Add("a");
    replacement.Add("bc");
    d.SetChoices(replacement);
    EXPECT_THAT(log, ElementsAre("O:changed"));
    EXPECT_EQ(Choices(choices), (std::vector<std::string>{"a", "bc"}));
    EXPECT_EQ(d.GetChoiceCount(), 2u);
    EXPECT_EQ(index, 5);
    EXPECT_EQ(Display(d), "");
    index = 1;
    EXPECT_EQ(Display(d), "bc");

    DoubleZeroString out;
    d.GetChoices(out);
    EXPECT_EQ(Choices(out), (std::vector<std::string>{"a", "bc"}));
    d.GetChoices(choices); // handing out into its own list keeps it
    EXPECT_EQ(Choices(choices), (std::vector<std::string>{"a", "bc"}));
}

TEST(DynamicListParameter, AssignmentFromAParameterLeavesItUnchanged)
{
    DoubleZeroString choices;
    int32_t i = 0, j = 3;
    ParameterDynamicList target(&choices, &i), source(&choices, &j);
    static_cast<Parameter&>(target) = source;
    EXPECT_EQ(i, 0);
    target = source; // class copy assignment rebinds
    EXPECT_EQ(target.GetVariablePointer(), &j);
}

} // namespace
