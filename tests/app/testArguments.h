#pragma once
// Command lines for the driver's parts, in the build's text.

#include "platform/pathText.h"

#include <initializer_list>
#include <string>
#include <vector>

struct TestArguments {
    std::vector<TString> texts;
    std::vector<const TChar*> pointers;

    // The program path comes first, as on a real command line.
    TestArguments(std::initializer_list<std::string> arguments) {
        texts.push_back(argumentToText("moxa"));
        for (const auto& argument : arguments) texts.push_back(argumentToText(argument));
        for (const auto& text : texts) pointers.push_back(text.c_str());
        pointers.push_back(nullptr);
    }
    int count() const { return static_cast<int>(texts.size()); }
    const TChar* const* data() const { return pointers.data(); }
};
