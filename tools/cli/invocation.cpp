#include "invocation.h"

#include "cli_texts.h"
#include "exit_codes.h"
#include "failure.h"
#include "token/key_table.h"
#include "tools/common/usage_error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

Invocation::Invocation(tools::Arguments arguments, std::ostream& out, std::ostream& err)
    : arguments_(std::move(arguments)), out_(out), err_(err), secrets_(arguments_) {}

KeyDirectory& Invocation::keys() {
    if (!keys_)
        keys_ = std::make_unique<KeyDirectory>();
    return *keys_;
}

const FoundKey& Invocation::key(std::size_t position) {
    const std::string& name = word(position, "KEY");
    return keys().find(name, arguments_.text("module"));
}

const FoundKey& Invocation::writableKey(std::size_t position) {
    const FoundKey& found = key(position);
    if (token::keyTable().hasFlag(found.slot, QUILLARD_TOKEN_WRITE_PROTECTED))
        throw Failure(kFailed, windowText("K_WriteProtected"));
    return found;
}

const std::string& Invocation::word(std::size_t position, const char* what) const {
    if (position >= arguments_.words().size())
        throw tools::UsageError(std::string("missing ") + what);
    return arguments_.words()[position];
}

void Invocation::expectAtMost(std::size_t count) const {
    if (arguments_.words().size() > count)
        throw tools::UsageError("unexpected argument " + arguments_.words()[count]);
}

void Invocation::print(const QString& line) {
    out_ << utf8(line) << '\n';
}

void Invocation::warn(const QString& line) {
    err_ << utf8(line) << '\n';
}

void Invocation::printJson(const QJsonValue& value) {
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    out_ << document.toJson(QJsonDocument::Indented).toStdString();
}

} // namespace cli
