// Validators: the base class, and validators that a separately built module
// derives from the library's exported template instances.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "ValidatorModule.h"
#include "support/RecordingObserver.h"
#include "ulmora/Ulmora.h"

namespace {

using Log = std::vector<std::string>;
using UlmoraTest::Count;
using UlmoraTest::RecordingObserver;

std::unique_ptr<ModuleValidator> Make(int32_t kind)
{
    std::unique_ptr<ModuleValidator> validator(CreateModuleValidator(kind));
    EXPECT_NE(validator, nullptr) << "kind " << kind;
    return validator;
}

// Every parameter class once, bound to live variables.
struct Zoo {
    int32_t i = 0, e = 0, d = 0;
    float f = 0;
    bool b = false;
    std::string s, file;
    Parameter::Color c = {};
    ParameterList nested, other;
    DoubleZeroString choices;

    ParameterInt intParameter{&i};
    ParameterFloat floatParameter{&f};
    ParameterString stringParameter{&s};
    ParameterEnum enumParameter{std::string("a;b;"), &e};
    ParameterBool boolParameter{&b};
    ParameterRGBColor colorParameter{&c, Parameter::Color::ColorFormatStandard};
    ParameterRGBColor alternateColor{&c, Parameter::Color::ColorFormatAlternate};
    ParameterFile fileParameter{"*.x", &file};
    ParameterParameterList listParameter{&nested};
    ParameterDynamicList dynamicList{&choices, &d};

    std::vector<Parameter*> All()
    {
        return {&intParameter, &floatParameter, &stringParameter, &enumParameter,
                &boolParameter, &colorParameter, &alternateColor, &fileParameter,
                &listParameter, &dynamicList};
    }

    // Stores a new value in each through its own typed SetValue.
    void ChangeEach()
    {
        intParameter.SetValue(int32_t(1));
        floatParameter.SetValue(1.5f);
        stringParameter.SetValue("x");
        enumParameter.SetValue(int32_t(1));
        boolParameter.SetValue(true);
        colorParameter.SetValue(Parameter::Color{0, {1, 2, 3, 4}});
        alternateColor.SetValue(Parameter::Color{0, {4, 3, 2, 1}});
        fileParameter.SetValue("y");
        listParameter.SetValue(&other);
        dynamicList.SetValue(int32_t(2));
    }
};

TEST(ParameterValidator, PlainValidatorAcceptsEverything)
{
    ParameterValidator validator;
    Zoo zoo;
    for (Parameter* p : zoo.All())
        p->AddObserver(&validator);
    zoo.ChangeEach();
    EXPECT_EQ(zoo.i, 1);
    EXPECT_EQ(zoo.s, "x");
    EXPECT_EQ(zoo.file, "y");
    EXPECT_EQ(zoo.listParameter.GetVariablePointer(), &zoo.other);
}

TEST(ParameterValidator, EachTemplateInstanceReactsOnlyToItsOwnTypeNumber)
{
    struct Row {
        int32_t n;
        const char* only; // the one parameter of the zoo whose change it hears
    };
    const Row rows[] = {
        {TypeInt, "int"},       {TypeFloat, "float"},        {TypeString, "string"},
        {TypeEnum, "enum"},     {TypeBool, "bool"},          {TypeRGBColor, "colour"},
        {TypeFile, "file"},     {TypeParameterList, "list"}, {TypeDynamicList, "dynamic"},
    };
    for (const Row& row : rows) {
        Zoo zoo;
        const char* names[] = {"int",    "float",     "string", "enum", "bool",
                               "colour", "alternate", "file",   "list", "dynamic"};
        std::unique_ptr<ModuleValidator> validator = Make(row.n);
        std::vector<Parameter*> all = zoo.All();
        for (Parameter* p : all)
            p->AddObserver(validator->Validator());
        zoo.ChangeEach();
        EXPECT_EQ(validator->Translations(), 1) << "instance " << row.n;
        Parameter* heard = validator->LastTranslated();
        for (size_t k = 0; k < all.size(); ++k) {
            if (heard == all[k]) {
                EXPECT_STREQ(names[k], row.only) << "instance " << row.n;
            }
        }
        EXPECT_EQ(validator->LastCode(), 0u);
    }
}

TEST(ParameterValidator, TranslateIsNotCalledForRefusedOrReadOnlyChanges)
{
    Log log;
    RecordingObserver refusing("R", &log, false);
    std::unique_ptr<ModuleValidator> validator = Make(TypeInt);
    int32_t value = 0;
    ParameterInt p(&value);
    p.AddObserver(validator->Validator());

    p.SetValue(int32_t(1));
    p.SetValue(int32_t(2));
    EXPECT_EQ(validator->Translations(), 2);

    validator->Reset();
    p.AddObserver(&refusing);
    p.SetValue(int32_t(3));
    EXPECT_EQ(validator->Translations(), 0);
    p.RemoveObserver(&refusing);

    p.SetReadOnly(true);
    p.SetValue(int32_t(4));
    EXPECT_EQ(validator->Translations(), 0);
    EXPECT_EQ(value, 2);
}

TEST(ParameterValidator, OnlyOverridingAllowParameterChangeRefuses)
{
    Log log;
    RecordingObserver watcher("W", &log);
    std::unique_ptr<ModuleValidator> refusing = Make(RefusingIntValidator);
    std::unique_ptr<ModuleValidator> hookOnly = Make(AllowChangeOnlyValidator);
    int32_t a = 0, b = 0;
    ParameterList list;
    list.AddParameterInt(1, "a", "", &a, refusing->Validator());
    list.AddParameterInt(2, "b", "", &b, hookOnly->Validator());
    list.AddObserverToParameters(&watcher);

    static_cast<ParameterInt*>(list.GetParameter(0))->SetValue(int32_t(5));
    static_cast<ParameterInt*>(list.GetParameter(1))->SetValue(int32_t(6));
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 6); // AllowChange is a hook the library never calls
    EXPECT_EQ(Count(log, "W:changed"), 2);
    EXPECT_EQ(Count(log, "W:allow"), 1); // the refusal ended the poll for a
}

TEST(ParameterValidator, OneValidatorOnTwoParametersHearsEachWithItsParameter)
{
    std::unique_ptr<ModuleValidator> validator = Make(TypeInt);
    int32_t a = 0, b = 0;
    ParameterList first, second;
    first.AddParameterInt(1, "a", "", &a, validator->Validator());
    second.AddParameterInt(1, "b", "", &b, validator->Validator());
    static_cast<ParameterInt*>(first.GetParameter(0))->SetValue(int32_t(1));
    EXPECT_EQ(validator->LastTranslated(), first.GetParameter(0));
    static_cast<ParameterInt*>(second.GetParameter(0))->SetValue(int32_t(1));
    EXPECT_EQ(validator->LastTranslated(), second.GetParameter(0));
    EXPECT_EQ(validator->Translations(), 2);
}

} // namespace
