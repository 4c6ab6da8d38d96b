#include "app/cli/cli.h"

#include <QFile>
#include <QStringDecoder>

#include <cstdio>

namespace cli {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw InputError(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()).toStdString());
    return file.readAll();
}

QString readUtf8File(const QString& path)
{
    QByteArray bytes = readBytes(path);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw InputError(QStringLiteral("%1 is not valid UTF-8").arg(path).toStdString());
    return text;
}

QString readPaper(const QString& path)
{
    QString text = readUtf8File(path);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

void printRaw(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

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

bool wantsHelp(const QStringList& args, const QString& help)
{
    if (!args.contains(QLatin1String("--help")))
        return false;
    print(help);
    return true;
}

QStringList positional(QStringList args, const QStringList& flagsWithValue, const QStringList& plainFlags)
{
    QStringList out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (flagsWithValue.contains(a)) {
            if (i + 1 >= args.size())
                throw UsageError(QStringLiteral("%1 needs a value").arg(a).toStdString());
            ++i;
        } else if (plainFlags.contains(a)) {
            continue;
        } else if (a.startsWith(QLatin1String("--"))) {
            throw UsageError(QStringLiteral("unknown option %1").arg(a).toStdString());
        } else {
            out << a;
        }
    }
    return out;
}

QStringList expectArguments(const QStringList& args, const QStringList& names,
                            const QStringList& flagsWithValue, const QStringList& plainFlags)
{
    const QStringList words = positional(args, flagsWithValue, plainFlags);
    if (words.size() != names.size())
        throw UsageError(
            QStringLiteral("expects %1 (see --help)").arg(names.join(QLatin1String(" and "))).toStdString());
    return words;
}

QString flagValue(const QStringList& args, const QString& flag)
{
    const qsizetype i = args.indexOf(flag);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

bool hasFlag(const QStringList& args, const QString& flag) { return args.contains(flag); }

}  // namespace cli
