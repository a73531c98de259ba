// Fails when a virtual function of the parameter system moves to another
// vtable slot, or a data member moves or changes width: plug-ins derive from
// these classes, hold them and call them through their vtables.
#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>
#include <vector>

#include "support/VtableSlot.h"
#include "ulmora/Ulmora.h"

namespace {

using UlmoraTest::ExpectSlots;
using UlmoraTest::VtableSlot;

const long kNoDestructor = 1000;

template <class Object>
size_t OffsetIn(const Object& object, const void* member)
{
    return static_cast<size_t>(static_cast<const char*>(member) -
                               reinterpret_cast<const char*>(&object));
}

size_t RoundUp(size_t value, size_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

const size_t kPointer = sizeof(void*);
const size_t kString = sizeof(std::string);
const size_t kVector = sizeof(std::vector<void*>);

TEST(ParameterContract, ObserverInterfaces)
{
    ExpectSlots("IParameterObserver", {
        {"AllowParameterChange", VtableSlot(&IParameterObserver::AllowParameterChange), 0, kNoDestructor},
        {"NotifyParameterChanged", VtableSlot(&IParameterObserver::NotifyParameterChanged), 1, kNoDestructor},
        {"NotifyParameterTranslate", VtableSlot(&IParameterObserver::NotifyParameterTranslate), 2, kNoDestructor},
    });
    ExpectSlots("IParameterListObserver", {
        {"NotifyParameterListDestroyed",
         VtableSlot(&IParameterListObserver::NotifyParameterListDestroyed), 0, kNoDestructor},
    });
    EXPECT_FALSE(std::has_virtual_destructor<IParameterObserver>::value);
    EXPECT_FALSE(std::has_virtual_destructor<IParameterListObserver>::value);
    EXPECT_EQ(sizeof(IParameterObserver), kPointer);
    EXPECT_EQ(sizeof(IParameterListObserver), kPointer);
}

TEST(ParameterContract, ParameterSlots)
{
    using P = Parameter;
    ExpectSlots("Parameter", {
        {"Type", VtableSlot(&P::Type), 1, 0},
        {"SetName", VtableSlot(&P::SetName), 2, 0},
        {"SetDisplayName", VtableSlot(&P::SetDisplayName), 3, 0},
        {"SetDescription", VtableSlot(&P::SetDescription), 4, 0},
        {"GetName", VtableSlot(&P::GetName), 5, 0},
        {"GetDisplayName", VtableSlot(&P::GetDisplayName), 6, 0},
        {"GetDescription", VtableSlot(&P::GetDescription), 7, 0},
        {"SetImageIndex", VtableSlot(&P::SetImageIndex), 8, 0},
        {"GetImageIndex", VtableSlot(&P::GetImageIndex), 9, 0},
        {"SetVisible", VtableSlot(&P::SetVisible), 10, 0},
        {"SetReadOnly", VtableSlot(&P::SetReadOnly), 11, 0},
        {"IsVisible", VtableSlot(&P::IsVisible), 12, 0},
        {"IsReadOnly", VtableSlot(&P::IsReadOnly), 13, 0},
        {"AddObserver", VtableSlot(&P::AddObserver), 14, 0},
        {"RemoveObserver", VtableSlot(&P::RemoveObserver), 15, 0},
        {"DeleteThis", VtableSlot(&P::DeleteThis), 16, 0},
        {"SetVariablePointer", VtableSlot(&P::SetVariablePointer), 17, 0},
        {"GetVariablePointer", VtableSlot(&P::GetVariablePointer), 18, 0},
        {"operator=", VtableSlot(static_cast<void (P::*)(const Parameter&)>(&P::operator=)), 19, 0},
        {"GetValue(raw)", VtableSlot(static_cast<void (P::*)(void*, uint32_t) const>(&P::GetValue)), 20, 0},
        {"SetValue(raw)", VtableSlot(static_cast<void (P::*)(const void*, uint32_t)>(&P::SetValue)), 21, 0},
        {"GetDisplayValue", VtableSlot(&P::GetDisplayValue), 22, 0},
    });
    EXPECT_TRUE(std::has_virtual_destructor<Parameter>::value);
}

// Slots 23 and 24 of a scalar class, with its value type. `Assigning` is the
// class that declares its slot 19 (ParameterFile inherits it).
template <class P, class Assigning = P, class Get, class Set>
void ExpectTypedSlots(const char* name, Get get, Set set)
{
    ExpectSlots(name, {
        {"Type", VtableSlot(&P::Type), 1, 0},
        {"operator=", VtableSlot(static_cast<void (Assigning::*)(const Parameter&)>(&Assigning::operator=)), 19, 0},
        {"GetValue(T&)", VtableSlot(get), 23, 0},
        {"SetValue(T)", VtableSlot(set), 24, 0},
    });
}

TEST(ParameterContract, ScalarSlots)
{
    ExpectTypedSlots<ParameterInt>("ParameterInt",
        static_cast<void (ParameterInt::*)(int32_t&) const>(&ParameterInt::GetValue),
        static_cast<void (ParameterInt::*)(int32_t)>(&ParameterInt::SetValue));
    ExpectTypedSlots<ParameterFloat>("ParameterFloat",
        static_cast<void (ParameterFloat::*)(float&) const>(&ParameterFloat::GetValue),
        static_cast<void (ParameterFloat::*)(float)>(&ParameterFloat::SetValue));
    ExpectTypedSlots<ParameterBool>("ParameterBool",
        static_cast<void (ParameterBool::*)(bool&) const>(&ParameterBool::GetValue),
        static_cast<void (ParameterBool::*)(bool)>(&ParameterBool::SetValue));
    ExpectTypedSlots<ParameterString>("ParameterString",
        static_cast<void (ParameterString::*)(std::string&) const>(&ParameterString::GetValue),
        static_cast<void (ParameterString::*)(const char*)>(&ParameterString::SetValue));
    ExpectTypedSlots<ParameterFile, ParameterString>("ParameterFile",
        static_cast<void (ParameterString::*)(std::string&) const>(&ParameterFile::GetValue),
        static_cast<void (ParameterString::*)(const char*)>(&ParameterFile::SetValue));
    ExpectTypedSlots<ParameterRGBColor>("ParameterRGBColor",
        static_cast<void (ParameterRGBColor::*)(Parameter::Color&) const>(&ParameterRGBColor::GetValue),
        static_cast<void (ParameterRGBColor::*)(Parameter::Color)>(&ParameterRGBColor::SetValue));
    ExpectTypedSlots<ParameterParameterList>("ParameterParameterList",
        static_cast<void (ParameterParameterList::*)(ParameterList*&) const>(&ParameterParameterList::GetValue),
        static_cast<void (ParameterParameterList::*)(ParameterList*)>(&ParameterParameterList::SetValue));
    ExpectSlots("ParameterParameterList", {
        {"AddObserver", VtableSlot(&ParameterParameterList::AddObserver), 14, 0},
        {"RemoveObserver", VtableSlot(&ParameterParameterList::RemoveObserver), 15, 0},
    });
}

TEST(ParameterContract, ChoiceSlots)
{
    ExpectTypedSlots<ParameterEnum>("ParameterEnum",
        static_cast<void (ParameterEnum::*)(int32_t&) const>(&ParameterEnum::GetValue),
        static_cast<void (ParameterEnum::*)(int32_t)>(&ParameterEnum::SetValue));
    using E = ParameterEnum;
    ExpectSlots("ParameterEnum", {
        {"GetChoiceAt", VtableSlot(&E::GetChoiceAt), 25, 0},
        {"GetChoices", VtableSlot(&E::GetChoices), 26, 0},
        {"GetChoiceCount", VtableSlot(&E::GetChoiceCount), 27, 0},
        {"DescriptionsAvailable", VtableSlot(&E::DescriptionsAvailable), 28, 0},
        {"GetDescription(index)", VtableSlot(static_cast<std::string (E::*)(uint32_t)>(&E::GetDescription)), 29, 0},
        {"GetAllDescriptions", VtableSlot(&E::GetAllDescriptions), 30, 0},
    });

    using D = ParameterDynamicList;
    ExpectSlots("ParameterDynamicList", {
        {"Type", VtableSlot(&D::Type), 1, 0},
        {"GetValue(T&)", VtableSlot(static_cast<void (D::*)(int32_t&) const>(&D::GetValue)), 23, 0},
        {"SetValue(T)", VtableSlot(static_cast<void (D::*)(int32_t)>(&D::SetValue)), 24, 0},
        {"SetChoices", VtableSlot(&D::SetChoices), 25, 0},
        {"GetChoiceAt", VtableSlot(&D::GetChoiceAt), 26, 0},
        {"GetChoices", VtableSlot(&D::GetChoices), 27, 0},
        {"GetChoiceCount", VtableSlot(&D::GetChoiceCount), 28, 0},
    });
}

TEST(ParameterContract, ValidatorSlots)
{
    ExpectSlots("ParameterValidator", {
        {"AllowParameterChange", VtableSlot(&ParameterValidator::AllowParameterChange), 0, kNoDestructor},
        {"NotifyParameterChanged", VtableSlot(&ParameterValidator::NotifyParameterChanged), 1, kNoDestructor},
        {"NotifyParameterTranslate", VtableSlot(&ParameterValidator::NotifyParameterTranslate), 2, kNoDestructor},
    });
    EXPECT_FALSE(std::has_virtual_destructor<ParameterValidator>::value);
    EXPECT_EQ(sizeof(ParameterValidator), kPointer);
}

// Reaches the protected hooks of one template instance.
template <class T, ParameterType N, class P>
struct TemplateProbe : ParameterValidatorTemplate<T, N, P> {
    static void Check(const char* name)
    {
        using Self = TemplateProbe;
        ExpectSlots(name, {
            {"AllowParameterChange", VtableSlot(&Self::AllowParameterChange), 0, kNoDestructor},
            {"NotifyParameterChanged", VtableSlot(&Self::NotifyParameterChanged), 1, kNoDestructor},
            {"NotifyParameterTranslate", VtableSlot(&Self::NotifyParameterTranslate), 2, kNoDestructor},
            {"TranslateParameter", VtableSlot(&Self::TranslateParameter), 3, kNoDestructor},
            {"ParameterChanged", VtableSlot(&Self::ParameterChanged), 4, kNoDestructor},
            {"AllowChange", VtableSlot(&Self::AllowChange), 5, kNoDestructor},
        });
        EXPECT_EQ(sizeof(ParameterValidatorTemplate<T, N, P>), kPointer) << name;
    }
};

TEST(ParameterContract, ValidatorTemplateSlots)
{
    TemplateProbe<float, TypeFloat, ParameterFloat>::Check("float");
    TemplateProbe<int32_t, TypeInt, ParameterInt>::Check("int");
    TemplateProbe<std::string, TypeString, ParameterString>::Check("string");
    TemplateProbe<int32_t, TypeEnum, ParameterEnum>::Check("enum");
    TemplateProbe<bool, TypeBool, ParameterBool>::Check("bool");
    TemplateProbe<Parameter::Color, TypeRGBColor, ParameterRGBColor>::Check("colour");
    TemplateProbe<std::string, TypeFile, ParameterFile>::Check("file");
    TemplateProbe<ParameterList, TypeParameterList, ParameterParameterList>::Check("list");
    TemplateProbe<int32_t, TypeDynamicList, ParameterDynamicList>::Check("dynamic list");
}

TEST(ParameterContract, ParameterListSlots)
{
    using L = ParameterList;
    using V = ParameterValidator;
    using S = std::string;
    using Strings = std::vector<std::string>;
    ExpectSlots("ParameterList", {
        {"SetName", VtableSlot(&L::SetName), 1, 0},
        {"SetDisplayName", VtableSlot(&L::SetDisplayName), 2, 0},
        {"SetDescription", VtableSlot(&L::SetDescription), 3, 0},
        {"GetName", VtableSlot(&L::GetName), 4, 0},
        {"GetDisplayName", VtableSlot(&L::GetDisplayName), 5, 0},
        {"GetDescription", VtableSlot(&L::GetDescription), 6, 0},
        {"GetNumParameters", VtableSlot(&L::GetNumParameters), 7, 0},
        {"GetParameter", VtableSlot(&L::GetParameter), 8, 0},
        {"FindParameter", VtableSlot(&L::FindParameter), 9, 0},
        {"AddObserverToParameters", VtableSlot(&L::AddObserverToParameters), 10, 0},
        {"RemoveObserverToParameters", VtableSlot(&L::RemoveObserverToParameters), 11, 0},
        {"operator=", VtableSlot(static_cast<void (L::*)(const L&)>(&L::operator=)), 12, 0},
        {"AddParameter", VtableSlot(&L::AddParameter), 13, 0},
        {"AddParameterFloat full", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, float*, V*, bool, bool)>(&L::AddParameterFloat)), 14, 0},
        {"AddParameterFloat short", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, float*, V*)>(&L::AddParameterFloat)), 15, 0},
        {"AddParameterInt full", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, int32_t*, V*, bool, bool)>(&L::AddParameterInt)), 16, 0},
        {"AddParameterInt short", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, int32_t*, V*)>(&L::AddParameterInt)), 17, 0},
        {"AddParameterBool full", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, bool*, V*, bool, bool)>(&L::AddParameterBool)), 18, 0},
        {"AddParameterBool short", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, bool*, V*)>(&L::AddParameterBool)), 19, 0},
        {"AddParameterString full", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, S*, V*, bool, bool)>(&L::AddParameterString)), 20, 0},
        {"AddParameterString short", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S*, V*)>(&L::AddParameterString)), 21, 0},
        {"AddParameterFile full", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, S, S*, V*, bool, bool)>(&L::AddParameterFile)), 22, 0},
        {"AddParameterFile short", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, S*, V*)>(&L::AddParameterFile)), 23, 0},
        {"AddParameterEnum full list", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, const DoubleZeroString&, int32_t*, V*, bool, bool)>(&L::AddParameterEnum)), 24, 0},
        {"AddParameterEnum full arrays", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, Strings, Strings, int32_t*, V*, bool, bool)>(&L::AddParameterEnum)), 25, 0},
        {"AddParameterEnum full text", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, S, int32_t*, V*, bool, bool)>(&L::AddParameterEnum)), 26, 0},
        {"AddParameterEnum short list", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, const DoubleZeroString&, int32_t*, V*)>(&L::AddParameterEnum)), 27, 0},
        {"AddParameterEnum short arrays", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, Strings, Strings, int32_t*, V*)>(&L::AddParameterEnum)), 28, 0},
        {"AddParameterEnum short text", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, int32_t*, V*)>(&L::AddParameterEnum)), 29, 0},
        {"AddParameterDynamicList", VtableSlot(&L::AddParameterDynamicList), 30, 0},
        {"AddParameterColor full", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, S, Parameter::Color*, Parameter::Color::ColorFormat, V*, bool, bool)>(&L::AddParameterColor)), 31, 0},
        {"AddParameterColor short", VtableSlot(static_cast<void (L::*)(uint32_t, S, S, Parameter::Color*, Parameter::Color::ColorFormat, V*)>(&L::AddParameterColor)), 32, 0},
        {"AddParameterList", VtableSlot(&L::AddParameterList), 33, 0},
    });
    EXPECT_TRUE(std::has_virtual_destructor<ParameterList>::value);
    EXPECT_EQ(ParameterList::ms_ParameterListImplementationVersion, 3u);
    EXPECT_EQ(ParameterList::ParameterListImplementationVersion(), 3u);
}

