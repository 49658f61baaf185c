#pragma once
// The items of one command: "--name value", "--name=value", or "--name" for a switch.
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct OptionSpec {
    std::string_view name;  // without the two hyphens
    bool takesValue = true;
    bool required = false;
};

class Arguments {
public:
    // Nothing when an item is unknown, repeated or lacks its value, or a required one is
    // missing; error says which.
    static std::optional<Arguments> Parse(std::span<const char* const> items,
                                          std::span<const OptionSpec> specs, std::string& error);
    bool Has(std::string_view name) const { return values_.contains(name); }
    // The value, empty when the item was not given.
    std::string Get(std::string_view name) const;

private:
    std::map<std::string, std::string, std::less<>> values_;
};
