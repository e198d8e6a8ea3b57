#include "model/OpenArgument.h"

namespace quillmark {

std::optional<std::u16string> TakeOpenArgument(TArguments& arguments) {
    std::optional<std::u16string> file;
    TArguments rest;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != kOpenSwitch) {
            rest.push_back(std::move(arguments[i]));
            continue;
        }
        if (i + 1 < arguments.size()) file = std::move(arguments[++i]);
    }
    arguments = std::move(rest);
    return file;
}

}  // namespace quillmark