TEST(ParameterContract, ValueTypes)
{
    EXPECT_EQ(sizeof(ParameterType), 4u);
    EXPECT_EQ(sizeof(Parameter::Color), 8u);
    EXPECT_EQ(offsetof(Parameter::Color, m_Channels), 4u);
    EXPECT_EQ(sizeof(Parameter::Color::ColorFormat), 4u);
    EXPECT_EQ(static_cast<int>(Parameter::Color::ColorFormatAlternate), 1);
    const int numbers[] = {TypeInt, TypeFloat, TypeString, TypeEnum, TypeBool, TypeRGBColor,
                           TypeRGBColorAlternate, TypeFile, TypeParameterList, TypeDynamicList};
    const int expected[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10};
    for (size_t i = 0; i < sizeof numbers / sizeof numbers[0]; ++i)
        EXPECT_EQ(numbers[i], expected[i]) << "enumerator " << i;
}

// Exposes the protected members of the classes plug-ins derive from.
struct ParameterProbe : ParameterInt {
    ParameterProbe() : ParameterInt(nullptr) {}
    using Parameter::m_ParameterID;
    using Parameter::m_Name;
    using Parameter::m_DisplayName;
    using Parameter::m_Description;
    using Parameter::m_Observers;
    using Parameter::m_Visible;
    using Parameter::m_ReadOnly;
    using Parameter::m_ImageIndex;
    using ParameterInt::m_Variable;
};

