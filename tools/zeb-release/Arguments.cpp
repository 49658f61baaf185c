#include "tools/zeb-release/Arguments.h"

#include <algorithm>

std::optional<Arguments> Arguments::Parse(std::span<const char* const> items,
                                          std::span<const OptionSpec> specs, std::string& error) {
    Arguments arguments;
    for (size_t i = 0; i < items.size(); ++i) {
        std::string_view item = items[i];
        if (!item.starts_with("--")) {
            error = "unexpected argument: " + std::string(item);
            return std::nullopt;
        }
        item.remove_prefix(2);
        std::string_view name = item;
        std::optional<std::string_view> value;
        if (const size_t eq = item.find('='); eq != std::string_view::npos) {
            name = item.substr(0, eq);
            value = item.substr(eq + 1);
        }
        const auto spec = std::find_if(specs.begin(), specs.end(),
                                       [name](const OptionSpec& s) { return s.name == name; });
        if (spec == specs.end()) {
            error = "unknown option: --" + std::string(name);
            return std::nullopt;
        }
        if (spec->takesValue && !value) {
            if (i + 1 == items.size()) {
                error = "missing value for --" + std::string(name);
                return std::nullopt;
            }
            value = items[++i];
        }
        if (!spec->takesValue && value) {
            error = "--" + std::string(name) + " takes no value";
            return std::nullopt;
        }
        if (!arguments.values_.emplace(std::string(name), std::string(value.value_or(""))).second) {
            error = "--" + std::string(name) + " given twice";
            return std::nullopt;
        }
    }
    for (const OptionSpec& spec : specs) {
        if (spec.required && !arguments.Has(spec.name)) {
            error = "--" + std::string(spec.name) + " is required";
            return std::nullopt;
        }
    }
    return arguments;
}

std::string Arguments::Get(std::string_view name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
}
