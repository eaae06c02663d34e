// pellorzu-cli: every key operation of PellorZu Admin from the command line, and batch provisioning.
#include "cli_texts.h"
#include "command_line.h"

#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    const QCoreApplication application(argc, argv);
    cli::loadLanguage(QCoreApplication::applicationDirPath() + QStringLiteral("/Languages/"));
    return cli::CommandLine().run(words, std::cout, std::cerr);
}