TEST(ParameterContract, ParameterLayout)
{
    ParameterProbe p;
    const size_t name = 2 * kPointer; // after the vtable pointer and the 32-bit identifier
    EXPECT_EQ(OffsetIn(p, &p.m_ParameterID), kPointer);
    EXPECT_EQ(sizeof(p.m_ParameterID), 4u);
    EXPECT_EQ(OffsetIn(p, &p.m_Name), name);
    EXPECT_EQ(OffsetIn(p, &p.m_DisplayName), name + kString);
    EXPECT_EQ(OffsetIn(p, &p.m_Description), name + 2 * kString);
    EXPECT_EQ(OffsetIn(p, &p.m_Observers), name + 3 * kString);
    const size_t flags = name + 3 * kString + kVector;
    EXPECT_EQ(OffsetIn(p, &p.m_Visible), flags);
    EXPECT_EQ(OffsetIn(p, &p.m_ReadOnly), flags + 1);
    EXPECT_EQ(OffsetIn(p, &p.m_ImageIndex), flags + 4);
    EXPECT_EQ(sizeof(p.m_ImageIndex), 4u);
    EXPECT_EQ(sizeof(Parameter), RoundUp(flags + 8, kPointer));
    EXPECT_EQ(OffsetIn(p, &p.m_Variable), sizeof(Parameter));
    EXPECT_EQ(sizeof(ParameterInt), sizeof(Parameter) + kPointer);
}

