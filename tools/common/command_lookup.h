// What the command-line tools share in reading their first word: the help words and finding a command by
// name.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tools {

// "help", "--help" or "-h".
inline bool isHelpWord(const std::string& word) {
    return word == "help" || word == "--help" || word == "-h";
}

// The command of `commands` called `name`, or nullptr.
template <typename CommandType>
CommandType* findCommand(const std::vector<std::unique_ptr<CommandType>>& commands, const std::string& name) {
    for (const auto& command : commands)
        if (command->name() == name)
            return command.get();
    return nullptr;
}

} // namespace tools
