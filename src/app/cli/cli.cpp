#include "app/cli/cli.h"

#include "analysis/savedcheck.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#endif

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

void reserveHeap(qint64 bytes, qint64 surelyUsed)
{
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    constexpr uintptr_t kLarge = 2 * 1024 * 1024;  // a large page
    const size_t size = static_cast<size_t>(std::clamp<qint64>(bytes, kLarge, qint64(1) << 30));
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    // Buffers up to the reserve's size come from the heap.
    if (mallopt(M_MMAP_THRESHOLD, static_cast<int>(size + kLarge)) == 0)
        return;
    // What comes next from the heap starts on a large page's boundary: the
    // memory before it stays taken and untouched, so that no allocation
    // lands on small pages there.
    void* probe = std::malloc(size);
    if (!probe)
        return;
    const auto next = reinterpret_cast<uintptr_t>(probe);
    std::free(probe);
    const uintptr_t boundary = (next + kLarge - 1) & ~(kLarge - 1);
    [[maybe_unused]] static void* volatile heldBack = nullptr;  // kept for good, never written
    if (boundary - next > 64)
        heldBack = std::malloc(boundary - next - 32);
    // The heap grown once by one block of the run's size, then given back to
    // it: it stays in the heap, marked for large pages.
    char* block = static_cast<char*>(std::malloc(size));
    if (!block)
        return;
#ifdef MADV_HUGEPAGE
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kLarge - 1);
    if (end > boundary) {
        madvise(reinterpret_cast<void*>(boundary), end - boundary, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
        // What the run will surely write is made present in one call, not a
        // fault a page (also where the system has no large page to give).
        const uintptr_t used = std::min<uintptr_t>(end - boundary, (surelyUsed + kLarge - 1) & ~(kLarge - 1));
        if (used > 0)
            madvise(reinterpret_cast<void*>(boundary), used, MADV_POPULATE_WRITE);
#endif
    }
#endif
    std::free(block);
#else
    Q_UNUSED(bytes);
    Q_UNUSED(surelyUsed);
#endif
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
    // A line feed without its carriage return gets one, in place: from the
    // end, each line moves up by the carriage returns still to come.
    qsizetype bare = 0;
    for (qsizetype i = text.indexOf(u'\n'); i >= 0; i = text.indexOf(u'\n', i + 1))
        bare += i == 0 || text[i - 1] != u'\r';
    if (bare == 0)
        return text;
    qsizetype end = text.size();  // what is still to move lies before
    text.resize(end + bare);
    QChar* chars = text.data();
    while (bare > 0) {
        const qsizetype feed = QStringView(chars, end).lastIndexOf(u'\n');
        std::memmove(chars + feed + bare, chars + feed, static_cast<size_t>(end - feed) * sizeof(QChar));
        if (feed == 0 || chars[feed - 1] != u'\r')
            chars[feed + --bare] = u'\r';
        end = feed;
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