struct ColorProbe : ParameterRGBColor {
    ColorProbe() : ParameterRGBColor(nullptr, Color::ColorFormatStandard) {}
    using ParameterRGBColor::m_Variable;
    using ParameterRGBColor::m_ColorType;
};
struct FileProbe : ParameterFile {
    FileProbe() : ParameterFile("", nullptr) {}
    using ParameterString::m_Variable;
    using ParameterFile::m_Extensions;
};
struct EnumProbe : ParameterEnum {
    EnumProbe() : ParameterEnum(std::string(), nullptr) {}
    using ParameterEnum::m_Variable;
    using ParameterEnum::m_Choices;
    using ParameterEnum::m_ChoiceDescriptions;
};
struct DynamicListProbe : ParameterDynamicList {
    DynamicListProbe() : ParameterDynamicList(nullptr, nullptr) {}
    using ParameterDynamicList::m_Variable;
    using ParameterDynamicList::m_ChoiceList;
};
struct NestedListProbe : ParameterParameterList {
    NestedListProbe() : ParameterParameterList(nullptr) {}
    using ParameterParameterList::m_Variable;
};

TEST(ParameterContract, ConcreteClassLayout)
{
    const size_t base = sizeof(Parameter);
    for (size_t size : {sizeof(ParameterFloat), sizeof(ParameterBool), sizeof(ParameterString),
                        sizeof(ParameterParameterList)})
        EXPECT_EQ(size, base + kPointer);

    ColorProbe color;
    EXPECT_EQ(OffsetIn(color, &color.m_Variable), base);
    EXPECT_EQ(OffsetIn(color, &color.m_ColorType), base + kPointer);
    EXPECT_EQ(sizeof(color.m_ColorType), 4u);

    FileProbe file;
    EXPECT_EQ(OffsetIn(file, &file.m_Variable), base);
    EXPECT_EQ(OffsetIn(file, &file.m_Extensions), sizeof(ParameterString));

    NestedListProbe nested;
    EXPECT_EQ(OffsetIn(nested, &nested.m_Variable), base);

    EnumProbe choice;
    EXPECT_EQ(OffsetIn(choice, &choice.m_Variable), base);
    EXPECT_EQ(OffsetIn(choice, &choice.m_Choices), base + kPointer);
    EXPECT_EQ(OffsetIn(choice, &choice.m_ChoiceDescriptions),
              base + kPointer + sizeof(DoubleZeroString));

    DynamicListProbe dynamic;
    EXPECT_EQ(OffsetIn(dynamic, &dynamic.m_Variable), base);
    EXPECT_EQ(OffsetIn(dynamic, &dynamic.m_ChoiceList), base + kPointer);
}

