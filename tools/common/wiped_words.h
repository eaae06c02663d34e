// Command-line words, which may hold PINs: every copy made of them is wiped when it goes.
#pragma once

#include "token/lib/secure_bytes.h"

#include <string>
#include <vector>

namespace tools {

class WipedWords {
public:
    explicit WipedWords(std::vector<std::string> words) : words_(std::move(words)) {}
    ~WipedWords() {
        for (std::string& word : words_)
            quillard::wipeMemory(word.data(), word.size());
    }
    WipedWords(const WipedWords&) = delete;
    WipedWords& operator=(const WipedWords&) = delete;

    const std::vector<std::string>& words() const { return words_; }

private:
    std::vector<std::string> words_;
};

} // namespace tools
