// What the subcommands of pellorzu-cli and pellorzu-vkey share: a name and a full usage text, and the one
// way both tools read their first word (the help words, a command by name, `COMMAND --help`) before a
// command runs.
#pragma once

#include "wiped_words.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tools {

class CommandBase {
public:
    virtual ~CommandBase() = default;

    virtual std::string name() const = 0;
    // The full usage text: synopsis, what it does, its options, in order.
    virtual std::string usage() const = 0;
};

// "help", "--help" or "-h".
inline bool isHelpWord(const std::string& word) {
    return word == "help" || word == "--help" || word == "-h";
}

// A tool made of commands of `CommandType`: run() picks the command named by the first word and runs it with
// the rest, or explains the usage. The tool says how it prints usage, the overview and an unknown name, and
// how it runs a command.
template <typename CommandType> class CommandSet {
public:
    virtual ~CommandSet() = default;

    // `usageStatus` is the exit status of a command line that was not understood.
    explicit CommandSet(int usageStatus) : usageStatus_(usageStatus) {}

    int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
        if (words.empty() || isHelpWord(words.front()))
            return explain(words, out, err);
        CommandType* command = find(words.front());
        if (!command) {
            reportUnknown(words.front(), err);
            printOverview(err);
            return usageStatus_;
        }
        // The words may hold PINs: the copy handed on is wiped when the command is done.
        const WipedWords rest(std::vector<std::string>(words.begin() + 1, words.end()));
        if (!rest.words().empty() && (rest.words().front() == "--help" || rest.words().front() == "-h")) {
            out << usageOf(*command);
            return 0;
        }
        return runCommand(*command, rest.words(), out, err);
    }

protected:
    void add(std::unique_ptr<CommandType> command) { commands_.push_back(std::move(command)); }
    const std::vector<std::unique_ptr<CommandType>>& commands() const { return commands_; }

    // The command called `name`, or nullptr.
    CommandType* find(const std::string& name) const {
        for (const auto& command : commands_)
            if (command->name() == name)
                return command.get();
        return nullptr;
    }

    virtual std::string usageOf(const CommandType& command) const { return command.usage(); }
    virtual void printOverview(std::ostream& out) const = 0;
    virtual void reportUnknown(const std::string& name, std::ostream& err) const = 0;
    // `help NAME` for a name that is no command: the overview by default.
    virtual int explainUnknown(const std::string& /*name*/, std::ostream& out, std::ostream& /*err*/) const {
        printOverview(out);
        return 0;
    }
    virtual int runCommand(CommandType& command, const std::vector<std::string>& words, std::ostream& out,
                           std::ostream& err) = 0;

private:
    // The help words alone, or followed by a command's name; no words at all explain too, as not understood.
    int explain(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) const {
        if (words.size() > 1) {
            if (const CommandType* command = find(words[1])) {
                out << usageOf(*command);
                return 0;
            }
            return explainUnknown(words[1], out, err);
        }
        printOverview(out);
        return words.empty() ? usageStatus_ : 0;
    }

    int usageStatus_;
    std::vector<std::unique_ptr<CommandType>> commands_;
};

} // namespace tools