struct ListProbe : ParameterList {
    using ParameterList::m_Name;
    using ParameterList::m_DisplayName;
    using ParameterList::m_Description;
    using ParameterList::m_Parameters;
    using ParameterList::m_DummyParameters;
    using ParameterList::m_ListObservers;
};

TEST(ParameterContract, ParameterListLayout)
{
    ListProbe list;
    EXPECT_EQ(OffsetIn(list, &list.m_Name), kPointer);
    EXPECT_EQ(OffsetIn(list, &list.m_DisplayName), kPointer + kString);
    EXPECT_EQ(OffsetIn(list, &list.m_Description), kPointer + 2 * kString);
    EXPECT_EQ(OffsetIn(list, &list.m_Parameters), kPointer + 3 * kString);
    EXPECT_EQ(OffsetIn(list, &list.m_DummyParameters), kPointer + 3 * kString + kVector);
    EXPECT_EQ(OffsetIn(list, &list.m_ListObservers),
              kPointer + 3 * kString + kVector + sizeof(std::map<int32_t, Parameter*>));
    EXPECT_EQ(sizeof(ParameterList),
              kPointer + 3 * kString + 2 * kVector + sizeof(std::map<int32_t, Parameter*>));
    // Lists own their parameters; a copy would release them a second time.
    EXPECT_FALSE(std::is_copy_constructible<ParameterList>::value);
}

} // namespace
