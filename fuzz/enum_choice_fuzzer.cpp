// Builds choice parameters from arbitrary choice text and checks them against
// the rule "each choice ends with ';', text after the last ';' is dropped",
// parsed independently here. The first input byte picks the index the
// variable holds; the rest is the choice text. The same choices then go
// through the list constructor, copies, and a dynamic list's SetChoices.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ulmora/DoubleZeroString.h"
#include "ulmora/ParameterTypes.h"

namespace {

const size_t kMaxInput = 1 << 16;

// A choice is a C string: an embedded NUL ends it.
std::vector<std::string> SplitChoices(const std::string& text)
{
    std::vector<std::string> choices;
    std::string::size_type position = 0;
    for (;;) {
        const std::string::size_type semicolon = text.find(';', position);
        if (semicolon == std::string::npos)
            break;
        choices.emplace_back(text.substr(position, semicolon - position).c_str());
        position = semicolon + 1;
    }
    return choices;
}

// The choices up to, not including, the first empty one.
std::vector<std::string> UpToEmpty(const std::vector<std::string>& choices)
{
    std::vector<std::string> head;
    for (const std::string& choice : choices) {
        if (choice.empty())
            break;
        head.push_back(choice);
    }
    return head;
}

std::vector<std::string> Texts(const DoubleZeroString& list)
{
    std::vector<std::string> texts;
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        texts.emplace_back(list.Get(i));
    return texts;
}

void CheckEnum(const ParameterEnum& parameter, const std::vector<std::string>& choices,
               int32_t index)
{
    FUZZ_CHECK(parameter.GetChoiceCount() == choices.size());
    std::string choice;
    for (size_t i = 0; i < choices.size(); ++i) {
        parameter.GetChoiceAt(choice, static_cast<uint32_t>(i));
        FUZZ_CHECK(choice == choices[i]);
    }
    parameter.GetChoiceAt(choice, static_cast<uint32_t>(choices.size()));
    FUZZ_CHECK(choice.empty());
    parameter.GetChoiceAt(choice, 0xFFFFFFFFu);
    FUZZ_CHECK(choice.empty());

    DoubleZeroString all;
    all.Add("stale");
    parameter.GetChoices(all);
    FUZZ_CHECK(Texts(all) == UpToEmpty(choices));

    int32_t value = -1;
    parameter.GetValue(value);
    FUZZ_CHECK(value == index);
    std::string shown;
    parameter.GetDisplayValue(shown);
    const bool inRange = index >= 0 && static_cast<size_t>(index) < choices.size();
    FUZZ_CHECK(shown == (inRange ? choices[static_cast<size_t>(index)] : std::string()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > kMaxInput)
        return -1;
    // Indexes from -8 to 247: beyond the choices on both sides, and inside.
    int32_t index = static_cast<int32_t>(data[0]) - 8;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<std::string> choices = SplitChoices(text);

    ParameterEnum fromText(text, &index);
    CheckEnum(fromText, choices, index);

    // Copies and assignment rebuild the choices from the block, so they keep
    // them up to the first empty one.
    ParameterEnum copy(fromText);
    CheckEnum(copy, UpToEmpty(choices), index);
    int32_t other = 0;
    ParameterEnum assigned(std::string("a;b;"), &other);
    assigned = fromText;
    CheckEnum(assigned, UpToEmpty(choices), index);

    // The list constructor takes the same choices with descriptions of
    // half of them; the missing ones are empty.
    std::vector<std::string> descriptions(choices.begin(), choices.begin() + choices.size() / 2);
    ParameterEnum fromList(choices, descriptions, &index);
    CheckEnum(fromList, choices, index);
    FUZZ_CHECK(fromList.DescriptionsAvailable() == !descriptions.empty());
    for (size_t i = 0; i < choices.size() && !descriptions.empty(); ++i) {
        const std::string expected = i < descriptions.size() ? descriptions[i] : std::string();
        FUZZ_CHECK(fromList.GetDescription(static_cast<uint32_t>(i)) == expected);
    }

    // From a DoubleZeroString: the choices up to the first empty one.
    DoubleZeroString block;
    for (const std::string& choice : choices)
        block.Add(choice.c_str());
    ParameterEnum fromBlock(block, &index);
    CheckEnum(fromBlock, UpToEmpty(choices), index);

    // A dynamic list takes new choices (up to the first empty one) and keeps
    // its index.
    DoubleZeroString owned;
    owned.Add("old");
    ParameterDynamicList dynamic(&owned, &index);
    dynamic.SetChoices(block);
    FUZZ_CHECK(Texts(owned) == UpToEmpty(choices));
    FUZZ_CHECK(dynamic.GetChoiceCount() == UpToEmpty(choices).size());
    DoubleZeroString back;
    dynamic.GetChoices(back);
    FUZZ_CHECK(Texts(back) == UpToEmpty(choices));
    // Its own choices handed back to it change nothing.
    dynamic.SetChoices(owned);
    FUZZ_CHECK(Texts(owned) == UpToEmpty(choices));
    dynamic.GetChoices(owned);
    FUZZ_CHECK(Texts(owned) == UpToEmpty(choices));
    int32_t value = 0;
    dynamic.GetValue(value);
    FUZZ_CHECK(value == index);
    return 0;
}
