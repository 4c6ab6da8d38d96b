#include "app/cli/cli.h"

#include "analysis/savedcheck.h"

#include <QFile>
#include <QStringDecoder>

#include <cstdio>

namespace cli {

namespace {

QString& commandName()
{
    static QString name;
    return name;
}

int fail(int status, const QString& reason)
{
    printErr(QStringLiteral("trovalis-cli %1: %2").arg(commandName(), reason));
    return status;
}

}  // namespace

void setCommandName(const QString& name) { commandName() = name; }
int usageError(const QString& reason) { return fail(kUsage, reason); }
int inputError(const QString& reason) { return fail(kBadInput, reason); }

Result<QByteArray> readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    return file.readAll();
}

Result<QString> readUtf8File(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    // A paper of millions of characters is decoded straight from the file's
    // pages instead of a copy of them.
    QByteArray copy;
    QByteArrayView bytes;
    if (const qint64 size = file.size(); size > 0) {
        if (const uchar* mapped = file.map(0, size))
            bytes = QByteArrayView(mapped, size);
    }
    if (bytes.isNull()) {
        copy = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return failure(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        bytes = copy;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return failure(QStringLiteral("%1 is not valid UTF-8").arg(path));
    return text;
}

Result<SavedCheck> readCheck(const QString& path)
{
    Result<SavedCheck> check = savedcheck::read(path);
    if (!check)
        return failure(QStringLiteral("%1 is not a usable saved check: %2").arg(path, check.error()));
    return check;
}

Result<QString> readPaper(const QString& path)
{
    Result<QString> read = readUtf8File(path);
    if (!read)
        return read;
    QString text = std::move(*read);
    // A line feed without its carriage return gets one, in place, from the end.
    qsizetype bare = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        bare += text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r');
    if (bare == 0)
        return text;
    const qsizetype length = text.size();
    text.resize(length + bare);
    QChar* chars = text.data();
    for (qsizetype i = length - 1, out = length + bare - 1; i >= 0; --i) {
        const QChar c = chars[i];
        chars[out--] = c;
        if (c == u'\n' && (i == 0 || chars[i - 1] != u'\r'))
            chars[out--] = u'\r';
    }
    return text;
}

void printBytes(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void printRaw(const QString& text) { printBytes(text.toUtf8()); }

void print(const QString& text)
{
    printRaw(text);
    std::fputc('\n', stdout);
}

void printErr(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fputc('\n', stderr);
}

namespace {

const QString kEndOfOptions = QStringLiteral("--");

// The arguments that can be options: those before a "--".
QStringList optionPart(const QStringList& args)
{
    const qsizetype end = args.indexOf(kEndOfOptions);
    return end < 0 ? args : args.mid(0, end);
}

}  // namespace

bool wantsHelp(const QStringList& args, const QString& help)
{
    if (!optionPart(args).contains(QLatin1String("--help")))
        return false;
    print(help);
    return true;
}

Result<QStringList> positional(const QStringList& args, const QStringList& flagsWithValue,
                               const QStringList& plainFlags)
{
    QStringList out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == kEndOfOptions) {
            out += args.mid(i + 1);  // a sentence, title or path may begin with "-"
            break;
        }
        if (flagsWithValue.contains(a)) {
            if (i + 1 >= args.size())
                return failure(QStringLiteral("%1 needs a value").arg(a));
            ++i;
        } else if (plainFlags.contains(a)) {
            continue;
        } else if (a.startsWith(QLatin1String("--"))) {
            return failure(
                QStringLiteral("unknown option %1 (an argument that begins with \"-\" goes after --)")
                    .arg(a));
        } else {
            out << a;
        }
    }
    return out;
}

Result<QStringList> expectArguments(const QStringList& args, const QStringList& names,
                                    const QStringList& flagsWithValue, const QStringList& plainFlags)
{
    Result<QStringList> words = positional(args, flagsWithValue, plainFlags);
    if (words && words->size() != names.size())
        return failure(QStringLiteral("expects %1 (see --help)").arg(names.join(QLatin1String(" and "))));
    return words;
}

QString flagValue(const QStringList& args, const QString& flag)
{
    // As positional() reads them: the word after a flag is its value, even "--".
    for (qsizetype i = 0; i + 1 < args.size() && args[i] != kEndOfOptions; ++i) {
        if (args[i] == flag)
            return args[i + 1];
    }
    return QString();
}

bool hasFlag(const QStringList& args, const QString& flag) { return optionPart(args).contains(flag); }

}  // namespace cli
